#include "match/local_match.h"

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

uint32_t LocalMatch::now() const { return clock.now(); }

bool LocalMatch::listen() {
    hostPort = freeTcpPort();
    return hostSide.startNetworking() && guestSide.startNetworking() && hostPort > 0 && hostSide.host(hostPort);
}

bool LocalMatch::join() {
    hostSentBefore = hostSide.network().sentBytes();
    hostReceivedBefore = hostSide.network().receivedBytes();
    guestSentBefore = guestSide.network().sentBytes();
    guestReceivedBefore = guestSide.network().receivedBytes();
    if (!guestSide.join("127.0.0.1", hostPort)) {
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
    return waitForEachOther();
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

// Each side has read every byte the other has sent since the guest joined, and
// neither is halfway through joining: a connect in progress or a peer the host
// has yet to see is waited for, so that it lands at the same step on every run.
bool LocalMatch::inStep() const {
    const Connection& host = hostSide.network();
    const Connection& guest = guestSide.network();
    if (guest.isConnecting() || (guestSide.connected() && host.isServer() && !hostSide.connected())) {
        return false;
    }
    if (!(hostSide.connected() && guestSide.connected())) {
        return true;  // apart, there is nothing to wait for
    }
    return host.sentBytes() - hostSentBefore == guest.receivedBytes() - guestReceivedBefore &&
           guest.sentBytes() - guestSentBefore == host.receivedBytes() - hostReceivedBefore;
}

bool LocalMatch::waitForEachOther() {
    const auto deadline = std::chrono::steady_clock::now() + kDeliveryDeadline;
    while (!inStep()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        SDL_Delay(0);
        deliver();
    }
    return true;
}
