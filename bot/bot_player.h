#pragma once
// The computer as a player: one side of a match (match/match_core.h) flown by a
// pilot. It joins a host or hosts one itself; as a host it starts the next
// match a little while after one ends, as a player pressing Backspace would.
// It needs no window, no sound and no display.

#include <SDL.h>

#include <cstdint>
#include <string>

#include "base/clock.h"
#include "base/random.h"
#include "bot/pilot.h"
#include "match/match_core.h"
#include "settings/bot_level.h"
#include "settings/settings.h"

class BotPlayer {
public:
    static constexpr uint32_t kRematchDelayMs = 3000;  // from the end of a match to the next, as host

    // The clock is borrowed for the player's whole life; `seed` draws its pilot's
    // choices and, as host, its fields.
    BotPlayer(const Clock& clock, BotLevel level, uint32_t seed, const GameSettings& settings = GameSettings());

    bool startNetworking() { return match.startNetworking(); }
    bool host(int32_t port);
    bool join(const std::string& hostName, int32_t port);
    // As host, leaves once this many matches have ended; 0 plays on for ever.
    void setMatchLimit(int matches) { matchLimit = matches; }

    void handleEvent(const SDL_Event& event) { match.handleEvent(event); }
    // One pass: the pilot's keys, the match's steps, and a host's next match when due.
    void runPass();
    int32_t msUntilDue() { return match.msUntilDue(); }

    // The match is over for this player: its peer has gone, or it never came.
    bool finished() const;
    bool failed() const { return joinFailed; }  // the connect to the host did not succeed
    int matchesEnded() const { return ended; }

    const MatchCore& core() const { return match; }
    const Pilot& pilot() const { return flier; }

private:
    void followMatch(uint32_t nowMs);

    const Clock& clock;
    RandomSource random;
    MatchCore match;
    Pilot flier;
    int matchLimit = 0;
    int ended = 0;
    bool wasOver = false;
    uint32_t overSinceMs = 0;
    bool hadPeer = false;
    bool joining = false;
    bool joinFailed = false;
};
