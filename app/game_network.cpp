// The game's side of the network: the listen and connect keys, the periodic
// messages, and the receive batch that applies what the peer sent.

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "app/game.h"
#include "app/data_folder.h"
#include "app/settings.h"
#include "app/text.h"
#include "world/arena.h"

namespace {

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

// Reads the port and host tokens of connection.txt. A token that is missing or
// not a number is left to the Connection's own value (-1, "NULL"); the other
// token is still used. False when either is left out.
bool Game::readConnectionFile(int32_t& port, std::string& host) {
    std::ifstream file(settingsPath("connection.txt"));
    if (readConnectionTokens(file, port, host)) {
        return true;
    }
    if (port == -1) {
        std::fprintf(stderr, "connection.txt is missing or has no port; using port %d\n", connection.port());
    }
    return false;
}

void Game::listen() {
    int32_t port;
    std::string host;  // listening takes any address: the host token is not used
    readConnectionFile(port, host);
    if (!connection.startServer(port)) {
        status.showEvent(couldNotListenText(connection.port()), 1, 0.4f, 0.4f, now());
    }
    local.splitStars();
}

void Game::connect() {
    int32_t port;
    std::string host;
    readConnectionFile(port, host);
    if (host == "NULL") {
        std::fprintf(stderr, "connection.txt has no host; using %s\n", connection.host().c_str());
    }
    if (connection.connectTo(host, port)) {
        observeConnection();  // a connect refused within this pass still shows its failure
    } else {
        status.showEvent(couldNotConnectText(connection.host(), connection.port()), 1, 0.4f, 0.4f, now());
    }
    connection.send("2|!", kAllPeers, false);
}

void Game::sendPeriodicMessages() {
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
    if (scoreTimer.elapsed() >= kScoreSendPeriod) {
        connection.send("5|" + local.scoreText(), kAllPeers, false);
        soakLog("sent-score", local.scoreText() + "," + toText(local.starCount()));
        scoreTimer.restart();
    }
}

// Milliseconds until the receive batch is next allowed to run while a peer is
// connected; 0 once it is overdue (it then waits for a message), -1 with no peer.
int32_t Game::receiveDueIn() {
    if (connection.peerCount() <= 0) {
        return -1;
    }
    const int32_t left = kReceivePeriod - receiveTimer.elapsed();
    return left > 0 ? left : 0;
}

void Game::runReceiveBatch() {
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

void Game::dispatch(const ReceivedMessage& message) {
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
                // Building a list costs milliseconds; a peer asking a thousand
                // times in one batch gets the same text a thousand times.
                if (starListAnswer.empty()) {
                    starListAnswer = "2|" + local.starListText();
                }
                connection.send(starListAnswer, message.socket, false);
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

// A list this side cannot hold would leave the two screens on different fields,
// so the link to the host is given up instead.
void Game::applyStarList(const std::string& payload) {
    std::string reason;
    if (!local.applyStarListText(payload, &reason)) {
        std::fprintf(stderr, "%s; disconnecting\n", reason.c_str());
        connection.disconnect();
        observeConnection();  // the lost peer first, so the reason is what stays on screen
        status.showEvent(reason, 1, 0.4f, 0.4f, now());
        return;
    }
    local.resetShip();
    local.restartMatchClock();
    local.setMatchOverTime(0);
    if (local.mapSize() != settings.mapDimensions) {
        buildArena(sceneSurface, local.mapSize());
        remote.setMapSize(local.mapSize());
    }
}
