#include "settings/settings_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <utility>
#include <vector>

#include "base/read_at_most.h"
#include "base/replace_file.h"
#include "settings/setting_keys.h"

namespace fs = std::filesystem;

namespace {

struct Edit {
    size_t begin;
    size_t end;
    std::string replacement;
};

bool changed(const SettingKey& key, const GameSettings& before, const GameSettings& after) {
    if (key.group == 0) {
        return key.write(before) != key.write(after);
    }
    const std::vector<SettingKey>& keys = settingKeys();
    return std::any_of(keys.begin(), keys.end(), [&](const SettingKey& other) {
        return other.group == key.group && other.write(before) != other.write(after);
    });
}

const ConfigEntry* lastEntry(const std::vector<ConfigEntry>& entries, const std::string& key) {
    const auto found = std::find_if(entries.rbegin(), entries.rend(),
                                    [&](const ConfigEntry& entry) { return entry.key == key; });
    return found == entries.rend() ? nullptr : &*found;
}

}  // namespace

std::string changedConfigText(const std::string& text, const GameSettings& before, const GameSettings& after) {
    const std::vector<ConfigEntry> entries = configEntries(text);
    std::vector<Edit> edits;
    std::string added;
    for (const SettingKey& key : settingKeys()) {
        if (!changed(key, before, after)) continue;
        const std::string value = key.write(after);
        if (const ConfigEntry* entry = lastEntry(entries, key.name)) {
            const bool hasValue = entry->valueEnd > entry->valueBegin;
            edits.push_back({entry->valueBegin, entry->valueEnd, (hasValue ? "" : " ") + value});
        } else {
            added += key.name + " " + value + "\n";
        }
    }
    std::string result = text;
    if (!added.empty() && !entries.empty() && entries.back().value.empty()) {
        // A last key without a value would take the first added word as its
        // value: the added lines go before it instead.
        edits.push_back({entries.back().keyBegin, entries.back().keyBegin, added});
        added.clear();
    }
    std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.begin > b.begin; });
    for (const Edit& edit : edits) result.replace(edit.begin, edit.end - edit.begin, edit.replacement);
    if (!added.empty() && !result.empty() && result.back() != '\n') result += '\n';
    return result + added;
}

SettingsFile::SettingsFile(std::string ownPath, std::string sharedPath)
    : own(std::move(ownPath)), shared(std::move(sharedPath)) {}

void SettingsFile::load(GameSettings& settings, std::ostream& errors) {
    if (own.empty() || !loadSettings(own, settings, errors)) {
        loadSettings(shared, settings, errors);
    }
    held = settings;
}

// The text the player's file is made from: the file itself, or the shared one
// while the player has none, or nothing.
bool SettingsFile::readBase(std::string& text, std::string& failure) const {
    std::error_code error;
    const bool ownExists = fs::exists(own, error);
    std::ifstream in(ownExists ? own : shared, std::ios::binary);
    if (!in) {
        failure = "cannot read it";
        return !ownExists;
    }
    text = readAtMost(in, kMaxConfigBytes + 1);
    if (text.size() > kMaxConfigBytes) {
        failure = "it is larger than " + std::to_string(kMaxConfigBytes) + " bytes";
        return false;
    }
    if (in.bad()) {
        failure = "cannot read it";
        return false;
    }
    return true;
}

bool SettingsFile::save(const GameSettings& settings, std::ostream& errors) {
    if (changedConfigText("", held, settings).empty()) {
        return true;  // nothing to write
    }
    std::string text;
    std::string failure = "the player has no settings folder (neither XDG_CONFIG_HOME nor HOME is set)";
    if (!own.empty() && readBase(text, failure) && replaceFile(own, changedConfigText(text, held, settings), failure)) {
        held = settings;
        return true;
    }
    errors << "starhold: could not save the settings in " << (own.empty() ? "config.txt" : own) << ": " << failure
           << "\n";
    return false;
}
