#pragma once
// What a player types to join a host: a host name or an IPv4 address with an
// optional ":port". The join prompt checks it before joining, and the
// recent-hosts file holds one such text per line.

#include <cstddef>
#include <cstdint>
#include <string>

// The longest text the prompt takes and the recent-hosts file holds.
constexpr size_t kMaxJoinTextLength = 64;

struct JoinAddress {
    std::string host;
    int32_t port = 0;
};

// True for the characters a join text may hold: ASCII letters, digits, '-', '.' and ':'.
bool isJoinTextCharacter(char c);

// Reads `text` as host[:port]; the port is `defaultPort` when the text names
// none. On failure returns false with a short reason for the player, e.g.
// "not a port: 99999" or "not a host name".
bool parseJoinText(const std::string& text, int32_t defaultPort, JoinAddress& out, std::string& reason);

// True when `text` is a host[:port] that names its port or could take a default one.
bool isJoinText(const std::string& text);
