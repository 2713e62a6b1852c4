#pragma once
// The hosts this player joined lately, kept across runs so the join prompt can
// offer them: one host[:port] per line, most recent first, at most
// kMaxRecentHosts, in $XDG_STATE_HOME/starhold/recent-hosts
// (~/.local/state/starhold/ when XDG_STATE_HOME is not set). A host is added
// once joining it succeeded.

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

constexpr size_t kMaxRecentHosts = 8;

// The file's path, or "" when neither XDG_STATE_HOME nor HOME names a folder.
std::string recentHostsPath();

// The hosts in the file at `path`. A missing or unreadable file gives none,
// silently. A damaged one (too large, a line too long, a control byte, a line
// that is not a host[:port]) gives none and one line on `errors`.
std::vector<std::string> readRecentHosts(const std::string& path, std::ostream& errors);

// `hosts` with `host` at the front (moved there when it was already listed),
// cut to kMaxRecentHosts.
std::vector<std::string> withRecentHost(std::vector<std::string> hosts, const std::string& host);

// Replaces the file at `path` by one holding `hosts`, creating its folder as
// needed. The new list is written to a temporary file in the same folder and
// renamed over the old one, so a reader sees either list whole. False, with one
// line on `errors`, when it cannot be written; the old file is then untouched.
bool writeRecentHosts(const std::string& path, const std::vector<std::string>& hosts, std::ostream& errors);

// What the game calls once joining `host` (as the player typed it) succeeded:
// moves it to the front of the file at `path`. False when `host` is not a
// host[:port] or the file cannot be written.
bool rememberJoinedHost(const std::string& path, const std::string& host, std::ostream& errors);
