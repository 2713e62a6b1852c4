#include "tests/net/net_test_support.h"

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
                if (event.type == SDL_USEREVENT && net2EventKind(event) == kind) {
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
}

bool net2EventWithin(int kind, int timeoutMs) {
    SDL_Event event;
    return awaitNet2Event(event, kind, timeoutMs);
}

int candidatePort(int attempt) { return 20000 + (static_cast<int>(getpid() % 2000) * 20 + attempt * 7) % 40000; }

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

namespace {

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool readable(int socket, int timeoutMs) {
    pollfd waiting{socket, POLLIN, 0};
    return poll(&waiting, 1, timeoutMs) == 1;
}

}  // namespace

RawPeer::~RawPeer() { close(); }

bool RawPeer::connectTo(int port) {
    sockaddr_in address = loopback(port);
    stream = socket(AF_INET, SOCK_STREAM, 0);
    return connect(stream, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
}

bool RawPeer::sendAll(const std::string& bytes) {
    for (size_t sent = 0; sent < bytes.size();) {
        const ssize_t now = send(stream, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (now <= 0) {
            return false;
        }
        sent += static_cast<size_t>(now);
    }
    return true;
}

bool RawPeer::receive(size_t count, std::string& bytes, int timeoutMs) {
    bytes.clear();
    char chunk[4096];
    while (bytes.size() < count && readable(stream, timeoutMs)) {
        const ssize_t got = recv(stream, chunk, std::min(sizeof(chunk), count - bytes.size()), 0);
        if (got <= 0) {
            break;
        }
        bytes.append(chunk, static_cast<size_t>(got));
    }
    return bytes.size() == count;
}

bool RawPeer::seesEndOfStream() {
    char byte;
    return readable(stream, 5000) && recv(stream, &byte, 1, 0) == 0;
}

void RawPeer::close(bool reset) {
    if (stream >= 0) {
        linger abortive{1, 0};
        if (reset) {
            setsockopt(stream, SOL_SOCKET, SO_LINGER, &abortive, sizeof(abortive));
        }
        ::close(stream);
        stream = -1;
    }
}
