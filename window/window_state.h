#pragma once
// The window's size when the game last ended, for the next start: state rather
// than a setting, so it is kept beside the recent hosts, in "window" in the
// player's state folder (base/state_file.h), as one line "WIDTH HEIGHT".

#include <iosfwd>
#include <string>

#include "window/game_window.h"

// The file's path, or "" when the player has no state folder.
std::string windowStatePath();

// The size in the file at `path`, or nothing: silently when the file is
// missing, with one line on `errors` when it is damaged (not two whole numbers
// from the smallest window's sides to 16384, or more after them).
bool readWindowSize(const std::string& path, WindowSize& size, std::ostream& errors);

// Replaces the file whole; false, with one line on `errors`, when it cannot.
bool writeWindowSize(const std::string& path, WindowSize size, std::ostream& errors);
