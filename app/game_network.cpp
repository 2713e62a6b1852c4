// The keys that reach the network: listen, connect, and what connection.txt
// says about where.

#include <cstdio>
#include <fstream>

#include "app/data_folder.h"
#include "app/game.h"
#include "app/settings.h"

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
    if (match.join(host, port)) {
        observeMatch();  // a connect refused within this pass still shows its failure
    } else {
        showProblem(couldNotConnectText(network().host(), network().port()));
    }
}
