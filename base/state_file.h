#pragma once
// The files the game keeps of its own between runs (the hosts joined, the
// records) in $XDG_STATE_HOME/starhold/ (~/.local/state/starhold/ when
// XDG_STATE_HOME is not set). They are read with a cap on their size, as
// anything larger was not written by the game, and written with replaceFile()
// (base/replace_file.h).

#include <cstddef>
#include <string>

// The path of the file `name` in the state folder, or "" when neither
// XDG_STATE_HOME nor HOME names a folder.
std::string statePath(const std::string& name);

enum class StateRead { Missing, TooLarge, Read };

// Reads at most `limit` bytes of a regular file into `content`. A file that is
// missing, unreadable or not a regular file (a folder, a pipe) is Missing.
StateRead readStateFile(const std::string& path, size_t limit, std::string& content);
