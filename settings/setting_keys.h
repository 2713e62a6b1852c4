#pragma once
// How config.txt is laid out, shared by its reader and its writer so that both
// see the same keys and values in the same places: each known key, how its
// value is read into the settings and how it is written back.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

struct GameSettings;
class ValueReport;

// One key and its value as they stand in the text.
struct ConfigEntry {
    std::string key;
    std::string value;
    int line = 1;           // the key's line, from 1
    size_t keyBegin = 0;    // the key's place in the text
    size_t valueBegin = 0;  // the value's place in the text; with no value, both are
    size_t valueEnd = 0;    // the end of the key, where a value would go
};

struct SettingKey {
    std::string name;
    bool wholeLine = false;  // the value is the rest of the key's line (it may hold blanks)
    int group = 0;           // keys of one group other than 0 are checked, so written, together
    std::function<void(const std::string& value, GameSettings& settings, const ValueReport& report)> read;
    std::function<std::string(const GameSettings& settings)> write;
};

const std::vector<SettingKey>& settingKeys();
const SettingKey* findSettingKey(const std::string& name);

// The entries of the text in order. Blanks and line breaks separate a key from
// its value, except for a key whose value is its whole line; a line whose first
// non-blank character is '#' is skipped.
std::vector<ConfigEntry> configEntries(const std::string& text);
