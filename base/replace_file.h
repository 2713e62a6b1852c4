#pragma once
// Replacing a small file of the player's whole, so that a reader sees the old
// text or the new one and never a part: the text goes to a temporary file in
// the same folder, which is then renamed over the file.

#include <string>

// Creates the file's missing folders, private to the player (0700), and
// replaces the file at `path` by one holding `text`. A file that is a symbolic
// link is replaced at the link's target, and an existing file keeps its
// permissions. False when a step failed, with `failure` saying which and why,
// e.g. "cannot write (File too large)"; the old file is then untouched and no
// temporary file is left behind.
bool replaceFile(const std::string& path, const std::string& text, std::string& failure);
