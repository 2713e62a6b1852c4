#pragma once
// The settings read from config.txt.

#include <cstdint>
#include <iosfwd>
#include <string>

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

// Reads "key value" pairs until the end of the stream, then applies the checks.
// Each unknown key, value that does not parse and value outside its range is
// reported on `errors` in one line that starts "fileName:line: " and says what
// was kept or used instead. A star bound or arena size outside its range is
// brought to the range's nearest end; other values keep what they held.
void readSettings(std::istream& in, GameSettings& settings, std::ostream& errors,
                  const std::string& fileName = "config.txt");

// Reads the named file, whose lines it names by its path; false (defaults kept,
// nothing printed) when it cannot be opened.
bool loadSettings(const std::string& path, GameSettings& settings, std::ostream& errors);

// Reads connection.txt's port and host tokens. Port -1 when the port is missing
// or not a TCP port number (0..65535), host "NULL" when the host is missing;
// each token is kept whatever the other holds. False when either is missing.
bool readConnectionTokens(std::istream& in, int32_t& port, std::string& host);
