#pragma once
// Two sides of a match in one process, a host and a guest talking over
// loopback, on a clock this object moves: whole matches, computer against
// computer, in seconds instead of minutes and without a display. After every
// step each side has received all that the other sent (the two run in
// lockstep), so a match plays out the same however busy the machine is.
// Given link conditions, the guest's connection runs through a simulated link
// instead: after every step each side has received all that the link has let
// through by then, and nothing more.
//
// SDL must be running with its event queue (the dummy video driver will do).
// Each LocalMatch has a clock and a random source of its own.

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "base/clock.h"
#include "base/random.h"
#include "settings/settings.h"
#include "match/match_core.h"
#include "match/simulated_link.h"
#include "world/steering.h"

// SDL with its event queue and no display: the dummy video driver, for a
// LocalMatch and for programs without a window. False when SDL cannot start
// (SDL_GetError says why).
bool startHeadlessSdl();

// The same stars in the same places on both sides, each held by the other side
// (what the host holds is the guest's opponent's, and the other way round).
bool mirrorsField(const PlayerState& host, const PlayerState& guest);

struct MatchOutcome {
    bool ended = false;    // false: still undecided when the time ran out
    bool hostWon = false;
    int32_t lengthMs = 0;  // the host's frozen match time
};

class LocalMatch {
public:
    static constexpr uint32_t kStepMs = 11;  // every update and movement step falls due at each step

    // Every field is drawn from `fieldSeed` on: the same seed, the same matches.
    LocalMatch(const GameSettings& settings, Flier& hostFlier, Flier& guestFlier, unsigned fieldSeed);
    // The same over a simulated link with these conditions.
    LocalMatch(const GameSettings& settings, Flier& hostFlier, Flier& guestFlier, unsigned fieldSeed,
               const LinkConditions& link);
    LocalMatch(const LocalMatch&) = delete;
    LocalMatch& operator=(const LocalMatch&) = delete;

    // The host listens on a free port and the guest joins; true once the guest has the field.
    bool connect() { return listen() && join(); }
    bool listen();  // the host alone, on a free port
    bool join();    // the guest, until it has the host's field
    int32_t port() const { return hostPort; }
    // Plays until the host has ended the match and the guest knows, or `longestMs` have gone by.
    MatchOutcome playMatch(uint32_t longestMs);
    // The host starts the next match; true once the guest has its field.
    bool rematch();

    // One step of game time for both sides, then, while they are connected,
    // until each has all the other sent.
    bool step();
    // Without moving the clock, hands each side what has reached it until
    // `done` holds: for what does not travel in step with the messages, such
    // as a connection that closes. False after ten seconds of real time.
    template <typename Done>
    bool settle(Done done) {
        for (int tries = 0; !done(); ++tries) {
            if (tries >= kSettleTries) {
                return false;
            }
            SDL_Delay(1);
            deliver();
        }
        return true;
    }
    uint32_t now() const;
    // What each side's pass reported in the last step.
    const std::vector<MatchEvent>& hostEvents() const { return hostHappened; }
    const std::vector<MatchEvent>& guestEvents() const { return guestHappened; }
    MatchCore& host() { return hostSide; }
    MatchCore& guest() { return guestSide; }
    const MatchCore& host() const { return hostSide; }
    const MatchCore& guest() const { return guestSide; }

    // Steps until `done` holds or `longestMs` have gone by; whether it held.
    template <typename Done>
    bool stepUntil(uint32_t longestMs, Done done) {
        for (uint32_t t = 0; !done(); t += kStepMs) {
            if (t >= longestMs || !step()) {
                return false;
            }
        }
        return true;
    }

private:
    void pass(MatchCore& side, Flier& flier, std::vector<MatchEvent>& happened);
    void deliver();
    bool joinedInStep() const;
    bool inStep() const;
    bool linkHasTakenAll() const;
    bool linkInStep() const;
    template <typename Done>
    bool waitFor(Done done);
    bool waitForEachOther();
    bool carryOverLink();

    static constexpr int kSettleTries = 10000;

    ManualClock clock{1000};
    RandomSource random;  // both sides draw from it, in the order they play
    MatchCore hostSide;
    MatchCore guestSide;
    int32_t hostPort = -1;
    // The byte counts when the guest last joined: what went before belongs to
    // connections that are gone.
    uint64_t hostSentBefore = 0;
    uint64_t hostReceivedBefore = 0;
    uint64_t guestSentBefore = 0;
    uint64_t guestReceivedBefore = 0;
    uint64_t linkCountsBefore[4] = {};  // taken up, taken down, given up, given down
    std::unique_ptr<SimulatedLink> link;
    Flier& hostFlier;
    Flier& guestFlier;
    std::vector<MatchEvent> hostHappened;
    std::vector<MatchEvent> guestHappened;
};
