#include "settings/settings.h"

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <fstream>
#include <istream>
#include <ostream>

#include <pwd.h>
#include <unistd.h>

#include "base/text.h"

namespace {

// What a key does with a whole number outside its range.
enum class OutOfRange { UseNearestEnd, Keep };

// The whole numbers a key accepts. The star bounds have no floor of their own:
// a bound not above 0 turns off their checks.
struct WholeRange {
    int64_t low;
    int64_t high;
    OutOfRange outside;
};

const WholeRange kStarRange{INT32_MIN, kMaxStars, OutOfRange::UseNearestEnd};
const WholeRange kMapRange{kMinMapDimensions, kMaxMapDimensions, OutOfRange::UseNearestEnd};
const WholeRange kSwitchRange{0, 1, OutOfRange::Keep};

// The range as the line that refuses `value` names it.
std::string rangeText(const WholeRange& range, int64_t value) {
    if (range.low == INT32_MIN && value > range.high) {
        return "at most " + std::to_string(range.high);
    }
    return std::to_string(range.low) + " to " + std::to_string(range.high);
}

// Where a value came from, so that its line can be named.
struct Place {
    const std::string& file;
    int line;
};

std::ostream& report(std::ostream& errors, const Place& at) { return errors << at.file << ":" << at.line << ": "; }

// A word from the file as a message shows it: a long one is cut, so that each message stays one short line.
std::string shown(const std::string& word) {
    constexpr size_t kLongest = 40;
    return word.size() <= kLongest ? word : word.substr(0, kLongest) + "...";
}

void reportNotANumber(std::ostream& errors, const Place& at, const std::string& key, const std::string& value,
                      const std::string& kept) {
    if (value.empty()) {
        report(errors, at) << key << " has no value; keeping " << kept << "\n";
    } else {
        report(errors, at) << key << " " << shown(value) << " is not a number; keeping " << kept << "\n";
    }
}

void reportOutOfRange(std::ostream& errors, const Place& at, const std::string& key, const std::string& value,
                      const std::string& range, const char* verb, const std::string& used) {
    report(errors, at) << key << " " << shown(value) << " is out of range (" << range << "); " << verb << " " << used
                       << "\n";
}

void readWholeSetting(const std::string& key, const std::string& value, const WholeRange& range, int32_t& field,
                      const Place& at, std::ostream& errors) {
    int64_t read = 0;  // one too large for any integer reads as its nearest end, so it is out of range too
    if (readNumber(value, read) == NumberRead::NotANumber) {
        reportNotANumber(errors, at, key, value, toText(field));
        return;
    }
    if (read >= range.low && read <= range.high) {
        field = static_cast<int32_t>(read);
        return;
    }
    const bool keep = range.outside == OutOfRange::Keep;
    if (!keep) {
        field = static_cast<int32_t>(std::clamp(read, range.low, range.high));
    }
    reportOutOfRange(errors, at, key, value, rangeText(range, read), keep ? "keeping" : "using", toText(field));
}

void readFloatSetting(const std::string& key, const std::string& value, float& field, const Place& at,
                      std::ostream& errors) {
    float read = 0.0f;
    switch (readNumber(value, read)) {
        case NumberRead::Read:
            field = read;
            break;
        case NumberRead::TooLarge:
            reportOutOfRange(errors, at, key, value, toText(-FLT_MAX) + " to " + toText(FLT_MAX), "keeping",
                             toText(field));
            break;
        case NumberRead::NotANumber:
            reportNotANumber(errors, at, key, value, toText(field));
            break;
    }
}

// A setting that is on (1) or off (0).
void readSwitch(const std::string& key, const std::string& value, bool& field, const Place& at, std::ostream& errors) {
    int32_t read = field ? 1 : 0;
    readWholeSetting(key, value, kSwitchRange, read, at, errors);
    field = read == 1;
}

void readPlayerName(const std::string& value, GameSettings& settings, const Place& at, std::ostream& errors) {
    if (isPlayerName(value)) {
        settings.playerName = value;
        return;
    }
    if (value.empty()) {
        report(errors, at) << "playername has no value; keeping " << announcedName(settings) << "\n";
    } else {
        report(errors, at) << "playername " << shown(value) << " is not a name (at most " << kMaxPlayerNameLength
                           << " letters, digits or signs); keeping " << announcedName(settings) << "\n";
    }
}

void readValue(const std::string& key, const std::string& value, GameSettings& settings, const Place& at,
               std::ostream& errors) {
    if (key == "sensitivity") {
        readFloatSetting(key, value, settings.sensitivity, at, errors);
    } else if (key == "minstars") {
        readWholeSetting(key, value, kStarRange, settings.minStars, at, errors);
    } else if (key == "maxstars") {
        readWholeSetting(key, value, kStarRange, settings.maxStars, at, errors);
    } else if (key == "mapdimensions") {
        readWholeSetting(key, value, kMapRange, settings.mapDimensions, at, errors);
    } else if (key == "playerskin") {
        readSwitch(key, value, settings.playerSkin, at, errors);
    } else if (key == "fullscreen") {
        readSwitch(key, value, settings.fullScreen, at, errors);
    } else if (key == "botlevel") {
        if (parseBotLevel(value, settings.botLevel)) {
            settings.botLevelSet = true;
        } else {
            report(errors, at) << key << " " << shown(value) << " is not a level (" << botLevelChoices()
                               << "); keeping " << botLevelName(settings.botLevel) << "\n";
        }
    } else if (key == "announce") {
        readSwitch(key, value, settings.announce, at, errors);
    } else if (key == "playername") {
        readPlayerName(value, settings, at, errors);
    } else {
        report(errors, at) << "unknown key " << shown(key) << ", skipped with its value\n";
    }
}

// Bounds above 0 are put in order and made a range of at least two counts,
// without going past the most stars a match can hold.
void checkStarBounds(GameSettings& settings) {
    if (settings.minStars <= 0 || settings.maxStars <= 0) {
        return;
    }
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

// Skips blanks up to the next token, counting the line breaks passed.
void skipBlanks(std::istream& in, int& line) {
    for (int c = in.peek(); c != std::char_traits<char>::eof() && std::isspace(c); c = in.peek()) {
        if (in.get() == '\n') {
            ++line;
        }
    }
}

}  // namespace

void readSettings(std::istream& in, GameSettings& settings, std::ostream& errors, const std::string& fileName) {
    int line = 1;
    std::string key;
    std::string value;
    for (skipBlanks(in, line); in >> key; skipBlanks(in, line)) {
        const Place at{fileName, line};
        skipBlanks(in, line);
        if (!(in >> value)) {
            value.clear();
        }
        readValue(key, value, settings, at, errors);
    }
    checkStarBounds(settings);
}

bool loadSettings(const std::string& path, GameSettings& settings, std::ostream& errors) {
    std::ifstream file(path);
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
