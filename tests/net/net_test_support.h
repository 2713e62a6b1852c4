#pragma once
// Networking test helpers: NET2 on SDL's event queue without a window, its events, free ports.

#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "net/connection.h"
#include "net/fe.h"
#include "net/net2.h"
#include "tests/support/raw_peer.h"

// SDL_net, the fast event queue and NET2 running for one test.
class NetworkingTest : public ::testing::Test {
protected:
    NetworkingTest() {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        SDL_Init(SDL_INIT_VIDEO);
        EXPECT_TRUE(connection.startNetworking());
    }
    ~NetworkingTest() override {
        connection.stopNetworking();
        SDL_Quit();
    }

    Connection connection;
};

inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    for (const Uint32 start = SDL_GetTicks(); !done(); SDL_Delay(1))
        if (SDL_GetTicks() - start > static_cast<Uint32>(timeoutMs)) return false;
    return true;
}

// Drops SDL events until a NET2 event of `kind` arrives; false on timeout.
inline bool awaitNet2Event(SDL_Event& event, int kind, int timeoutMs = 5000) {
    const auto arrived = [&] {
        while (fePoll(&event) > 0)
            if (event.type == SDL_USEREVENT && net2EventKind(event) == kind) return true;
        return false;
    };
    return waitUntil(arrived, timeoutMs);
}

// Tries `open` on ports drawn from the process id, so parallel runs do not
// collide, until it succeeds; returns that port.
inline int onFreePort(const std::function<bool(int)>& open) {
    for (int attempt = 0; attempt < 400; ++attempt) {
        const int port = 20000 + (static_cast<int>(getpid() % 2000) * 20 + attempt * 7) % 40000;
        if (open(port)) return port;
    }
    return -1;
}

inline SDL_Event userEvent(int code) {
    SDL_Event event{};
    event.type = SDL_USEREVENT;
    event.user.code = code;
    return event;
}

inline int fillEventQueue() {  // with harmless user events; returns how many fitted
    SDL_Event filler = userEvent(99);
    int added = 0;
    while (SDL_PushEvent(&filler) == 0) ++added;
    return added;
}
