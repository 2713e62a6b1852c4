#pragma once
// Where the game's files live. The game opens its data by relative path, so
// start-up moves into the first folder that holds it: the working directory,
// then the data folder beside the executable (the checkout's data/ for a build
// tree, the installed share/starhold after an install). The player's own
// config.txt and connection.txt live in $XDG_CONFIG_HOME/starhold/ (or
// ~/.config/starhold/) and are looked up there before the data folder.

#include <string>
#include <vector>

// True when the folder holds the game's font, images and sounds.
bool holdsGameData(const std::string& folder);

// The folders tried in order, for an executable at `executable`.
std::vector<std::string> dataFolderCandidates(const std::string& executable);

// The path of the running executable, or `fallback` (argv[0]) when it cannot be read.
std::string executablePath(const char* fallback);

// Moves into the first candidate that holds the data. When none does, prints one
// line naming the folders tried and returns false.
bool enterDataFolder(const std::string& executable);

// The player's settings folder, or "" when neither XDG_CONFIG_HOME nor HOME is set.
std::string settingsFolder();

// Where the player's own copy of a settings file goes, or "" when there is no
// settings folder.
std::string ownSettingsPath(const std::string& name);

// The player's copy of a settings file when there is one, else the name itself
// (read from the data folder).
std::string settingsPath(const std::string& name);

// A path as the player is shown it: the home folder at its front written "~".
std::string shownPath(const std::string& path);
