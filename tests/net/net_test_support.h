#pragma once
// Networking test helpers: NET2 on SDL's event queue without a window, its events, free ports.

#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
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

// Connects to one port wait in their threads, as for a host that does not answer,
// until released: then they fail as if refused, or go ahead. Connects to other
// ports go ahead at once.
class HeldConnects {
public:
    explicit HeldConnects(int port) {
        std::lock_guard<std::mutex> hold(state().lock);
        state().port = port;
        state().released = false;
        ++state().round;
        net2SetOpener(open);
    }
    ~HeldConnects() {
        release(false);
        net2SetOpener(nullptr);
        for (int ms = 0; ms < 5000 && net2HangingConnects() > 0; ++ms) SDL_Delay(1);  // let their threads end
    }
    void release(bool goAhead) {
        std::lock_guard<std::mutex> hold(state().lock);
        state().released = true;
        state().goAhead = goAhead;
        state().changed.notify_all();
    }

private:
    struct State {
        std::mutex lock;
        std::condition_variable changed;
        int port = -1;
        bool released = false;
        bool goAhead = false;
        int round = 0;  // a connect held by an earlier round is never held again
    };
    static State& state() {
        static State shared;  // outlives any thread still on its way out
        return shared;
    }
    static TCPsocket open(IPaddress* address) {
        std::unique_lock<std::mutex> hold(state().lock);
        if (SDLNet_Read16(&address->port) == state().port) {
            const int round = state().round;
            state().changed.wait(hold, [round] { return state().released || state().round != round; });
            if (!state().goAhead || state().round != round) return nullptr;
        }
        hold.unlock();
        return SDLNet_TCP_Open(address);
    }
};

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
