// The keys that reach the network: listen, connect, and what connection.txt
// says about where.

#include <cstdio>
#include <fstream>
#include <utility>
#include <iostream>

#include "app/data_folder.h"
#include "app/game.h"
#include "settings/settings.h"
#include "join/host_address.h"
#include "join/recent_hosts.h"
#include "net/free_port.h"

namespace {

constexpr float kProblemRed[3] = {1, 0.4f, 0.4f};

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
        std::fprintf(stderr, "connection.txt is missing or has no port; using port %d\n", network().port());
    }
    return false;
}

void Game::showProblem(const std::string& text) {
    status.showEvent(text, kProblemRed[0], kProblemRed[1], kProblemRed[2], now());
}

void Game::listen() {
    endComputerGame();
    int32_t port;
    std::string host;  // listening takes any address: the host token is not used
    readConnectionFile(port, host);
    if (!match.host(port)) {
        showProblem(couldNotListenText(network().port()));
    }
}

void Game::connect() {
    int32_t port;
    std::string host;
    readConnectionFile(port, host);
    if (host == "NULL") {
        std::fprintf(stderr, "connection.txt has no host; using %s\n", network().host().c_str());
    }
    promptJoin.clear();
    joinHost(host, port);
}

// c and the join prompt's Enter: the same connect, the same "2|!", the same status line.
void Game::joinHost(const std::string& host, int32_t port) {
    endComputerGame();
    if (match.join(host, port)) {
        observeMatch();  // a connect refused within this pass still shows its failure
    } else {
        showProblem(couldNotConnectText(network().host(), network().port()));
    }
}

// Opens with the last hosts joined, and the port connection.txt names as the one
// joined when the player types none.
void Game::openJoinPrompt() {
    int32_t port;
    std::string host;
    std::ifstream file(settingsPath("connection.txt"));
    readConnectionTokens(file, port, host);
    releaseMovementKeys(input);
    prompt.open(readRecentHosts(recentHostsPath(), std::cerr), port != -1 ? port : network().port());
    lanGames.open();  // when it cannot, the prompt says local games cannot be listed
}

void Game::closeJoinPrompt() { lanGames.close(); }

// A game waiting for a friend, not the computer, tells the local network where
// to join it until the friend arrives; the open join prompt lists what it hears.
void Game::updateLan() {
    const bool waiting = settings.announce && match.network().isServer() && !match.connected() && !againstComputer &&
                         match.hostedPort() > 0;
    if (!waiting) {
        announcer.stop();
    } else {
        announcer.start({match.hostedPort(), announcedAs});
        if (announcer.due(now())) announcer.send(broadcastAddresses(machineInterfaces()), now());
    }
    if (prompt.isOpen()) {
        lanGames.receive(now());
        prompt.showGames(lanGames.games(now()));
    }
}

// A host typed into the prompt is remembered once its connect has succeeded.
void Game::noteJoinOutcome() {
    if (promptJoin.empty() || match.network().isConnecting()) {
        return;
    }
    if (match.joinedToHost()) {
        ::rememberJoinedHost(recentHostsPath(), promptJoin, std::cerr);
    }
    promptJoin.clear();
}

// The status line follows the connection, and says why a host's field was refused.
void Game::observeMatch() {
    const Connection& connection = match.network();
    ConnectionView view;
    view.server = connection.isServer();
    view.client = connection.isClient();
    view.connecting = connection.isConnecting();
    view.peers = connection.peerCount();
    view.host = connection.host();
    view.port = view.server ? match.hostedPort() : connection.port();
    view.address = listeningText();
    view.friendName = view.server ? match.friendAddress() : view.host;
    view.silentMs = match.silentMs() >= MatchCore::kSilenceShownMs ? match.silentMs() : 0;
    view.lost = std::exchange(linkLost, false);
    watchComputer();
    keepRecords();
    if (againstComputer) {
        view.computer = botLevelName(computerLevel);
        view.record = recordText(records.against(computerLevel));
    }
    status.observe(view, now());
    noteFriendsVersion();
    noteJoinOutcome();
    const std::string refusal = match.takeRefusal();
    if (!refusal.empty()) {
        showProblem(refusal);
    }
}

// A friend whose game speaks another protocol is named once; the match plays on
// as far as the two can understand each other.
void Game::noteFriendsVersion() {
    const int32_t version = match.friendVersion();
    if (version != 0 && version != kProtocolVersion && version != versionNoted) {
        const char* age = version < kProtocolVersion ? "an older" : "a newer";
        status.showEvent(std::string("your friend runs ") + age + " starhold", 1, 1, 0, now());
    }
    versionNoted = version;
}

const std::string& Game::listeningText() {
    if (match.hostedPort() != listeningPort) {
        listeningPort = match.hostedPort();
        listening = listeningPort > 0 ? listeningAddress(listeningPort) : "";
    }
    return listening;
}

// b hosts on a free port of this machine and starts the computer to join it;
// b again moves to the next level, and the new computer's arrival starts a new match.
void Game::playComputer() {
    if (againstComputer) {
        computerLevel = nextBotLevel(computerLevel);
        computer.stop();
    } else {
        computerLevel = settings.botLevelSet ? settings.botLevel : records.lowestUnbeaten();
        match.leave();
        if (!match.host(freeTcpPort())) {
            showProblem("could not start a game with the computer");
            return;
        }
        match.limitPeers(1, true);  // the computer, from this machine, and nobody else
        againstComputer = true;
    }
    if (!computer.start(computerProgram, computerLevel, match.hostedPort())) {
        endComputerGame();
        match.leave();
        showProblem("could not start the computer");
    }
}

// Whatever the player does next with the network, the computer goes first.
void Game::endComputerGame() {
    if (!againstComputer) {
        return;
    }
    computer.stop();
    match.limitPeers(-1, false);
    againstComputer = false;
}

// A computer that has gone on its own ends the game with it.
void Game::watchComputer() {
    if (againstComputer && !computer.running()) {
        endComputerGame();
        match.leave();
        showProblem("the computer has left the game");
    }
}

