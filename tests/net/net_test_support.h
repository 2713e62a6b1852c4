#pragma once
// Networking test helpers: networking started on SDL's event queue without a
// window, NET2 events with timeouts, free loopback ports, and a raw POSIX peer
// that sees the exact bytes.

#include <SDL.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "net/connection.h"
#include "net/fe.h"
#include "net/net2.h"

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
    for (const Uint32 start = SDL_GetTicks(); !done(); SDL_Delay(1)) {
        if (SDL_GetTicks() - start > static_cast<Uint32>(timeoutMs)) {
            return false;
        }
    }
    return true;
}

// Drops SDL events until a NET2 event of `kind` arrives; false on timeout.
inline bool awaitNet2Event(SDL_Event& event, int kind, int timeoutMs = 5000) {
    const auto arrived = [&] {
        while (fePoll(&event) > 0) {
            if (event.type == SDL_USEREVENT && net2EventKind(event) == kind) {
                return true;
            }
        }
        return false;
    };
    return waitUntil(arrived, timeoutMs);
}

inline bool net2EventWithin(int kind, int timeoutMs) {
    SDL_Event event;
    return awaitNet2Event(event, kind, timeoutMs);
}

// Tries `open` on ports drawn from the process id, so parallel runs do not
// collide, until it succeeds; returns that port.
inline int onFreePort(const std::function<bool(int)>& open) {
    for (int attempt = 0; attempt < 400; ++attempt) {
        const int port = 20000 + (static_cast<int>(getpid() % 2000) * 20 + attempt * 7) % 40000;
        if (open(port)) {
            return port;
        }
    }
    return -1;
}

inline SDL_Event userEvent(int code) {
    SDL_Event event;
    std::memset(&event, 0, sizeof(event));
    event.type = SDL_USEREVENT;
    event.user.code = code;
    return event;
}

inline int fillEventQueue() {  // with harmless user events; returns how many fitted
    SDL_Event filler = userEvent(99);
    int added = 0;
    while (SDL_PushEvent(&filler) == 0) {
        ++added;
    }
    return added;
}

class RawPeer {
public:
    ~RawPeer() { close(); }

    bool connectTo(int port) {
        close();
        sockaddr_in address = loopback(port);
        stream = socket(AF_INET, SOCK_STREAM, 0);
        const timeval timeout{5, 0};  // no receive waits longer
        setsockopt(stream, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
        return connect(stream, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }

    // Listens on a free loopback port with the given backlog; returns the port.
    int listen(int backlog) {
        sockaddr_in address = loopback(0);
        stream = socket(AF_INET, SOCK_STREAM, 0);
        bind(stream, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        ::listen(stream, backlog);
        socklen_t size = sizeof(address);
        getsockname(stream, reinterpret_cast<sockaddr*>(&address), &size);
        return ntohs(address.sin_port);
    }

    // Starts a connect without waiting; true when it completes within `ms`.
    bool connectsWithin(int port, int ms) {
        close();
        sockaddr_in address = loopback(port);
        stream = socket(AF_INET, SOCK_STREAM, 0);
        fcntl(stream, F_SETFL, O_NONBLOCK);
        connect(stream, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        pollfd writable{stream, POLLOUT, 0};
        int error = -1;
        socklen_t size = sizeof(error);
        return poll(&writable, 1, ms) == 1 && getsockopt(stream, SOL_SOCKET, SO_ERROR, &error, &size) == 0 &&
               error == 0;
    }

    bool sendAll(const std::string& bytes) {
        ssize_t now = 1;
        for (size_t sent = 0; now > 0 && sent < bytes.size(); sent += static_cast<size_t>(now)) {
            now = send(stream, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        }
        return now > 0;
    }

    bool receive(size_t count, std::string& bytes) {
        bytes.clear();
        char chunk[4096];
        for (ssize_t got = 1; got > 0 && bytes.size() < count;) {
            got = recv(stream, chunk, std::min(sizeof(chunk), count - bytes.size()), 0);
            bytes.append(chunk, static_cast<size_t>(std::max<ssize_t>(got, 0)));
        }
        return bytes.size() == count;
    }

    // Takes what has arrived without waiting; how many bytes.
    size_t discardArrived() {
        char chunk[65536];
        const ssize_t got = recv(stream, chunk, sizeof(chunk), MSG_DONTWAIT);
        return static_cast<size_t>(std::max<ssize_t>(got, 0));
    }

    bool seesEndOfStream() {  // closed, or reset with bytes it sent still unread
        char byte;
        const ssize_t got = recv(stream, &byte, 1, 0);
        return got == 0 || (got < 0 && errno == ECONNRESET);
    }

    void close(bool reset = false) {  // reset: the other side gets a connection reset
        const linger abortive{1, 0};
        if (stream >= 0 && reset) {
            setsockopt(stream, SOL_SOCKET, SO_LINGER, &abortive, sizeof(abortive));
        }
        if (stream >= 0) {
            ::close(stream);
        }
        stream = -1;
    }

private:
    static sockaddr_in loopback(int port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }

    int stream = -1;
};
