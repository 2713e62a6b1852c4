#include "discovery/heard_games.h"

#include <algorithm>

void HeardGames::hear(const std::string& address, const Announcement& announcement, uint32_t now) {
    forget(now);
    const auto same = std::find_if(games.begin(), games.end(), [&](const HeardGame& game) {
        return game.address == address && game.port == announcement.port;
    });
    if (same != games.end()) {
        same->name = announcement.name;
        same->lastHeard = now;
        return;
    }
    if (games.size() >= kMaxGames) {  // of those heard equally long ago, the one that appeared first goes
        const auto oldest = std::min_element(games.rbegin(), games.rend(), [&](const HeardGame& a, const HeardGame& b) {
            return now - a.lastHeard > now - b.lastHeard;
        });
        games.erase(std::next(oldest).base());
    }
    games.insert(games.begin(), HeardGame{announcement.name, address, announcement.port, now});
}

std::vector<HeardGame> HeardGames::current(uint32_t now) {
    forget(now);
    return games;
}

// Ages are taken modulo 2^32, so they stay right across a wrap of the clock.
void HeardGames::forget(uint32_t now) {
    games.erase(std::remove_if(games.begin(), games.end(),
                               [&](const HeardGame& game) { return now - game.lastHeard >= kForgetMs; }),
                games.end());
}
