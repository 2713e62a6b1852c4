#include "net/net2.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "net/fe.h"

namespace {

enum Kind : uint8_t { Unused = 0, TcpListener = 1, TcpStream = 2, Udp = 3 };
enum State : uint8_t { Free = 1, Active = 2, Closed = 4, AddPending = 8, DeletePending = 16 };

struct TcpBody {
    int32_t buffered;
    uint8_t bytes[kNet2TcpBufferSize];
};

struct UdpBody {
    int count;
    int head;  // next to take
    int tail;  // next to fill
    UDPpacket* packets[kNet2UdpQueueSize];
};

// One per slot, allocated on first use and reused until the service stops.
struct SocketRecord {
    uint8_t kind = Unused;
    uint8_t state = Free;
    uint32_t param = 0;  // listener: its port; Udp: receive packet size
    TCPsocket tcp = nullptr;
    UDPsocket udp = nullptr;
    bool watched = false;       // in the socket set
    bool closeToRaise = false;  // a failed send's close event, still to be posted
    union {
        TcpBody stream;
        UdpBody datagrams;
    };
};

SocketRecord* table[kNet2MaxSockets];
int slotCount = 0;
int cursor = 0;
SDLNet_SocketSet socketSet = nullptr;
UDPsocket udpSendSocket = nullptr;

SDL_mutex* dataLock = nullptr;
std::atomic<int> dataHeld{0};
SDL_mutex* netLock = nullptr;
SDL_cond* roomCond = nullptr;
bool waitForRoom = false;  // data lock
int closesToRaise = 0;     // data lock

std::atomic<bool> stopRequested{false};
std::atomic<bool> threadDone{false};
bool started = false;
SDL_Thread* thread = nullptr;
std::atomic<const char*> lastError{nullptr};

void lockData() {
    if (SDL_mutexP(dataLock) == -1) {
        lastError = "NET2: can't lock Data mutex";
    }
    dataHeld = 1;
}

void unlockData() {
    dataHeld = 0;
    if (SDL_mutexV(dataLock) == -1) {
        lastError = "NET2: can't unlock Data mutex";
    }
}

void lockNet() {
    if (SDL_mutexP(netLock) == -1) {
        lastError = "NET2: can't lock SDLNet mutex";
    }
}

void unlockNet() {
    if (SDL_mutexV(netLock) == -1) {
        lastError = "NET2: can't unlock SDLNet mutex";
    }
}

void* asData(intptr_t value) { return reinterpret_cast<void*>(value); }

// Posts an event with the data lock released around the (possibly waiting) push.
void raise(int code, int socket, void* data2) {
    if (dataHeld == 0) {
        std::exit(1);
    }
    SDL_Event event;
    std::memset(&event, 0, sizeof(event));
    event.type = SDL_USEREVENT;
    event.user.code = code;
    event.user.data1 = asData(socket);
    event.user.data2 = data2;
    unlockData();
    fePush(&event);
    lockData();
}

void raiseError(int socket, const char* message) {
    raise(NET2_ERROREVENT, socket, const_cast<char*>(message));
}

// Readers made room (or a socket went away): let the thread go on.
void wakeForRoom() {
    waitForRoom = false;
    SDL_CondSignal(roomCond);
}

SocketRecord* recordAt(int socket) {
    if (socket < 0 || socket >= slotCount) {
        return nullptr;
    }
    return table[socket];
}

int allocateSlot(uint8_t kind) {
    int index = -1;
    for (int examined = 0; index < 0; ++examined) {
        if (examined >= slotCount) {
            if (slotCount >= kNet2MaxSockets) {
                return -1;
            }
            SocketRecord* record = new (std::nothrow) SocketRecord;
            if (!record) {
                return -1;
            }
            table[slotCount] = record;
            index = slotCount++;
        } else if (table[cursor]->kind == Unused) {
            index = cursor;
        } else {
            cursor = (cursor + 1) % slotCount;
        }
    }
    SocketRecord* record = table[index];
    if (kind == TcpStream) {
        record->stream.buffered = 0;
    } else if (kind == Udp) {
        record->datagrams.count = 0;
        record->datagrams.head = 0;
        record->datagrams.tail = 0;
    }
    record->kind = kind;
    record->state = Free;
    record->tcp = nullptr;
    record->udp = nullptr;
    record->watched = false;
    record->closeToRaise = false;
    return index;
}

void freeQueuedPackets(SocketRecord* record) {
    UdpBody& queue = record->datagrams;
    lockNet();
    while (queue.count > 0) {
        SDLNet_FreePacket(queue.packets[queue.head]);
        queue.head = (queue.head + 1) % kNet2UdpQueueSize;
        --queue.count;
    }
    unlockNet();
}

void freeSlot(SocketRecord* record) {
    if (record->kind == Udp) {
        freeQueuedPackets(record);
    }
    if (record->closeToRaise) {
        --closesToRaise;
    }
    record->kind = Unused;
    record->state = Free;
    record->tcp = nullptr;
    record->udp = nullptr;
    record->watched = false;
    record->closeToRaise = false;
}

// Sockets on their way out are not counted: the thread closes them this pass.
int openSocketCount() {
    int open = 0;
    for (int i = 0; i < slotCount; ++i) {
        open += table[i]->kind != Unused && table[i]->state != DeletePending ? 1 : 0;
    }
    return open;
}

SDLNet_GenericSocket genericOf(const SocketRecord* record) {
    if (record->kind == Udp) {
        return reinterpret_cast<SDLNet_GenericSocket>(record->udp);
    }
    return reinterpret_cast<SDLNet_GenericSocket>(record->tcp);
}

bool isReady(const SocketRecord* record) {
    const SDLNet_GenericSocket handle = genericOf(record);
    if (!handle) {
        return false;
    }
    lockNet();
    const bool ready = SDLNet_SocketReady(handle);
    unlockNet();
    return ready;
}

// Takes a socket out of the set; a closed stream would otherwise stay readable
// and keep the check returning at once.
int unwatch(SocketRecord* record) {
    if (!record->watched) {
        return 0;
    }
    record->watched = false;
    lockNet();
    const int result = SDLNet_DelSocket(socketSet, genericOf(record));
    unlockNet();
    return result;
}

int openTcp(IPaddress* address, uint8_t kind) {
    const int index = allocateSlot(kind);
    if (index < 0) {
        lastError = "NET2: out of memory";
        return -1;
    }
    SocketRecord* record = table[index];
    lockNet();
    record->tcp = SDLNet_TCP_Open(address);
    unlockNet();
    if (!record->tcp) {
        lastError = "NET2: can't open a socket";
        freeSlot(record);
        return -1;
    }
    if (kind == TcpListener) {
        record->param = address->port;
    }
    record->state = AddPending;
    return index;
}

// --- network thread -------------------------------------------------------

void addToSet(int index, SocketRecord* record) {
    if (record->kind == Unused) {
        raiseError(index, "NET2: trying to add an unused socket");
        return;
    }
    if (record->kind != TcpListener && record->kind != TcpStream && record->kind != Udp) {
        raiseError(index, "NET2: invalid socket type, this should never happen");
        return;
    }
    int added = -1;
    if (socketSet) {
        lockNet();
        added = SDLNet_AddSocket(socketSet, genericOf(record));
        unlockNet();
    }
    if (added == -1) {
        record->state = DeletePending;
        raiseError(index, record->kind == Udp ? "NET2: can't add a UDP socket to the socket set"
                                              : "NET2: can't add a TCP socket to the socket set");
        return;
    }
    record->watched = true;
    record->state = Active;
}

void removeAndFree(int index, SocketRecord* record) {
    if (record->kind == Unused) {
        raiseError(index, "NET2: trying to delete an unused socket");
        return;
    }
    if (record->kind != TcpListener && record->kind != TcpStream && record->kind != Udp) {
        raiseError(index, "NET2: invalid socket type, this should never happen");
        return;
    }
    const bool udp = record->kind == Udp;
    const int removed = unwatch(record);
    lockNet();
    if (udp) {
        SDLNet_UDP_Close(record->udp);
    } else {
        SDLNet_TCP_Close(record->tcp);
    }
    unlockNet();
    freeSlot(record);
    if (removed == -1) {
        raiseError(index, udp ? "NET2: can't delete a UDP socket from the socket set"
                              : "NET2: can't delete a TCP socket from the socket set");
    }
}

void acceptPeer(int index, SocketRecord* listener) {
    lockNet();
    TCPsocket accepted = SDLNet_TCP_Accept(listener->tcp);
    unlockNet();
    if (!accepted) {
        return;
    }
    const int stream = openSocketCount() >= kNet2AcceptLimit ? -1 : allocateSlot(TcpStream);
    if (stream < 0) {
        lockNet();
        SDLNet_TCP_Close(accepted);
        unlockNet();
        raiseError(index, "NET2: a TCP accept failed");
        return;
    }
    table[stream]->tcp = accepted;
    table[stream]->state = AddPending;
    raise(NET2_ACCEPTEVENT, stream, asData(listener->param));
}

void receiveTcp(int index, SocketRecord* record) {
    TcpBody& buffer = record->stream;
    if (buffer.buffered >= kNet2TcpBufferSize) {
        waitForRoom = true;
        return;
    }
    lockNet();
    const int received = SDLNet_TCP_Recv(record->tcp, buffer.bytes + buffer.buffered,
                                         kNet2TcpBufferSize - buffer.buffered);
    unlockNet();
    if (received <= 0) {
        record->state = Closed;
        unwatch(record);
        raise(NET2_TCPCLOSEEVENT, index, asData(-1));
        return;
    }
    const bool wasEmpty = buffer.buffered == 0;
    buffer.buffered += received;
    if (wasEmpty) {
        raise(NET2_TCPRECEIVEEVENT, index, asData(-1));
    }
}

void receiveUdp(int index, SocketRecord* record) {
    UdpBody& queue = record->datagrams;
    if (queue.count >= kNet2UdpQueueSize) {
        waitForRoom = true;
        return;
    }
    bool outOfMemory = false;
    UDPpacket* unused = nullptr;
    while (queue.count < kNet2UdpQueueSize && record->state == Active) {
        lockNet();
        UDPpacket* packet = SDLNet_AllocPacket(static_cast<int>(record->param));
        const int got = packet ? SDLNet_UDP_Recv(record->udp, packet) : 0;
        unlockNet();
        if (!packet) {
            outOfMemory = true;
            break;
        }
        if (got != 1) {
            unused = packet;
            break;
        }
        const bool wasEmpty = queue.count == 0;
        queue.packets[queue.tail] = packet;
        queue.tail = (queue.tail + 1) % kNet2UdpQueueSize;
        ++queue.count;
        if (wasEmpty) {
            raise(NET2_UDPRECEIVEEVENT, index, asData(-1));
        }
    }
    if (unused) {
        net2ReleasePacket(unused);
    }
    if (outOfMemory && queue.count < kNet2UdpQueueSize) {
        raiseError(index, "NET2: out of memory");
    }
}

void serviceSlot(int index) {
    SocketRecord* record = table[index];
    if (record->state == AddPending) {
        addToSet(index, record);
    } else if (record->state == DeletePending) {
        removeAndFree(index, record);
    } else if (record->closeToRaise) {
        record->closeToRaise = false;
        --closesToRaise;
        unwatch(record);
        raise(NET2_TCPCLOSEEVENT, index, asData(-1));
    } else if (record->kind == TcpListener && isReady(record)) {
        acceptPeer(index, record);
    } else if (record->kind == TcpStream && record->state == Active && isReady(record)) {
        receiveTcp(index, record);
    } else if (record->kind == Udp && record->state == Active && isReady(record)) {
        receiveUdp(index, record);
    }
}

int networkThread(void*) {
    while (!stopRequested) {
        const int checked = socketSet ? SDLNet_CheckSockets(socketSet, 10) : 0;
        if (!socketSet || checked == -1) {
            if (checked == -1) {
                lastError = "NET2: the CheckSockets call failed";
            }
            SDL_Delay(10);  // never spin on a check that cannot wait
        }
        lockData();
        while (!stopRequested && waitForRoom && closesToRaise == 0) {
            SDL_CondWait(roomCond, dataLock);
            dataHeld = 1;
        }
        for (int i = 0; i < slotCount && !stopRequested; ++i) {
            serviceSlot(i);
        }
        unlockData();
    }
    threadDone = true;
    return 0;
}

void discardPendingEvents() {
    SDL_Event event;
    while (fePoll(&event) > 0) {
    }
}

void releaseEverything() {
    for (int i = 0; i < slotCount; ++i) {
        SocketRecord* record = table[i];
        if (record->kind == Udp) {
            freeQueuedPackets(record);
        }
        if (record->tcp) {
            SDLNet_TCP_Close(record->tcp);
        }
        if (record->udp) {
            SDLNet_UDP_Close(record->udp);
        }
        delete record;
        table[i] = nullptr;
    }
    slotCount = 0;
    cursor = 0;
    closesToRaise = 0;
    waitForRoom = false;
    if (socketSet) {
        SDLNet_FreeSocketSet(socketSet);
        socketSet = nullptr;
    }
    if (udpSendSocket) {
        SDLNet_UDP_Close(udpSendSocket);
        udpSendSocket = nullptr;
    }
    if (roomCond) {
        SDL_DestroyCond(roomCond);
        roomCond = nullptr;
    }
    if (netLock) {
        SDL_DestroyMutex(netLock);
        netLock = nullptr;
    }
    if (dataLock) {
        SDL_DestroyMutex(dataLock);
        dataLock = nullptr;
    }
}

int failStart(const char* message) {
    releaseEverything();
    lastError = message;
    return -1;
}

}  // namespace

int net2Start() {
    if (started) {
        return 0;
    }
    lastError = nullptr;
    stopRequested = false;
    threadDone = false;
    dataLock = SDL_CreateMutex();
    netLock = SDL_CreateMutex();
    if (!dataLock || !netLock) {
        return failStart("NET2: can't create a mutex");
    }
    roomCond = SDL_CreateCond();
    if (!roomCond) {
        return failStart("NET2: can't create a condition variable");
    }
    slotCount = 0;
    cursor = 0;
    for (SocketRecord*& slot : table) {
        slot = nullptr;
    }
    socketSet = SDLNet_AllocSocketSet(kNet2MaxSockets);
    if (!socketSet) {
        lastError = "NET2: out of memory";
    }
    udpSendSocket = SDLNet_UDP_Open(0);
    if (!udpSendSocket) {
        return failStart("NET2: can't open the UDP send socket");
    }
    thread = SDL_CreateThread(networkThread, nullptr);
    if (!thread) {
        return failStart("NET2: can't start the network thread");
    }
    started = true;
    return 0;
}

void net2Stop() {
    if (!started) {
        return;
    }
    stopRequested = true;
    // The thread may be waiting to post into a full queue or for room in a buffer.
    while (!threadDone) {
        discardPendingEvents();
        lockData();
        wakeForRoom();
        unlockData();
        SDL_Delay(1);
    }
    SDL_WaitThread(thread, nullptr);
    thread = nullptr;
    discardPendingEvents();
    releaseEverything();
    lastError = nullptr;
    started = false;
}

const char* net2LastError() { return lastError; }

int net2LookupHost(IPaddress* address, const char* host, int port) {
    lockNet();
    const int result = SDLNet_ResolveHost(address, host, static_cast<Uint16>(port));
    unlockNet();
    return result;
}

int net2ListenTcp(int port) {
    lockData();
    IPaddress address;
    int index = -1;
    if (net2LookupHost(&address, nullptr, port) == -1) {
        lastError = "NET2: can't resolve that host name or address";
    } else {
        index = openTcp(&address, TcpListener);
        if (index >= 0) {
            table[index]->param = static_cast<uint32_t>(port);
        }
    }
    unlockData();
    return index;
}

int net2ListenTcpAt(IPaddress* address) {
    lockData();
    const int index = openTcp(address, TcpListener);
    unlockData();
    return index;
}

int net2ConnectTcp(const char* host, int port) {
    lockData();
    IPaddress address;
    int index = -1;
    if (net2LookupHost(&address, host, port) == -1) {
        lastError = "NET2: can't find that host name or address";
    } else {
        index = openTcp(&address, TcpStream);
    }
    unlockData();
    return index;
}

int net2ConnectTcpTo(IPaddress* address) {
    lockData();
    const int index = openTcp(address, TcpStream);
    unlockData();
    return index;
}

int net2SendTcp(int socket, const void* bytes, int length) {
    lockData();
    int result = -1;
    SocketRecord* record = recordAt(socket);
    if (!record || record->kind != TcpStream || (record->state & (Active | AddPending)) == 0) {
        lastError = "NET2: you can't do a TCP send on that socket";
    } else if (length < 1) {
        result = 0;
    } else {
        lockNet();
        const int sent = SDLNet_TCP_Send(record->tcp, bytes, length);
        unlockNet();
        if (sent == length) {
            result = length;
        } else {
            // The close event is posted by the network thread: the caller may be
            // the thread that drains SDL's queue, so it must not wait for room.
            record->state = Closed;
            lastError = "NET2: can't send TCP data, expect a close event";
            record->closeToRaise = true;
            ++closesToRaise;
            SDL_CondSignal(roomCond);
        }
    }
    unlockData();
    return result;
}

int net2ReadTcp(int socket, void* destination, int capacity) {
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
    lockData();
    SocketRecord* record = recordAt(socket);
    if (record && (record->kind == TcpListener || record->kind == TcpStream)) {
        record->state = DeletePending;
        wakeForRoom();
    }
    unlockData();
}

IPaddress* net2PeerOf(int socket) {
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

int net2OpenUdp(int port, int packetSize) {
    lockData();
    int index = packetSize < 1 ? -1 : allocateSlot(Udp);
    if (packetSize < 1) {
        lastError = "NET2: can't open a socket";
    } else if (index < 0) {
        lastError = "NET2: out of memory";
    } else {
        SocketRecord* record = table[index];
        lockNet();
        record->udp = SDLNet_UDP_Open(static_cast<Uint16>(port));
        unlockNet();
        if (!record->udp) {
            lastError = "NET2: can't open a socket";
            freeSlot(record);
            index = -1;
        } else {
            record->param = static_cast<uint32_t>(packetSize);
            record->state = AddPending;
        }
    }
    unlockData();
    return index;
}

int net2SendUdp(IPaddress* destination, const void* bytes, int length) {
    if (!destination || !bytes || length < 0) {
        lastError = "NET2: UDP send failed";
        return -1;
    }
    lockData();
    UDPpacket packet;
    std::memset(&packet, 0, sizeof(packet));
    packet.channel = -1;
    packet.data = static_cast<Uint8*>(const_cast<void*>(bytes));  // only read by the send
    packet.len = length;
    packet.maxlen = length;
    packet.address = *destination;
    lockNet();
    const int sent = SDLNet_UDP_Send(udpSendSocket, -1, &packet);
    unlockNet();
    unlockData();
    if (sent == 0) {
        lastError = "NET2: UDP send failed";
        return -1;
    }
    return 0;
}

UDPpacket* net2TakeUdpPacket(int socket) {
    lockData();
    UDPpacket* packet = nullptr;
    SocketRecord* record = recordAt(socket);
    if (record && record->kind == Udp && record->datagrams.count > 0) {
        UdpBody& queue = record->datagrams;
        packet = queue.packets[queue.head];
        queue.head = (queue.head + 1) % kNet2UdpQueueSize;
        --queue.count;
    }
    wakeForRoom();
    unlockData();
    return packet;
}

void net2ReleasePacket(UDPpacket* packet) {
    if (!packet) {
        return;
    }
    lockNet();
    SDLNet_FreePacket(packet);
    unlockNet();
}

void net2CloseUdp(int socket) {
    lockData();
    SocketRecord* record = recordAt(socket);
    if (record && record->kind == Udp) {
        record->state = DeletePending;
        wakeForRoom();
    }
    unlockData();
}

int net2EventKind(const SDL_Event& event) { return event.user.code; }
int net2EventSocket(const SDL_Event& event) {
    return static_cast<int>(reinterpret_cast<intptr_t>(event.user.data1));
}
const char* net2EventText(const SDL_Event& event) { return static_cast<const char*>(event.user.data2); }
int net2EventPort(const SDL_Event& event) {
    return static_cast<int>(reinterpret_cast<intptr_t>(event.user.data2));
}
