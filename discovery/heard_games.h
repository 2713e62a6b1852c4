#pragma once
// The games heard announcing on the local network lately: at most kMaxGames,
// one per address and port, each forgotten kForgetMs after it was last heard.
// Time is whatever millisecond clock the caller reads, passed in as `now`.

#include <cstdint>
#include <string>
#include <vector>

#include "discovery/announcement.h"

struct HeardGame {
    std::string name;
    std::string address;  // where the announcement came from, a dotted quad
    int32_t port = 0;
    uint32_t lastHeard = 0;
    // What the join prompt joins: "192.168.1.20:1337".
    std::string target() const { return address + ":" + std::to_string(port); }
};

class HeardGames {
public:
    static constexpr size_t kMaxGames = 8;
    static constexpr uint32_t kForgetMs = 3000;

    // A game heard again keeps its place in the list and takes the name it now
    // announces; a new one goes first, in place of the one heard longest ago
    // when the list is full.
    void hear(const std::string& address, const Announcement& announcement, uint32_t now);
    // The games heard within kForgetMs of `now`, the one that appeared last first.
    std::vector<HeardGame> current(uint32_t now);
    void clear() { games.clear(); }

private:
    void forget(uint32_t now);

    std::vector<HeardGame> games;  // the one that appeared last first
};
