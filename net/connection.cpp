#include "net/connection.h"

#include <SDL_net.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/text.h"
#include "net/fe.h"
#include "net/net2.h"

namespace {

// SDL's queue holds at most this many events.
constexpr int kMaxEventsPerPump = 127;

const char* const kPartialLine = "\nERROR: Only recieved part of a message. Partial message loss!\n";
const char* const kLostLine = "\nERROR: Failed to receive the length of a message. Lost message.\n";

// Connections that have networking started; the first starts it, the last stops it.
int networkingUsers = 0;

bool startServices(const Clock& clock) {
    if (SDLNet_Init() == -1) {
        std::fprintf(stderr, "SDLNET failed to init\n");
        return false;
    }
    if (feStart() == -1) {
        std::fprintf(stderr, "FE Failed to init\n");
        feStop();
        SDLNet_Quit();
        return false;
    }
    if (net2Start(clock) == -1) {
        std::fprintf(stderr, "NET2 failed to init\n");
        feStop();
        SDLNet_Quit();
        return false;
    }
    return true;
}

}  // namespace

Connection::Connection(const Clock& clock, int32_t port, const std::string& host)
    : clock(clock), currentPort(port), currentHost(host), diagnostics(clock) {}

Connection::~Connection() { stopNetworking(); }

bool Connection::startNetworking() {
    if (networking) {
        return true;
    }
    SDL_Init(SDL_INIT_NOPARACHUTE);
    if (networkingUsers == 0 && !startServices(clock)) {
        return false;
    }
    ++networkingUsers;
    networking = true;
    return true;
}

void Connection::stopNetworking() {
    if (!networking) {
        return;
    }
    disconnect();
    networking = false;
    if (--networkingUsers > 0) {
        return;
    }
    net2Stop();
    feStop();
    SDLNet_Quit();
}

void Connection::limitPeers(int maxPeers, bool loopbackOnlyPeers) {
    peerLimit = maxPeers;
    loopbackOnly = loopbackOnlyPeers;
}

bool Connection::startServer(int32_t port) {
    if (port != -1) {
        currentPort = port;
    }
    if (server && listener >= 0 && listeningPort == currentPort) {
        return true;  // already listening there, with its peers
    }
    const int opened = net2ListenTcp(currentPort);  // -1 also when networking is not running
    if (opened == -1) {
        std::fprintf(stderr, "Create server on port (%d) failed\n", currentPort);
        return false;
    }
    if (opened != listener) {
        closeAll();
    }
    listener = opened;
    listeningPort = currentPort;
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
    disconnect();
    connecting = net2ConnectTcp(currentHost.c_str(), currentPort);
    if (connecting == -1) {
        std::fprintf(stderr, "Connect To (%s, %d) failed\n", currentHost.c_str(), currentPort);
        return false;
    }
    return true;
}

void Connection::closeAll() {
    if (listener >= 0) {
        net2CloseTcp(listener);
    }
    if (connecting >= 0) {
        net2CloseTcp(connecting);
    }
    for (int32_t socket : sockets) {
        net2CloseTcp(socket);
    }
    listener = -1;
    listeningPort = -1;
    connecting = -1;
    sockets.clear();
    readers.clear();
    unread.clear();
}

void Connection::disconnect() {
    closeAll();
    server = false;
    client = false;
}

bool Connection::isPeer(int32_t socket) const {
    return std::find(sockets.begin(), sockets.end(), socket) != sockets.end();
}

uint32_t Connection::silentMs(int32_t socket) const {
    const auto heard = heardAt.find(socket);
    return heard == heardAt.end() ? 0 : clock.now() - heard->second;
}

void Connection::giveUp(int32_t socket, const std::string& reason) {
    if (isPeer(socket)) {
        dropPeer(socket, reason);
    }
}

std::string Connection::peerAddress(int32_t socket) const {
    IPaddress* peer = net2PeerOf(socket);
    if (!peer) {
        return "";
    }
    const uint32_t host = SDLNet_Read32(&peer->host);
    return toText(host >> 24) + "." + toText((host >> 16) & 255u) + "." + toText((host >> 8) & 255u) + "." +
           toText(host & 255u);
}

std::string Connection::peerName(int32_t socket) const {
    IPaddress* peer = net2PeerOf(socket);
    if (!peer) {
        return "socket " + toText(socket);
    }
    return peerAddress(socket) + ":" + toText(static_cast<uint32_t>(SDLNet_Read16(&peer->port))) + " (socket " +
           toText(socket) + ")";
}

void Connection::dropPeer(int32_t socket, const std::string& reason) {
    if (socket == connecting) {
        connecting = -1;
    }
    diagnostics.print(DiagnosticLines::PeerDropped, "Dropped peer " + peerName(socket) + ": " + reason + "\n");
    messages.remove_if([socket](const ReceivedMessage& message) { return message.socket == socket; });
    waiting.erase(socket);
    forget(socket);
    net2CloseTcp(socket);
}

bool Connection::send(const std::string& text, int32_t target, bool exceptTarget) {
    const std::string shown = toText(static_cast<int32_t>(text.size() + 1)) + "~" + text;
    std::string frame = shown;
    frame.push_back('\0');
    bool lastSent = false;
    auto sendTo = [&](int32_t socket) {
        lastSent = net2SendTcp(socket, frame.data(), static_cast<int>(frame.size())) != -1;
        if (lastSent) {
            bytesSent += frame.size();
            return;
        }
        const int waitingBytes = net2QueuedTcp(socket);
        if (waitingBytes + static_cast<int>(frame.size()) > kNet2SendQueueLimit) {
            dropPeer(socket, "it stopped taking its data (" + toText(waitingBytes) + " bytes waiting)");
        } else {
            diagnostics.print(DiagnosticLines::SendFailed,
                              "\nERROR: Message could not be sent (" + DiagnosticLines::shortened(shown) + ")\n");
        }
    };
    std::vector<int32_t> targets = sockets;
    if (connecting >= 0) {
        targets.push_back(connecting);  // sent once the connect completes
    }
    for (int32_t socket : targets) {
        const bool chosen = target == -1 || (exceptTarget ? socket != target : socket == target);
        if (chosen) {
            sendTo(socket);
        }
    }
    return lastSent;
}

void Connection::queue(int32_t socket, const std::string& text, bool damaged) {
    Waiting& share = waiting[socket];
    if (share.messages + 1 > kMaxQueuedPerPeer || share.bytes + text.size() > kMaxQueuedBytesPerPeer) {
        dropPeer(socket, "it sent more than the game can take (" + toText(static_cast<int32_t>(share.messages)) +
                             " messages waiting)");
        return;
    }
    ++share.messages;
    share.bytes += text.size();
    ReceivedMessage message;
    message.socket = socket;
    message.text = text;
    message.damaged = damaged;
    messages.push_back(message);
}

int Connection::receiveFrame(std::string& text, int32_t socket) {
    FrameReader& reader = readers[socket];
    FrameReader::Status status = reader.next(text);
    if (status == FrameReader::NoMessage) {
        char chunk[kNet2TcpBufferSize];
        const int count = net2ReadTcp(socket, chunk, static_cast<int>(sizeof(chunk)));
        roundBytes += std::max(count, 0);
        if (count > 0) {
            bytesReceived += static_cast<uint64_t>(count);
            heardAt[socket] = clock.now();
            reader.addReceived(chunk, static_cast<size_t>(count));
            status = reader.next(text);
        }
    }
    if (status == FrameReader::Partial) {
        diagnostics.print(DiagnosticLines::PartialMessage, kPartialLine);
    } else if (status == FrameReader::LostLength) {
        diagnostics.print(DiagnosticLines::LostLength, kLostLine);
    } else if (status == FrameReader::NoMessage && reader.idle()) {
        readers.erase(socket);
    }
    return status;
}

// One read takes all NET2 holds for the socket, so its next receive event comes
// when new bytes land. A peer is read again only while the round has room.
void Connection::receiveSome(int32_t socket) {
    if (roundBytes >= kReceiveBytesPerRound) {
        unread.insert(socket);
        return;
    }
    unread.erase(socket);
    takeMessages(socket);
}

void Connection::takeMessages(int32_t socket) {
    std::string text;
    for (int status = receiveFrame(text, socket); status != FrameReader::NoMessage && isPeer(socket);) {
        queue(socket, text, status != FrameReader::Complete);
        const auto reader = readers.find(socket);
        status = reader == readers.end() ? FrameReader::NoMessage : reader->second.next(text);
        if (status == FrameReader::Partial) {
            diagnostics.print(DiagnosticLines::PartialMessage, kPartialLine);
        } else if (status == FrameReader::LostLength) {
            diagnostics.print(DiagnosticLines::LostLength, kLostLine);
        }
    }
    const auto reader = readers.find(socket);
    if (reader != readers.end() && reader->second.idle()) {
        readers.erase(reader);
    }
}

void Connection::receivePending() {
    diagnostics.flush();
    roundBytes = 0;
    const std::set<int32_t> pending = unread;
    for (int32_t socket : pending) {
        receiveSome(socket);
    }
}

// A stream whose listener has closed belongs to nobody and is closed by whoever
// sees it; one from another Connection's listener is left to that Connection.
void Connection::accept(int32_t socket) {
    const int32_t from = net2ListenerOf(socket);
    if (listener < 0 || from != listener) {
        if (from < 0) {
            net2CloseTcp(socket);
        }
        return;
    }
    if (isPeer(socket)) {
        return;
    }
    const std::string refusal = refusalOf(socket);
    if (!refusal.empty()) {
        diagnostics.print(DiagnosticLines::PeerRefused, "Refused peer " + peerName(socket) + ": " + refusal + "\n");
        net2CloseTcp(socket);
        return;
    }
    sockets.push_back(socket);
    heardAt[socket] = clock.now();
}

std::string Connection::refusalOf(int32_t socket) const {
    if (peerLimit >= 0 && peerCount() >= peerLimit) {
        return "this game takes " + toText(peerLimit) + (peerLimit == 1 ? " peer" : " peers");
    }
    const IPaddress* peer = net2PeerOf(socket);
    IPaddress address = peer ? *peer : IPaddress{};
    if (loopbackOnly && SDLNet_Read32(&address.host) != INADDR_LOOPBACK) {
        return "this game takes peers on this machine only";
    }
    return "";
}

void Connection::connected(int32_t socket) {
    connecting = -1;
    sockets.push_back(socket);
    heardAt[socket] = clock.now();
    client = true;
    server = false;
}

void Connection::forget(int32_t socket) {
    const auto found = std::find(sockets.begin(), sockets.end(), socket);
    if (found != sockets.end()) {
        sockets.erase(found);
    }
    readers.erase(socket);
    unread.erase(socket);
    heardAt.erase(socket);
    const auto share = waiting.find(socket);
    if (share != waiting.end() && share->second.messages == 0) {
        waiting.erase(share);
    }
}

void Connection::closePeer(int32_t socket) {
    takeMessages(socket);  // what arrived before the close
    const auto reader = readers.find(socket);
    if (reader != readers.end()) {
        std::string text;
        if (reader->second.finish(text) == FrameReader::Partial) {
            diagnostics.print(DiagnosticLines::PartialMessage, kPartialLine);
            queue(socket, text, true);
        }
    }
    forget(socket);
    net2CloseTcp(socket);
}

void Connection::closed(int32_t socket) {
    if (socket == connecting) {
        std::fprintf(stderr, "Connect To (%s, %d) failed\n", currentHost.c_str(), currentPort);
        net2CloseTcp(socket);
        connecting = -1;
        server = false;
        client = false;
    } else if (isPeer(socket)) {
        closePeer(socket);
    }
}

// Errors about another Connection's sockets are left to it; those about a socket
// that is gone may concern anyone.
bool Connection::concerns(int32_t socket) const {
    return socket == listener || socket == connecting || isPeer(socket) || !net2IsOpen(socket);
}

bool Connection::reportError(int32_t socket, const char* text) {
    if (!concerns(socket)) {
        return true;
    }
    const bool layout = text && std::strcmp(text, kNet2UnknownLayout) == 0;
    if (!layout || !layoutReported) {
        diagnostics.print(DiagnosticLines::NetworkError,
                          "Error: " + std::string(text ? text : "") + "(" + toText(socket) + ")\n");
    }
    layoutReported = layoutReported || layout;
    return false;
}

bool Connection::handleEvent(const SDL_Event& event) {
    diagnostics.flush();
    if (event.type != SDL_USEREVENT) {
        return true;
    }
    const int32_t socket = net2EventSocket(event);
    switch (net2EventKind(event)) {
        case NET2_ERROREVENT: return reportError(socket, net2EventText(event));
        case NET2_ACCEPTEVENT: accept(socket); return true;
        case NET2_CONNECTEVENT:
            if (socket == connecting) {
                connected(socket);
            }
            return true;
        case NET2_TCPRECEIVEEVENT:
            if (socket == connecting) {
                connected(socket);  // bytes from the host: its connect event went elsewhere
            }
            if (isPeer(socket)) {
                receiveSome(socket);
            }
            return true;
        case NET2_TCPCLOSEEVENT: closed(socket); return true;
        default: return true;
    }
}

bool Connection::pumpNetEvents() {
    receivePending();
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
    if (messages.empty()) {
        return;
    }
    const int32_t socket = messages.front().socket;
    const auto share = waiting.find(socket);
    if (share != waiting.end()) {
        share->second.messages -= std::min<size_t>(share->second.messages, 1);
        share->second.bytes -= std::min(share->second.bytes, messages.front().text.size());
        if (share->second.messages == 0 && !isPeer(socket)) {
            waiting.erase(share);  // ids are not reused: a peer that left is done with
        }
    }
    messages.pop_front();
}
