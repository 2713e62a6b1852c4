#include "net/connection.h"

#include <SDL_net.h>

#include <algorithm>
#include <cstdio>

#include "app/text.h"
#include "net/fe.h"
#include "net/net2.h"

namespace {

// SDL's queue holds at most this many events.
constexpr int kMaxEventsPerPump = 127;

}  // namespace

Connection::Connection(int32_t port, const std::string& host) : currentPort(port), currentHost(host) {}

bool Connection::startNetworking() {
    SDL_Init(SDL_INIT_NOPARACHUTE);
    if (SDLNet_Init() == -1) {
        std::fprintf(stderr, "SDLNET failed to init\n");
        return false;
    }
    sdlNetStarted = true;
    if (feStart() == -1) {
        std::fprintf(stderr, "FE Failed to init\n");
        return false;
    }
    if (net2Start() == -1) {
        std::fprintf(stderr, "NET2 failed to init\n");
        return false;
    }
    return true;
}

void Connection::stopNetworking() {
    net2Stop();
    feStop();
    if (sdlNetStarted) {
        SDLNet_Quit();
        sdlNetStarted = false;
    }
}

bool Connection::startServer(int32_t port) {
    if (port != -1) {
        currentPort = port;
    }
    if (net2ListenTcp(currentPort) == -1) {
        std::fprintf(stderr, "Create server on port (%d) failed\n", currentPort);
        return false;
    }
    server = true;
    client = false;
    return true;
}

bool Connection::connectTo(const std::string& host, int32_t port) {
    if (host != "NULL") {
        currentHost = host;
    }
    if (port != -1) {
        currentPort = port;
    }
    const int socket = net2ConnectTcp(currentHost.c_str(), currentPort);
    if (socket == -1) {
        std::fprintf(stderr, "Connect To (%s, %d) failed\n", currentHost.c_str(), currentPort);
        server = false;
        client = false;
        return false;
    }
    readers.erase(socket);
    sockets.push_back(socket);
    client = true;
    server = false;
    return true;
}

void Connection::disconnect() {
    for (int32_t socket : sockets) {
        net2CloseTcp(socket);
    }
    server = false;
    client = false;
    sockets.clear();
    readers.clear();
}

bool Connection::send(const std::string& text, int32_t target, bool exceptTarget) {
    const std::string shown = toText(static_cast<int32_t>(text.size() + 1)) + "~" + text;
    std::string frame = shown;
    frame.push_back('\0');
    bool lastSent = false;
    auto sendTo = [&](int32_t socket) {
        lastSent = net2SendTcp(socket, frame.data(), static_cast<int>(frame.size())) != -1;
        if (!lastSent) {
            std::fprintf(stderr, "\nERROR: Message could not be sent (%s)\n", shown.c_str());
        }
    };
    if (target == -1 || exceptTarget) {
        for (int32_t socket : sockets) {
            if (!(exceptTarget && socket == target)) {
                sendTo(socket);
            }
        }
    } else {
        sendTo(target);
    }
    return lastSent;
}

int Connection::receiveFrame(std::string& text, int32_t socket) {
    FrameReader& reader = readers[socket];
    FrameReader::Status status = reader.next(text);
    char chunk[kNet2TcpBufferSize];
    while (status == FrameReader::NoMessage) {
        const int count = net2ReadTcp(socket, chunk, static_cast<int>(sizeof(chunk)));
        if (count <= 0) {
            break;
        }
        reader.append(chunk, static_cast<size_t>(count));
        status = reader.next(text);
    }
    if (status == FrameReader::Partial) {
        std::fprintf(stderr, "\nERROR: Only recieved part of a message. Partial message loss!\n");
    } else if (status == FrameReader::LostLength) {
        std::fprintf(stderr, "\nERROR: Failed to receive the length of a message. Lost message.\n");
    } else if (status == FrameReader::NoMessage && reader.idle()) {
        readers.erase(socket);
    }
    return status;
}

void Connection::queue(int32_t socket, const std::string& text, bool damaged) {
    ReceivedMessage message;
    message.socket = socket;
    message.text = text;
    message.damaged = damaged;
    messages.push_back(message);
}

// NET2 raises the next receive event only once its buffer is empty, so every
// byte is taken out now; an unfinished frame waits in the socket's reader.
void Connection::receiveAll(int32_t socket) {
    std::string text;
    int status = receiveFrame(text, socket);
    while (status != FrameReader::NoMessage) {
        queue(socket, text, status != FrameReader::Complete);
        status = receiveFrame(text, socket);
    }
}

void Connection::closePeer(int32_t socket) {
    receiveAll(socket);
    const auto reader = readers.find(socket);
    if (reader != readers.end()) {
        std::string text;
        if (reader->second.finish(text) == FrameReader::Partial) {
            std::fprintf(stderr, "\nERROR: Only recieved part of a message. Partial message loss!\n");
            queue(socket, text, true);
        }
        readers.erase(reader);
    }
    const auto found = std::find(sockets.begin(), sockets.end(), socket);
    if (found != sockets.end()) {
        sockets.erase(found);
    }
    net2CloseTcp(socket);
}

bool Connection::handleEvent(const SDL_Event& event) {
    if (event.type != SDL_USEREVENT) {
        return true;
    }
    const int32_t socket = net2EventSocket(event);
    switch (net2EventKind(event)) {
        case NET2_ERROREVENT: {
            const char* text = net2EventText(event);
            std::fprintf(stderr, "Error: %s(%d)\n", text ? text : "", socket);
            return false;
        }
        case NET2_ACCEPTEVENT:
            if (std::find(sockets.begin(), sockets.end(), socket) == sockets.end()) {
                readers.erase(socket);  // a reused index starts a new stream
                if (server) {
                    sockets.push_back(socket);
                }
            }
            return true;
        case NET2_TCPRECEIVEEVENT:
            receiveAll(socket);
            return true;
        case NET2_TCPCLOSEEVENT:
            closePeer(socket);
            return true;
        default:
            return true;
    }
}

bool Connection::pumpNetEvents() {
    fePump();
    SDL_Event events[kMaxEventsPerPump];
    const int count = SDL_PeepEvents(events, kMaxEventsPerPump, SDL_GETEVENT, SDL_EVENTMASK(SDL_USEREVENT));
    bool result = true;
    for (int i = 0; i < count; ++i) {
        result = handleEvent(events[i]);
    }
    return result;
}

bool Connection::nextMessage(ReceivedMessage& message) const {
    if (messages.empty()) {
        return false;
    }
    message = messages.front();
    return true;
}

void Connection::dropMessage() {
    if (!messages.empty()) {
        messages.pop_front();
    }
}
