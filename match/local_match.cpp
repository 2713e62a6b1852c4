#include "match/local_match.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "net/free_port.h"
#include "wire/messages.h"

namespace {

// Real time allowed for loopback to carry one step's messages: far beyond what
// it takes, so only a broken connection ever reaches it.
constexpr auto kDeliveryDeadline = std::chrono::seconds(10);
constexpr uint32_t kConnectMs = 10000;

}  // namespace

bool startHeadlessSdl() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    return SDL_Init(SDL_INIT_VIDEO) == 0;
}

bool mirrorsField(const PlayerState& host, const PlayerState& guest) {
    const std::vector<Star>& ours = host.stars();
    const std::vector<Star>& theirs = guest.stars();
    if (ours.size() != theirs.size() || host.mapSize() != guest.mapSize()) {
        return false;
    }
    for (size_t i = 0; i < ours.size(); ++i) {
        const Star& s = ours[i];
        const Star& t = theirs[i];
        const bool swapped = (s.owner == 1 && t.owner == 2) || (s.owner == 2 && t.owner == 1) ||
                             (s.owner == 0 && t.owner == 0);
        if (s.x != t.x || s.y != t.y || s.z != t.z || !swapped) {
            return false;
        }
    }
    return true;
}

LocalMatch::LocalMatch(const GameSettings& settings, Flier& hostPilot, Flier& guestPilot, unsigned fieldSeed)
    : random(fieldSeed), hostSide(clock, random), guestSide(clock, random), hostFlier(hostPilot), guestFlier(guestPilot) {
    hostSide.configure(settings);
    guestSide.configure(settings);
}

LocalMatch::LocalMatch(const GameSettings& settings, Flier& hostPilot, Flier& guestPilot, unsigned fieldSeed,
                       const LinkConditions& conditions)
    : LocalMatch(settings, hostPilot, guestPilot, fieldSeed) {
    link = std::make_unique<SimulatedLink>(conditions, clock.now());
}

uint32_t LocalMatch::now() const { return clock.now(); }

bool LocalMatch::listen() {
    hostPort = freeTcpPort();
    return hostSide.startNetworking() && guestSide.startNetworking() && hostPort > 0 && hostSide.host(hostPort) &&
           (!link || link->port() > 0 || link->open(hostPort));
}

bool LocalMatch::join() {
    hostSentBefore = hostSide.network().sentBytes();
    hostReceivedBefore = hostSide.network().receivedBytes();
    guestSentBefore = guestSide.network().sentBytes();
    guestReceivedBefore = guestSide.network().receivedBytes();
    if (link) {
        const SimulatedLink& l = *link;
        const uint64_t counts[4] = {l.taken(SimulatedLink::Up), l.taken(SimulatedLink::Down),
                                    l.given(SimulatedLink::Up), l.given(SimulatedLink::Down)};
        std::copy(counts, counts + 4, linkCountsBefore);
    }
    if (!guestSide.join("127.0.0.1", link ? link->port() : hostPort)) {
        return false;
    }
    return stepUntil(kConnectMs, [this] {
        return guestSide.connected() && mirrorsField(hostSide.localPlayer(), guestSide.localPlayer());
    });
}

MatchOutcome LocalMatch::playMatch(uint32_t longestMs) {
    MatchOutcome outcome;
    const PlayerState& hostPlayer = hostSide.localPlayer();
    const PlayerState& guestPlayer = guestSide.localPlayer();
    outcome.ended = stepUntil(longestMs, [&] { return hostPlayer.isMatchOver() && guestPlayer.isMatchOver(); });
    outcome.hostWon = hostPlayer.opponentEnergy() == 0 && hostPlayer.ownEnergy() > 0;
    outcome.lengthMs = hostSide.localPlayer().matchTime();
    return outcome;
}

bool LocalMatch::rematch() {
    const PlayerState& guestPlayer = guestSide.localPlayer();
    const std::string before = writeStarList(guestPlayer.mapSize(), guestPlayer.stars());
    if (!hostSide.startNewMatch()) {
        return false;
    }
    return stepUntil(kConnectMs, [&] {
        return writeStarList(guestPlayer.mapSize(), guestPlayer.stars()) != before &&
               mirrorsField(hostSide.localPlayer(), guestSide.localPlayer());
    });
}

bool LocalMatch::step() {
    clock.advance(kStepMs);
    deliver();
    pass(hostSide, hostFlier, hostHappened);
    pass(guestSide, guestFlier, guestHappened);
    return link ? carryOverLink() : waitForEachOther();
}

void LocalMatch::pass(MatchCore& side, Flier& flier, std::vector<MatchEvent>& happened) {
    const Steering keys = flier.decide(side.localPlayer(), side.remotePlayer(), side.connected(), now());
    happened = side.runPass(&keys).events;
}

// Both sides see every SDL event, as two games would each see their own.
void LocalMatch::deliver() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        hostSide.handleEvent(event);
        guestSide.handleEvent(event);
    }
    hostSide.readNetwork();
    guestSide.readNetwork();
}

// Neither side is halfway through joining: a connect in progress or a peer the
// host has yet to see is waited for, so that it lands at the same step on every run.
bool LocalMatch::joinedInStep() const {
    const Connection& host = hostSide.network();
    return !guestSide.network().isConnecting() &&
           !(guestSide.connected() && host.isServer() && !hostSide.connected());
}

// Each side has read every byte the other has sent since the guest joined.
bool LocalMatch::inStep() const {
    if (!joinedInStep()) {
        return false;
    }
    if (!(hostSide.connected() && guestSide.connected())) {
        return true;  // apart, there is nothing to wait for
    }
    const Connection& host = hostSide.network();
    const Connection& guest = guestSide.network();
    return host.sentBytes() - hostSentBefore == guest.receivedBytes() - guestReceivedBefore &&
           guest.sentBytes() - guestSentBefore == host.receivedBytes() - hostReceivedBefore;
}

// The link has read every byte each side has sent since the guest joined.
bool LocalMatch::linkHasTakenAll() const {
    if (!(hostSide.connected() && guestSide.connected())) {
        return joinedInStep();  // apart: what one side sent last may never be read
    }
    return joinedInStep() &&
           link->taken(SimulatedLink::Up) - linkCountsBefore[0] == guestSide.network().sentBytes() - guestSentBefore &&
           link->taken(SimulatedLink::Down) - linkCountsBefore[1] == hostSide.network().sentBytes() - hostSentBefore;
}

// Each side has read every byte the link let through to it.
bool LocalMatch::linkInStep() const {
    if (!(hostSide.connected() && guestSide.connected())) {
        return link->written();
    }
    return link->written() &&
           link->given(SimulatedLink::Up) - linkCountsBefore[2] ==
               hostSide.network().receivedBytes() - hostReceivedBefore &&
           link->given(SimulatedLink::Down) - linkCountsBefore[3] ==
               guestSide.network().receivedBytes() - guestReceivedBefore;
}

template <typename Done>
bool LocalMatch::waitFor(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + kDeliveryDeadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        SDL_Delay(0);
        if (link) {
            link->pump();
        }
        deliver();
    }
    return true;
}

bool LocalMatch::waitForEachOther() {
    return waitFor([this] { return inStep(); });
}

// What each side sent this step becomes one segment each way, and whatever is
// due by now reaches the other side.
bool LocalMatch::carryOverLink() {
    if (!waitFor([this] { return linkHasTakenAll(); })) {
        return false;
    }
    link->cut(now());
    link->release(now());
    return waitFor([this] { return linkInStep(); });
}
