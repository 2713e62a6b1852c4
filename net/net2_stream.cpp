// NET2's TCP half: listeners and accepts, receiving into each stream's buffer,
// and the send queues, written straight to the system socket without waiting.

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cstring>
#include <utility>

#include "net/net2_internal.h"

namespace net2 {

namespace {

bool sameAddress(const IPaddress* reported, const sockaddr_in& actual) {
    return reported && reported->host == actual.sin_addr.s_addr && reported->port == actual.sin_port;
}

// A listener on the port that is closing but not closed yet is kept instead:
// the port cannot be taken again until the network thread has let it go.
int reopenClosingListener(int port) {
    for (int slot = 0; slot < slotCount; ++slot) {
        SocketRecord* record = table[slot];
        if (record->kind == TcpListener && record->state == DeletePending && record->param == uint32_t(port)) {
            record->state = record->watched ? Active : AddPending;
            return idOf(slot);
        }
    }
    return -1;
}

int openListener(IPaddress* address) {
    const int id = allocateSlot(TcpListener);
    if (id < 0) {
        lastError = "NET2: out of memory";
        return -1;
    }
    SocketRecord* record = recordAt(id);
    lockNet();
    record->tcp = SDLNet_TCP_Open(address);
    unlockNet();
    if (!record->tcp) {
        lastError = "NET2: can't open a socket";
        freeSlot(record);
        return -1;
    }
    record->param = address->port;
    record->state = AddPending;
    return id;
}

}  // namespace

void closeLater(SocketRecord* record) {
    record->state = Closed;
    record->closeToRaise = true;
    SDL_CondSignal(roomCond);
}

// Small messages go out at once instead of waiting for the previous one's
// acknowledgement: a game's messages are all small and all urgent.
void sendAtOnce(int descriptor) {
    const int on = 1;
    setsockopt(descriptor, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// SDL_net's TCP handle starts with its ready flag and then the system socket.
bool takeDescriptor(SocketRecord* record) {
    struct Head {
        int ready;
        int channel;
    };
    if (!layoutKnown() || !record->tcp) {
        return false;
    }
    const int descriptor = reinterpret_cast<const Head*>(record->tcp)->channel;
    int type = 0;
    socklen_t typeSize = sizeof(type);
    sockaddr_in peer{};
    socklen_t peerSize = sizeof(peer);
    if (descriptor < 0 || getsockopt(descriptor, SOL_SOCKET, SO_TYPE, &type, &typeSize) != 0 || type != SOCK_STREAM ||
        getpeername(descriptor, reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0 || peer.sin_family != AF_INET) {
        return false;
    }
    lockNet();
    const bool same = sameAddress(SDLNet_TCP_GetPeerAddress(record->tcp), peer);
    unlockNet();
    record->descriptor = same ? descriptor : -1;
    if (same) {
        sendAtOnce(descriptor);
    }
    return same;
}

void acceptPeer(int id, SocketRecord* listener) {
    lockNet();
    TCPsocket accepted = SDLNet_TCP_Accept(listener->tcp);
    unlockNet();
    if (!accepted) {
        return;
    }
    const int stream = openSocketCount() >= kNet2AcceptLimit ? -1 : allocateSlot(TcpStream);
    SocketRecord* record = recordAt(stream);
    const char* refusal = nullptr;
    if (!record) {
        refusal = "NET2: a TCP accept failed";
    } else {
        record->tcp = accepted;
        refusal = takeDescriptor(record) ? nullptr : kNet2UnknownLayout;
    }
    if (refusal) {
        lockNet();
        SDLNet_TCP_Close(accepted);
        unlockNet();
        if (record) {
            record->tcp = nullptr;
            freeSlot(record);
        }
        raiseError(id, refusal);
        return;
    }
    record->listener = id;
    record->state = AddPending;
    raiseEvent(NET2_ACCEPTEVENT, stream, asData(listener->param));
}

void receiveTcp(int id, SocketRecord* record) {
    TcpBody& buffer = record->stream;
    if (buffer.buffered >= kNet2TcpBufferSize) {
        waitForRoom = true;
        return;
    }
    lockNet();
    const int received =
        SDLNet_TCP_Recv(record->tcp, buffer.bytes + buffer.buffered, kNet2TcpBufferSize - buffer.buffered);
    unlockNet();
    if (received <= 0) {
        raiseClose(id, record);
        return;
    }
    const bool wasEmpty = buffer.buffered == 0;
    buffer.buffered += received;
    if (wasEmpty) {
        raiseEvent(NET2_TCPRECEIVEEVENT, id, asData(-1));
    }
}

void sendQueued(int id, SocketRecord* record) {
    if (!record->outgoing.writeTo(record->descriptor)) {
        raiseClose(id, record);
    }
}

}  // namespace net2

using namespace net2;

int net2ListenTcp(int port) {
    if (refuseWhenStopped()) {
        return -1;
    }
    lockData();
    IPaddress address;
    int id = reopenClosingListener(port);
    if (id >= 0) {
        // kept as it was
    } else if (net2LookupHost(&address, nullptr, port) == -1) {
        lastError = "NET2: can't resolve that host name or address";
    } else {
        id = openListener(&address);
        if (id >= 0) {
            recordAt(id)->param = static_cast<uint32_t>(port);
        }
    }
    unlockData();
    return id;
}

int net2ListenTcpAt(IPaddress* address) {
    if (refuseWhenStopped()) {
        return -1;
    }
    lockData();
    const int id = openListener(address);
    unlockData();
    return id;
}

int net2SendTcp(int socket, const void* bytes, int length) {
    if (refuseWhenStopped()) {
        return -1;
    }
    // Copied before the lock is taken: under it, the queue only takes the piece.
    std::string piece(length > 0 ? static_cast<const char*>(bytes) : "", static_cast<size_t>(length > 0 ? length : 0));
    lockData();
    int result = -1;
    SocketRecord* record = recordAt(socket);
    if (!record || record->kind != TcpStream || (record->state & (Active | AddPending | Connecting)) == 0) {
        lastError = "NET2: you can't do a TCP send on that socket";
    } else if (length < 1) {
        result = 0;
    } else if (record->outgoing.waiting() + piece.size() > static_cast<size_t>(kNet2SendQueueLimit)) {
        lastError = "NET2: the peer is not taking its data, expect a close event";
        closeLater(record);
    } else {
        record->outgoing.push(std::move(piece));
        if (record->state == Connecting || record->outgoing.writeTo(record->descriptor)) {
            result = length;
        } else {
            lastError = "NET2: can't send TCP data, expect a close event";
            closeLater(record);
        }
    }
    unlockData();
    return result;
}

namespace {

// One stream's figure, read under the data lock; 0 for anything else.
template <typename Read>
int streamFigure(int socket, Read read) {
    if (!started) {
        return 0;
    }
    lockData();
    const SocketRecord* record = recordAt(socket);
    const size_t figure = record && record->kind == TcpStream ? read(*record) : 0;
    unlockData();
    return static_cast<int>(figure);
}

}  // namespace

int net2QueuedTcp(int socket) {
    return streamFigure(socket, [](const SocketRecord& record) { return record.outgoing.waiting(); });
}

int net2HeldTcp(int socket) {
    return streamFigure(socket, [](const SocketRecord& record) { return record.outgoing.held(); });
}

int net2BufferedTcp(int socket) {
    return streamFigure(socket, [](const SocketRecord& record) { return record.stream.buffered; });
}

int net2ReadTcp(int socket, void* destination, int capacity) {
    if (!started) {
        return 0;
    }
    lockData();
    int copied = 0;
    SocketRecord* record = recordAt(socket);
    if (capacity >= 1 && record && record->kind == TcpStream) {
        TcpBody& buffer = record->stream;
        copied = capacity < buffer.buffered ? capacity : buffer.buffered;
        std::memcpy(destination, buffer.bytes, static_cast<size_t>(copied));
        std::memmove(buffer.bytes, buffer.bytes + copied, static_cast<size_t>(buffer.buffered - copied));
        buffer.buffered -= copied;
    }
    wakeForRoom();
    unlockData();
    return copied;
}

void net2CloseTcp(int socket) {
    if (!started) {
        return;
    }
    lockData();
    SocketRecord* record = recordAt(socket);
    if (record && (record->kind == TcpListener || record->kind == TcpStream)) {
        record->state = DeletePending;
        wakeForRoom();
    }
    unlockData();
}

IPaddress* net2PeerOf(int socket) {
    if (!started) {
        return nullptr;
    }
    lockData();
    IPaddress* peer = nullptr;
    SocketRecord* record = recordAt(socket);
    if (record && record->kind == TcpStream && record->tcp) {
        lockNet();
        peer = SDLNet_TCP_GetPeerAddress(record->tcp);
        unlockNet();
    }
    unlockData();
    return peer;
}

bool net2IsOpen(int socket) {
    if (!started) {
        return false;
    }
    lockData();
    const SocketRecord* record = recordAt(socket);
    const bool open = record && record->state != DeletePending;
    unlockData();
    return open;
}

int net2ListenerOf(int stream) {
    if (!started) {
        return -1;
    }
    lockData();
    const SocketRecord* record = recordAt(stream);
    const SocketRecord* listener = record && record->kind == TcpStream ? recordAt(record->listener) : nullptr;
    const bool open = listener && listener->kind == TcpListener && listener->state != DeletePending;
    const int id = open ? record->listener : -1;
    unlockData();
    return id;
}
