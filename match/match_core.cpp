#include "match/match_core.h"

#include <algorithm>
#include <cstdio>

#include "wire/messages.h"

namespace {

// Loop periods in milliseconds.
constexpr int32_t kUpdatePeriod = 10;
constexpr int32_t kMovementPeriod = 10;  // the movement step runs after *more* than this
constexpr int32_t kReceivePeriod = 25;
constexpr int32_t kFrameSendPeriod = 200;
constexpr int32_t kVelocitySendPeriod = 50;
constexpr int32_t kOwnersSendPeriod = 10000;
constexpr int32_t kScoreSendPeriod = 500;
constexpr int32_t kAllPeers = -1;

}  // namespace

MatchCore::MatchCore(const Clock& clock, RandomSource& random)
    : connection(clock),
      local(true, clock, random),
      remote(false, clock, random),
      updateTimer(clock),
      movementTimer(clock),
      receiveTimer(clock),
      velocityTimer(clock),
      frameSendTimer(clock),
      ownersTimer(clock),
      scoreTimer(clock) {}

MatchCore::~MatchCore() { connection.stopNetworking(); }

void MatchCore::configure(const GameSettings& settings) {
    configured = settings;
    if (settings.playerSkin) {
        local.toggleSkin();
    }
    local.setMapSize(settings.mapDimensions);
    local.setStarRange(settings.minStars, settings.maxStars);
    local.newMatch();
    remote.setMapSize(settings.mapDimensions);
    remote.newMatch();
    if (!settings.playerSkin) {
        remote.toggleSkin();
    }
    movementTimer.start();
    updateTimer.start();
    receiveTimer.start();
    velocityTimer.start();
    frameSendTimer.start();
    ownersTimer.start();
    scoreTimer.start();
}

bool MatchCore::startNetworking() { return connection.startNetworking(); }

bool MatchCore::host(int32_t port) {
    const int32_t wanted = port != -1 ? port : connection.port();
    if (connection.isServer() && wanted == hostingPort) {
        return true;  // already there, with whoever has joined
    }
    if (!connection.startServer(port)) {
        return false;
    }
    hostingPort = connection.port();
    clearInbox();
    local.newMatch();
    local.splitStars();
    return true;
}

bool MatchCore::join(const std::string& hostName, int32_t port) {
    hostingPort = -1;
    clearInbox();
    const bool started = connection.connectTo(hostName, port);
    connection.send(writeStarListRequest(), kAllPeers, false);  // goes out once the connect completes
    return started;
}

void MatchCore::leave() {
    connection.disconnect();
    hostingPort = -1;
    clearInbox();
}

bool MatchCore::startNewMatch() {
    if (joinedToHost()) {
        return false;
    }
    local.newMatch();
    if (connection.isServer() && connected()) {
        newHostedField();
    }
    return true;
}

// A host with a guest splits its new field and sends it: the guest's new match.
void MatchCore::newHostedField() {
    local.splitStars();
    sendToPeers(writeStarList(local.mapSize(), local.stars()));
}

void MatchCore::resetShip() { local.resetShip(); }

void MatchCore::limitPeers(int maxPeers, bool loopbackOnly) { connection.limitPeers(maxPeers, loopbackOnly); }

// What is left from an earlier connection must not reach the next one.
void MatchCore::clearInbox() {
    while (!connection.inbox().empty()) {
        connection.dropMessage();
    }
}

void MatchCore::handleEvent(const SDL_Event& event) {
    const int before = connection.peerCount();
    connection.handleEvent(event);
    if (connection.isServer() && before == 0 && connected()) {
        startHostedMatch();
    }
}

void MatchCore::readNetwork() { connection.receivePending(); }

// The friend has arrived: the match starts now on both sides, on the field the
// host holds, split half and half. The guest's clock starts when the field
// reaches it, moments later.
void MatchCore::startHostedMatch() {
    local.splitStars();
    local.restartMatch();
}

MatchRole MatchCore::role() const {
    if (!connected()) {
        return MatchRole::Alone;
    }
    return connection.isServer() ? MatchRole::Host : MatchRole::Guest;
}

MatchCore::Pass MatchCore::runPass(const Steering* steering) {
    Pass pass;
    pass.updated = updateStep(pass.events);
    networkStep(pass.events);
    pass.movementMs = movementStep(steering);
    return pass;
}

bool MatchCore::updateStep(std::vector<MatchEvent>& events) {
    if (updateTimer.elapsed() < kUpdatePeriod) {
        return false;
    }
    const bool wasOver = local.isMatchOver();
    WorldEvents happened;
    local.update(role(), happened);
    report(happened, true, events);
    if (connected()) {
        happened.clear();
        remote.update(role(), happened);
        report(happened, false, events);
    }
    if (!wasOver && local.isMatchOver() && connection.isServer()) {
        scoreDue = true;
    }
    updateTimer.restart();
    return true;
}

// Turns what the world did into messages for the peer and events for the caller.
void MatchCore::report(const WorldEvents& happened, bool ours, std::vector<MatchEvent>& events) {
    for (const WorldEvent& event : happened) {
        switch (event.kind) {
            case WorldEvent::Captured:
                sendToPeers(writeStarTaken(event.star));
                events.push_back({MatchEvent::OwnCapture, event.star});
                break;
            case WorldEvent::Wrapped: events.push_back({ours ? MatchEvent::OwnWrap : MatchEvent::OpponentWrap, -1}); break;
            case WorldEvent::MatchOver: events.push_back({MatchEvent::MatchOver, -1}); break;
        }
    }
}

void MatchCore::sendToPeers(const std::string& message) {
    if (connected()) {
        connection.send(message, kAllPeers, false);
    }
}

// Messages that arrived before the last peer left are still handled, so that
// nothing of that connection is left over for the next.
void MatchCore::networkStep(std::vector<MatchEvent>& events) {
    if (connected() || !connection.inbox().empty()) {
        runReceiveBatch(events);
    }
    if (connected()) {
        sendPeriodicMessages();
    }
}

int32_t MatchCore::movementStep(const Steering* steering) {
    const int32_t ms = movementTimer.elapsed();
    if (ms <= kMovementPeriod) {
        return -1;
    }
    if (steering != nullptr) {
        steerShip(local, *steering, configured.sensitivity, ms);
    }
    movementTimer.restart();
    return ms;
}

int32_t MatchCore::msUntilDue() {
    int32_t wait = std::min(kUpdatePeriod - updateTimer.elapsed(), kMovementPeriod + 1 - movementTimer.elapsed());
    const int32_t receive = receiveDueIn();
    if (receive > 0) {
        wait = std::min(wait, receive);
    }
    return std::max(wait, 0);
}

// Milliseconds until the receive batch is next allowed to run while a peer is
// connected; 0 once it is overdue (it then waits for a message), -1 with no peer.
// An overdue batch is left out of the sleep: it waits for a message, not for the clock.
int32_t MatchCore::receiveDueIn() {
    if (!connected()) {
        return -1;
    }
    const int32_t left = kReceivePeriod - receiveTimer.elapsed();
    return left > 0 ? left : 0;
}

std::string MatchCore::takeRefusal() {
    std::string reason;
    reason.swap(refusal);
    return reason;
}

void MatchCore::sendPeriodicMessages() {
    if (frameSendTimer.elapsed() >= kFrameSendPeriod) {
        connection.send(writeShipFrame(local.ship().frame), kAllPeers, false);
        frameSendTimer.restart();
    }
    if (velocityTimer.elapsed() >= kVelocitySendPeriod) {
        connection.send(writeVelocity(local.velocity()), kAllPeers, false);
        velocityTimer.restart();
    }
    if (!connection.isServer()) {
        return;
    }
    if (ownersTimer.elapsed() >= kOwnersSendPeriod) {
        connection.send(writeOwners(local.stars()), kAllPeers, false);
        ownersTimer.restart();
    }
    if (scoreDue || scoreTimer.elapsed() >= kScoreSendPeriod) {
        connection.send(writeScore(local.score()), kAllPeers, false);
        scoreTimer.restart();
        scoreDue = false;
    }
}

void MatchCore::runReceiveBatch(std::vector<MatchEvent>& events) {
    connection.receivePending();  // one round of reading per pass
    if (receiveTimer.elapsed() < kReceivePeriod) {
        return;
    }
    starListAnswer.clear();
    while (connection.nextMessage(inbound)) {
        if (!inbound.damaged) {
            dispatch(inbound, events);
        }
        connection.dropMessage();
        receiveTimer.restart();
    }
}

// A message that does not read whole is ignored.
void MatchCore::dispatch(const ReceivedMessage& message, std::vector<MatchEvent>& events) {
    Envelope envelope;
    if (!readEnvelope(message.text, envelope)) {
        return;
    }
    const std::string_view payload = envelope.payload;
    switch (envelope.type) {
        case ShipFrameMessage: {
            Frame frame;
            if (readShipFrame(payload, frame)) remote.applyFrame(frame);
            break;
        }
        case VelocityMessage: {
            Velocity velocity;
            if (readVelocity(payload, velocity)) remote.applyVelocity(velocity);
            break;
        }
        case StarListMessage:
            if (connection.isServer()) {
                answerStarListRequest(message.socket);
            } else {
                applyStarList(payload);
            }
            break;
        case StarTakenMessage: {
            int32_t index = -1;
            if (readStarTaken(payload, index) && local.starTakenByOpponent(index)) {
                events.push_back({MatchEvent::OpponentCapture, index});
            }
            break;
        }
        case OwnersMessage: {
            std::vector<float> owners;
            if (readOwners(payload, owners)) local.applyOwners(owners);
            break;
        }
        case ScoreMessage: {
            Score score;
            if (connection.isClient() && readScore(payload, score)) {
                WorldEvents happened;
                local.applyScore(score, happened);
                report(happened, true, events);
            }
            break;
        }
        default: break;
    }
}

// Building a list costs milliseconds; a peer asking a thousand times in one
// batch gets the same text a thousand times.
void MatchCore::answerStarListRequest(int32_t socket) {
    if (starListAnswer.empty()) {
        starListAnswer = writeStarList(local.mapSize(), local.stars());
    }
    connection.send(starListAnswer, socket, false);
}

// A new field from the host is a whole new match. A list this side cannot hold
// would leave the two screens on different fields, so the link to the host is
// given up instead.
void MatchCore::applyStarList(std::string_view payload) {
    StarList list;
    std::string reason;
    if (!readStarList(payload, list, reason)) {
        std::fprintf(stderr, "%s; disconnecting\n", reason.c_str());
        leave();
        refusal = reason;
        return;
    }
    local.applyField(list.mapSize, list.stars);
    local.restartMatch();
    remote.setMapSize(local.mapSize());
}
