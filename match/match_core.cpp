#include "match/match_core.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "base/text.h"

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

enum MessageType {
    ShipFrameMessage = 0,
    VelocityMessage = 1,
    StarListMessage = 2,
    StarTakenMessage = 3,
    OwnersMessage = 4,
    ScoreMessage = 5,
};

// The soak run (tests/soak) compares the owners and score texts that each side
// sent or applied; STARHOLD_SOAK_LOG names the file they are written to.
void soakLog(const char* what, const std::string& text) {
    static std::FILE* log = [] {
        const char* path = std::getenv("STARHOLD_SOAK_LOG");
        return path != nullptr ? std::fopen(path, "w") : nullptr;
    }();
    if (log != nullptr) {
        std::fprintf(log, "%s %s\n", what, text.c_str());
        std::fflush(log);
    }
}

}  // namespace

MatchCore::MatchCore() = default;

MatchCore::~MatchCore() { connection.stopNetworking(); }

void MatchCore::configure(const GameSettings& settings) {
    configured = settings;
    local.setConnection(&connection);
    if (settings.playerSkin) {
        local.toggleSkin();
    }
    startOwnMatch();
    remote.setConnection(&connection);
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

void MatchCore::changeSettings(const GameSettings& settings) {
    if (settings.playerSkin != configured.playerSkin) {
        local.toggleSkin();
        remote.toggleSkin();
    }
    configured = settings;
}

// A match on this side's own field, as the settings ask for now; a host's
// field of another size is left behind.
void MatchCore::startOwnMatch() {
    local.setMapSize(configured.mapDimensions);
    local.setStarRange(configured.minStars, configured.maxStars);
    remote.setMapSize(configured.mapDimensions);
    local.newMatch();
}

bool MatchCore::startNetworking() { return connection.startNetworking(); }

void MatchCore::setSounds(WorldSounds* sounds) {
    local.setSounds(sounds);
    remote.setSounds(sounds);
}

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
    startOwnMatch();
    local.splitStars();
    return true;
}

bool MatchCore::join(const std::string& hostName, int32_t port) {
    hostingPort = -1;
    clearInbox();
    const bool started = connection.connectTo(hostName, port);
    connection.send("2|!", kAllPeers, false);  // goes out once the connect completes
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
    startOwnMatch();  // a host with a guest splits the new field and sends it
    return true;
}

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

// The friend has arrived: the match starts now on both sides, on the field the
// host holds, split half and half. The guest's clock starts when the field
// reaches it, moments later.
void MatchCore::startHostedMatch() {
    local.splitStars();
    local.restartMatch();
}

MatchCore::Pass MatchCore::runPass(const Steering* steering) {
    Pass pass;
    pass.updated = updateStep();
    networkStep();
    pass.movementMs = movementStep(steering);
    return pass;
}

bool MatchCore::updateStep() {
    if (updateTimer.elapsed() < kUpdatePeriod) {
        return false;
    }
    const bool wasOver = local.isMatchOver();
    local.update();
    if (connected()) {
        remote.update();
    }
    if (!wasOver && local.isMatchOver() && connection.isServer()) {
        scoreDue = true;
    }
    updateTimer.restart();
    return true;
}

// Messages that arrived before the last peer left are still handled, so that
// nothing of that connection is left over for the next.
void MatchCore::networkStep() {
    if (connected() || !connection.inbox().empty()) {
        runReceiveBatch();
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
        connection.send("0|" + local.frameText(), kAllPeers, false);
        frameSendTimer.restart();
    }
    if (velocityTimer.elapsed() >= kVelocitySendPeriod) {
        connection.send("1|" + local.velocityText(), kAllPeers, false);
        velocityTimer.restart();
    }
    if (!connection.isServer()) {
        return;
    }
    if (ownersTimer.elapsed() >= kOwnersSendPeriod) {
        connection.send("4|" + local.ownersText(), kAllPeers, false);
        soakLog("sent-owners", local.ownersText());
        ownersTimer.restart();
    }
    if (scoreDue || scoreTimer.elapsed() >= kScoreSendPeriod) {
        connection.send("5|" + local.scoreText(), kAllPeers, false);
        soakLog("sent-score", local.scoreText() + "," + toText(local.starCount()));
        scoreTimer.restart();
        scoreDue = false;
    }
}

void MatchCore::runReceiveBatch() {
    connection.receivePending();  // one round of reading per pass
    if (receiveTimer.elapsed() < kReceivePeriod) {
        return;
    }
    starListAnswer.clear();
    while (connection.nextMessage(inbound)) {
        if (!inbound.damaged) {
            dispatch(inbound);
        }
        connection.dropMessage();
        receiveTimer.restart();
    }
}

void MatchCore::dispatch(const ReceivedMessage& message) {
    std::string typeText;
    std::string payload;
    splitAtBar(message.text, typeText, payload);
    int32_t type = -1;
    if (!parseInt(typeText, type)) {
        return;  // not a number: an unknown type
    }
    switch (type) {
        case ShipFrameMessage: remote.applyFrameText(payload); break;
        case VelocityMessage: remote.applyVelocityText(payload); break;
        case StarListMessage:
            if (connection.isServer()) {
                answerStarListRequest(message.socket);
            } else {
                applyStarList(payload);
            }
            break;
        case StarTakenMessage: {
            int32_t index = -1;
            if (parseInt(payload, index)) {
                local.starTakenByOpponent(index);
            }
            break;
        }
        case OwnersMessage:
            local.applyOwnersText(payload);
            soakLog("applied-owners", local.ownersText());
            break;
        case ScoreMessage:
            if (connection.isClient()) {
                local.applyScoreText(payload);
                soakLog("applied-score", toText(local.ownStars()) + "," + toText(local.ownEnergy()) + "," +
                                             toText(local.opponentEnergy()) + "," + toText(local.starCount()));
            }
            break;
        default: break;
    }
}

// Building a list costs milliseconds; a peer asking a thousand times in one
// batch gets the same text a thousand times.
void MatchCore::answerStarListRequest(int32_t socket) {
    if (starListAnswer.empty()) {
        starListAnswer = "2|" + local.starListText();
    }
    connection.send(starListAnswer, socket, false);
}

// A new field from the host is a whole new match. A list this side cannot hold
// would leave the two screens on different fields, so the link to the host is
// given up instead.
void MatchCore::applyStarList(const std::string& payload) {
    std::string reason;
    if (!local.applyStarListText(payload, &reason)) {
        std::fprintf(stderr, "%s; disconnecting\n", reason.c_str());
        leave();
        refusal = reason;
        return;
    }
    local.restartMatch();
    remote.setMapSize(local.mapSize());
}
