#include "settings/settings.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <istream>
#include <ostream>
#include <sstream>

#include <pwd.h>
#include <unistd.h>

#include "base/read_at_most.h"
#include "base/text.h"
#include "settings/setting_keys.h"

// Names the line a value came from in each message about it.
class ValueReport {
public:
    ValueReport(std::ostream& errors, const std::string& file, const ConfigEntry& entry)
        : errors(errors), file(file), entry(entry) {}

    std::ostream& line() const { return errors << file << ":" << entry.line << ": "; }
    void notANumber(const std::string& kept) const {
        if (entry.value.empty()) {
            line() << entry.key << " has no value; keeping " << kept << "\n";
        } else {
            line() << entry.key << " " << shownValue() << " is not a number; keeping " << kept << "\n";
        }
    }
    void outOfRange(const std::string& range, const char* verb, const std::string& used) const {
        line() << entry.key << " " << shownValue() << " is out of range (" << range << "); " << verb << " " << used
               << "\n";
    }
    // A word from the file as a message shows it: a long one is cut, so that each message stays one short line.
    static std::string shown(const std::string& word) {
        constexpr size_t kLongest = 40;
        return word.size() <= kLongest ? word : word.substr(0, kLongest) + "...";
    }
    std::string shownValue() const { return shown(entry.value); }

private:
    std::ostream& errors;
    const std::string& file;
    const ConfigEntry& entry;
};

namespace {

// What a key does with a number outside its range.
enum class OutOfRange { UseNearestEnd, Keep };

template <typename T>
struct Range {
    T low;
    T high;
    OutOfRange outside;
};

const Range<int64_t> kStarRange{kMinStarBound, kMaxStars, OutOfRange::UseNearestEnd};
const Range<int64_t> kMapRange{kMinMapDimensions, kMaxMapDimensions, OutOfRange::UseNearestEnd};
const Range<int64_t> kSwitchRange{0, 1, OutOfRange::Keep};
const Range<float> kSensitivityRange{kMinSensitivity, kMaxSensitivity, OutOfRange::UseNearestEnd};
const Range<int64_t> kVolumeRange{0, kMaxVolume, OutOfRange::UseNearestEnd};
const Range<int64_t> kButtonRange{0, kMaxPadButton, OutOfRange::Keep};
const Range<int64_t> kAxisRange{kMinUpAxis, kMaxPadAxis, OutOfRange::Keep};

// True when reading a number from `text` takes all of it: "20x" is no number.
template <typename T>
bool isWholeNumber(const std::string& text) {
    std::istringstream in(text);
    T read{};
    in >> read;
    return in.rdbuf()->sgetc() == std::char_traits<char>::eof();
}

// Reads a number of type T into `field` within `range`, naming what it refused.
template <typename T, typename Field>
void readNumberSetting(const std::string& value, const Range<T>& range, Field& field, const ValueReport& report) {
    T read{};  // one too large for its type reads as its nearest end, so it is out of range too
    if (readNumber(value, read) == NumberRead::NotANumber || !isWholeNumber<T>(value)) {
        report.notANumber(toText(field));
        return;
    }
    if (read >= range.low && read <= range.high) {
        field = static_cast<Field>(read);
        return;
    }
    const bool keep = range.outside == OutOfRange::Keep;
    if (!keep) {
        field = static_cast<Field>(std::clamp(read, range.low, range.high));
    }
    report.outOfRange(toText(static_cast<Field>(range.low)) + " to " + toText(static_cast<Field>(range.high)),
                      keep ? "keeping" : "using", toText(field));
}

template <typename T, typename Field>
SettingKey numberKey(const char* name, Field GameSettings::*field, const Range<T>& range, int group = 0) {
    SettingKey key;
    key.name = name;
    key.group = group;
    key.read = [field, range](const std::string& value, GameSettings& settings, const ValueReport& report) {
        readNumberSetting(value, range, settings.*field, report);
    };
    key.write = [field](const GameSettings& settings) { return toText(settings.*field); };
    return key;
}

// A setting that is on (1) or off (0).
SettingKey switchKey(const char* name, bool GameSettings::*field) {
    SettingKey key;
    key.name = name;
    key.read = [field](const std::string& value, GameSettings& settings, const ValueReport& report) {
        int32_t on = settings.*field ? 1 : 0;
        readNumberSetting(value, kSwitchRange, on, report);
        settings.*field = on == 1;
    };
    key.write = [field](const GameSettings& settings) { return std::string(settings.*field ? "1" : "0"); };
    return key;
}

SettingKey botLevelKey() {
    SettingKey key;
    key.name = "botlevel";
    key.read = [](const std::string& value, GameSettings& settings, const ValueReport& report) {
        if (value == kAutoLevel) {
            settings.botLevelSet = false;
        } else if (parseBotLevel(value, settings.botLevel)) {
            settings.botLevelSet = true;
        } else {
            report.line() << "botlevel " << report.shownValue() << " is not a level (" << botLevelChoices()
                          << "); keeping " << (settings.botLevelSet ? botLevelName(settings.botLevel) : kAutoLevel)
                          << "\n";
        }
    };
    key.write = [](const GameSettings& settings) {
        return std::string(settings.botLevelSet ? botLevelName(settings.botLevel) : kAutoLevel);
    };
    return key;
}

// A key of the keyboard, by SDL's name: the rest of the line, as names hold blanks.
SettingKey bindingKey(Action action) {
    SettingKey key;
    key.name = actionInfo(action).configKey;
    key.wholeLine = true;
    key.read = [action](const std::string& value, GameSettings& settings, const ValueReport& report) {
        const std::string kept = keyName(settings.keys.key(action));
        SDLKey named = SDLK_UNKNOWN;
        if (value.empty()) {
            report.notANumber(kept);
        } else if (!keyNamed(value, named)) {
            report.line() << actionInfo(action).configKey << " " << report.shownValue()
                          << " is not a key name; keeping " << kept << "\n";
        } else if (const std::string refusal = settings.keys.refusal(action, named); !refusal.empty()) {
            report.line() << actionInfo(action).configKey << " " << report.shownValue() << ": " << refusal
                          << "; keeping " << kept << "\n";
        } else {
            settings.keys.bindSwapping(action, named);
        }
    };
    key.write = [action](const GameSettings& settings) { return keyName(settings.keys.key(action)); };
    return key;
}

SettingKey padButtonKey(PadAction action) {
    SettingKey key;
    key.name = padActionInfo(action).configKey;
    key.read = [action](const std::string& value, GameSettings& settings, const ValueReport& report) {
        int32_t button = settings.pad.button(action);
        readNumberSetting(value, kButtonRange, button, report);
        settings.pad.bindSwapping(action, button);
    };
    key.write = [action](const GameSettings& settings) { return toText(settings.pad.button(action)); };
    return key;
}

SettingKey playerNameKey() {
    SettingKey key;
    key.name = "playername";
    key.read = [](const std::string& value, GameSettings& settings, const ValueReport& report) {
        if (isPlayerName(value)) {
            settings.playerName = value;
        } else if (value.empty()) {
            report.line() << "playername has no value; keeping " << announcedName(settings) << "\n";
        } else {
            report.line() << "playername " << report.shownValue() << " is not a name (at most " << kMaxPlayerNameLength
                          << " letters, digits or signs); keeping " << announcedName(settings) << "\n";
        }
    };
    key.write = [](const GameSettings& settings) { return settings.playerName; };
    return key;
}

constexpr int kStarBounds = 1;  // read and checked as a pair

std::vector<SettingKey> makeSettingKeys() {
    std::vector<SettingKey> keys = {
        numberKey("sensitivity", &GameSettings::sensitivity, kSensitivityRange),
        numberKey("minstars", &GameSettings::minStars, kStarRange, kStarBounds),
        numberKey("maxstars", &GameSettings::maxStars, kStarRange, kStarBounds),
        numberKey("mapdimensions", &GameSettings::mapDimensions, kMapRange),
        switchKey("playerskin", &GameSettings::playerSkin),
        botLevelKey(),
        numberKey("musicvolume", &GameSettings::musicVolume, kVolumeRange),
        numberKey("soundvolume", &GameSettings::soundVolume, kVolumeRange),
        playerNameKey(),
        switchKey("announce", &GameSettings::announce),
        switchKey("fullscreen", &GameSettings::fullScreen),
    };
    for (size_t i = 0; i < kActionCount; ++i) keys.push_back(bindingKey(static_cast<Action>(i)));
    for (size_t i = 0; i < kPadActionCount; ++i) keys.push_back(padButtonKey(static_cast<PadAction>(i)));
    SettingKey axis;
    axis.name = "padupaxis";
    axis.read = [](const std::string& value, GameSettings& settings, const ValueReport& report) {
        readNumberSetting(value, kAxisRange, settings.pad.upAxis, report);
    };
    axis.write = [](const GameSettings& settings) { return toText(settings.pad.upAxis); };
    keys.push_back(axis);
    return keys;
}

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// Walks the text token by token, counting lines and passing over comment lines.
class Scanner {
public:
    explicit Scanner(const std::string& text) : text(text) {}

    bool atEnd() const { return at >= text.size(); }
    int line() const { return lineNumber; }
    size_t position() const { return at; }

    void skipBlanks() {
        while (!atEnd()) {
            const char c = text[at];
            if (c == '\n') {
                ++lineNumber;
                lineStart = true;
                ++at;
            } else if (isBlank(c)) {
                ++at;
            } else if (c == '#' && lineStart) {
                at = std::min(text.find('\n', at), text.size());
            } else {
                return;
            }
        }
    }
    // The next run of non-blank characters: [begin, end).
    void token(size_t& begin, size_t& end) {
        begin = at;
        while (!atEnd() && !isBlank(text[at])) ++at;
        end = at;
        lineStart = false;
    }
    // The rest of the line without its leading and trailing blanks: [begin, end).
    void restOfLine(size_t& begin, size_t& end) {
        while (!atEnd() && text[at] != '\n' && isBlank(text[at])) ++at;
        begin = at;
        at = std::min(text.find('\n', at), text.size());
        end = at;
        while (end > begin && isBlank(text[end - 1])) --end;
    }

private:
    const std::string& text;
    size_t at = 0;
    int lineNumber = 1;
    bool lineStart = true;
};

std::string readCapped(std::istream& in, std::ostream& errors, const std::string& fileName) {
    std::string text = readAtMost(in, kMaxConfigBytes + 1);
    if (text.size() > kMaxConfigBytes) {
        errors << fileName << ": larger than " << kMaxConfigBytes << " bytes, not read; keeping the defaults\n";
        text.clear();
    }
    return text;
}

}  // namespace

// Equal bounds become a range of two counts without going past the most stars a match can hold.
void checkStarBounds(GameSettings& settings) {
    if (settings.minStars > settings.maxStars) {
        std::swap(settings.minStars, settings.maxStars);
    }
    if (settings.minStars == settings.maxStars) {
        if (settings.maxStars < kMaxStars) {
            settings.maxStars = settings.minStars + 1;
        } else {
            settings.minStars = settings.maxStars - 1;
        }
    }
}

int32_t fewestStars(const GameSettings& settings) { return settings.minStars + settings.minStars % 2; }

int32_t mostStars(const GameSettings& settings) {
    const int32_t drawn = settings.maxStars - 1;
    return drawn + drawn % 2;
}

const std::vector<SettingKey>& settingKeys() {
    static const std::vector<SettingKey> keys = makeSettingKeys();
    return keys;
}

const SettingKey* findSettingKey(const std::string& name) {
    for (const SettingKey& key : settingKeys()) {
        if (key.name == name) return &key;
    }
    return nullptr;
}

std::vector<ConfigEntry> configEntries(const std::string& text) {
    std::vector<ConfigEntry> entries;
    Scanner scan(text);
    for (scan.skipBlanks(); !scan.atEnd(); scan.skipBlanks()) {
        ConfigEntry entry;
        entry.line = scan.line();
        size_t begin = 0;
        size_t end = 0;
        scan.token(begin, end);
        entry.keyBegin = begin;
        entry.key = text.substr(begin, end - begin);
        entry.valueBegin = entry.valueEnd = end;
        const SettingKey* known = findSettingKey(entry.key);
        if (known && known->wholeLine) {
            scan.restOfLine(begin, end);
        } else {
            scan.skipBlanks();
            scan.token(begin, end);
        }
        if (end > begin) {
            entry.valueBegin = begin;
            entry.valueEnd = end;
            entry.value = text.substr(begin, end - begin);
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

void readSettings(std::istream& in, GameSettings& settings, std::ostream& errors, const std::string& fileName) {
    const std::string text = readCapped(in, errors, fileName);
    for (const ConfigEntry& entry : configEntries(text)) {
        const ValueReport report(errors, fileName, entry);
        if (const SettingKey* key = findSettingKey(entry.key)) {
            key->read(entry.value, settings, report);
        } else {
            report.line() << "unknown key " << ValueReport::shown(entry.key) << ", skipped with its value\n";
        }
    }
    checkStarBounds(settings);
}

bool loadSettings(const std::string& path, GameSettings& settings, std::ostream& errors) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    readSettings(file, settings, errors, path);
    return true;
}

bool isPlayerName(const std::string& text) {
    return !text.empty() && text.size() <= kMaxPlayerNameLength &&
           std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c < 0x7f; });
}

std::string announcedName(const GameSettings& settings) {
    if (!settings.playerName.empty()) {
        return settings.playerName;
    }
    const passwd* account = getpwuid(geteuid());
    std::string name;
    for (const char* c = account ? account->pw_name : ""; *c && name.size() < kMaxPlayerNameLength; ++c) {
        if (*c > ' ' && *c < 0x7f) {
            name += *c;
        }
    }
    return name.empty() ? "player" : name;
}

bool sameSettings(const GameSettings& a, const GameSettings& b) {
    const std::vector<SettingKey>& keys = settingKeys();
    return std::all_of(keys.begin(), keys.end(), [&](const SettingKey& key) { return key.write(a) == key.write(b); });
}

bool readConnectionTokens(std::istream& in, int32_t& port, std::string& host) {
    constexpr int32_t kHighestPort = 65535;
    std::string portToken;
    std::string hostToken;
    in >> portToken >> hostToken;
    host = hostToken.empty() ? "NULL" : hostToken;  // kept even when the port is unusable
    if (!parseInt(portToken, port) || port < 0 || port > kHighestPort) {
        port = -1;
        return false;
    }
    return !hostToken.empty();
}
