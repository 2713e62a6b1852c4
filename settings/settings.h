#pragma once
// The settings read from config.txt, and the range of each: the same ranges
// hold for the file and for whatever else changes a setting.

#include <cstdint>
#include <iosfwd>
#include <string>

#include "settings/bindings.h"
#include "settings/bot_level.h"
#include "world/bounds.h"

struct GameSettings {
    float sensitivity = 5.0f;   // thrust of the movement keys
    int32_t minStars = 30;      // fewest stars in a match
    int32_t maxStars = 50;      // one above the most stars in a match
    int32_t mapDimensions = 20; // the arena runs from -D to +D on each axis
    bool playerSkin = false;    // true: the local ship wears the second skin
    BotLevel botLevel = BotLevel::Normal;  // the computer's level when b first starts it
    bool botLevelSet = false;  // botlevel was given; else b starts at the lowest level not yet beaten
    int32_t musicVolume = 100;  // percent of the loudest
    int32_t soundVolume = 100;
    KeyBindings keys{};
    PadBindings pad{};
    std::string playerName{};   // the name a hosted game is listed under; "" for the login name
    bool announce = true;       // a game waiting for a friend tells the local network where it is
    bool fullScreen = false;    // true: the game starts full screen
};

// A player name: 1 to kMaxPlayerNameLength printable ASCII characters, no blanks.
constexpr size_t kMaxPlayerNameLength = 16;
bool isPlayerName(const std::string& text);
// The name a hosted game is listed under: playerName, or else the login name made
// into a player name (its printable characters, cut to length), or else "player".
std::string announcedName(const GameSettings& settings);

constexpr float kMinSensitivity = 0.5f;
constexpr float kMaxSensitivity = 50.0f;
// A star bound below 2 could draw a field without stars, which never ends.
constexpr int32_t kMinStarBound = 2;
constexpr int32_t kMaxVolume = 100;
// "botlevel auto": b starts at the lowest level not yet beaten, as with no botlevel.
constexpr const char* kAutoLevel = "auto";

// A config.txt larger than this is not a file of settings; it is not read.
constexpr size_t kMaxConfigBytes = 1 << 20;

// Reads "key value" pairs to the end of the text, then applies the checks. A
// line whose first non-blank character is '#' is a comment. Each unknown key,
// value that is not a number of its kind (junk after the number included) and
// value outside its range is reported on `errors` in one line that starts
// "fileName:line: " and says what was kept or used instead. A number outside
// its range is brought to the range's nearest end; other values keep what they
// held. After reading, star bounds in the wrong order are swapped and equal
// ones widened by one.
void readSettings(std::istream& in, GameSettings& settings, std::ostream& errors,
                  const std::string& fileName = "config.txt");

// Puts the star bounds in order and widens equal ones by one, as reading does.
void checkStarBounds(GameSettings& settings);

// The fewest and the most stars a match of these settings holds: its count is
// drawn from minStars to maxStars - 1 and an odd one raised by one.
int32_t fewestStars(const GameSettings& settings);
int32_t mostStars(const GameSettings& settings);

// True when the two hold the same value for every key of config.txt.
bool sameSettings(const GameSettings& a, const GameSettings& b);

// Reads the named file, whose lines it names by its path; false (defaults kept,
// nothing printed) when it cannot be opened.
bool loadSettings(const std::string& path, GameSettings& settings, std::ostream& errors);

// Reads connection.txt's port and host tokens. Port -1 when the port is missing
// or not a TCP port number (0..65535), host "NULL" when the host is missing;
// each token is kept whatever the other holds. False when either is missing.
bool readConnectionTokens(std::istream& in, int32_t& port, std::string& host);
