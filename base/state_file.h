#pragma once
// The files the game keeps of its own between runs (the hosts joined, the
// records) in $XDG_STATE_HOME/starhold/ (~/.local/state/starhold/ when
// XDG_STATE_HOME is not set). They are read with a cap on their size, as
// anything larger was not written by the game, and replaced whole through a
// temporary file, so that a reader sees either the old file or the new one.

#include <cstddef>
#include <iosfwd>
#include <string>

// The path of the file `name` in the state folder, or "" when neither
// XDG_STATE_HOME nor HOME names a folder.
std::string statePath(const std::string& name);

enum class StateRead { Missing, TooLarge, Read };

// Reads at most `limit` bytes of a regular file into `content`. A file that is
// missing, unreadable or not a regular file (a folder, a pipe) is Missing.
StateRead readStateFile(const std::string& path, size_t limit, std::string& content);

// Replaces the file at `path` by one holding `text`, creating its folders,
// private to the player, as needed. False, with one line on `errors` naming
// `what` the file holds ("the recent hosts"), when it cannot be written; the old
// file is then untouched and no temporary file is left.
bool replaceStateFile(const std::string& path, const std::string& text, const char* what, std::ostream& errors);
