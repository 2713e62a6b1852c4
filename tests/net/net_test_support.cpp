#include "tests/net/net_test_support.h"

#include <SDL_net.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "net/fe.h"
#include "net/net2.h"

EventQueueTest::EventQueueTest() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    SDL_Init(SDL_INIT_VIDEO);
}

EventQueueTest::~EventQueueTest() { SDL_Quit(); }

NetServices::NetServices() {
    SDLNet_Init();
    feStart();
    net2Start();
}

NetServices::~NetServices() {
    net2Stop();
    feStop();
    SDLNet_Quit();
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    const Uint32 start = SDL_GetTicks();
    while (!done()) {
        if (SDL_GetTicks() - start > static_cast<Uint32>(timeoutMs)) {
            return false;
        }
        SDL_Delay(1);
    }
    return true;
}

bool awaitNet2Event(SDL_Event& event, int kind, int timeoutMs) {
    return waitUntil(
        [&] {
            while (fePoll(&event) > 0) {
                if (event.type == SDL_USEREVENT && (kind == -1 || net2EventKind(event) == kind)) {
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
}

bool net2EventWithin(int kind, int ms) {
    SDL_Event event;
    return awaitNet2Event(event, kind, ms);
}

int candidatePort(int attempt) {
    const int base = static_cast<int>(getpid() % 2000) * 20;
    return 20000 + (base + attempt * 7) % 40000;
}

int listenOnFreePort(int& port) {
    for (int attempt = 0; attempt < 400; ++attempt) {
        port = candidatePort(attempt);
        const int listener = net2ListenTcp(port);
        if (listener >= 0) {
            return listener;
        }
    }
    return -1;
}

int fillEventQueue() {
    SDL_Event filler;
    std::memset(&filler, 0, sizeof(filler));
    filler.type = SDL_USEREVENT;
    filler.user.code = 99;
    int added = 0;
    while (SDL_PushEvent(&filler) == 0) {
        ++added;
    }
    return added;
}

RawPeer::~RawPeer() {
    close();
    if (listener >= 0) {
        ::close(listener);
    }
}

bool RawPeer::connectTo(int port) {
    stream = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return stream >= 0 && connect(stream, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
}

int RawPeer::listenOnAnyPort() {
    listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = 0;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener, 4) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return -1;
    }
    return ntohs(address.sin_port);
}

bool RawPeer::acceptOne(int timeoutMs) {
    pollfd waiting{listener, POLLIN, 0};
    if (poll(&waiting, 1, timeoutMs) != 1) {
        return false;
    }
    stream = accept(listener, nullptr, nullptr);
    return stream >= 0;
}

bool RawPeer::sendAll(const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t now = ::send(stream, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (now <= 0) {
            return false;
        }
        sent += static_cast<size_t>(now);
    }
    return true;
}

bool RawPeer::receive(size_t count, std::string& bytes, int timeoutMs) {
    bytes.clear();
    const Uint32 start = SDL_GetTicks();
    char chunk[4096];
    while (bytes.size() < count) {
        const int left = timeoutMs - static_cast<int>(SDL_GetTicks() - start);
        pollfd waiting{stream, POLLIN, 0};
        if (left <= 0 || poll(&waiting, 1, left) != 1) {
            return false;
        }
        const size_t wanted = count - bytes.size() < sizeof(chunk) ? count - bytes.size() : sizeof(chunk);
        const ssize_t got = recv(stream, chunk, wanted, 0);
        if (got <= 0) {
            return false;
        }
        bytes.append(chunk, static_cast<size_t>(got));
    }
    return true;
}

bool RawPeer::seesEndOfStream(int timeoutMs) {
    pollfd waiting{stream, POLLIN, 0};
    char byte;
    return poll(&waiting, 1, timeoutMs) == 1 && recv(stream, &byte, 1, 0) == 0;
}

void RawPeer::close() {
    if (stream >= 0) {
        ::close(stream);
        stream = -1;
    }
}

void RawPeer::resetConnection() {
    linger abortive{1, 0};
    setsockopt(stream, SOL_SOCKET, SO_LINGER, &abortive, sizeof(abortive));
    close();
}
