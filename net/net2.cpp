#include "net/net2.h"

#include <sys/socket.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "app/timer.h"
#include "net/fe.h"

namespace {

enum Kind : uint8_t { Unused = 0, TcpListener = 1, TcpStream = 2, Udp = 3 };
enum State : uint8_t { Free = 1, Active = 2, Closed = 4, AddPending = 8, DeletePending = 16, Connecting = 32 };

// A connect in progress on its own thread, shared by that thread and the socket
// record; whichever lets go last frees it (and closes a socket nobody took).
struct ConnectJob {
    std::string host;
    IPaddress address{};
    bool byName = false;
    uint32_t startedAt = 0;
    SDL_Thread* thread = nullptr;
    TCPsocket socket = nullptr;  // the connected socket, until the record takes it
    std::atomic<bool> done{false};
    std::atomic<int> holders{2};
};

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
    bool closeToRaise = false;  // a close found on the caller's thread, posted by the network thread
    ConnectJob* connect = nullptr;  // while Connecting
    std::string outgoing;       // bytes queued to send, from outgoingStart on
    size_t outgoingStart = 0;
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
// Host-name lookups are not reentrant and may wait for the network, so they have
// a lock of their own. Created once and never destroyed: a connect thread left
// behind by stop may still use it.
SDL_mutex* lookupLock = nullptr;
std::vector<ConnectJob*> strayConnects;  // data lock; jobs whose thread is still to be joined

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
void raiseEvent(int code, int socket, void* data2) {
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
    raiseEvent(NET2_ERROREVENT, socket, const_cast<char*>(message));
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

void releaseJob(ConnectJob* job) {
    if (--job->holders > 0) {
        return;
    }
    if (job->socket) {
        SDLNet_TCP_Close(job->socket);
    }
    delete job;
}

// Joins the connect threads that have finished; the others are kept for later.
void reapStrayConnects(bool final) {
    std::vector<ConnectJob*> waiting;
    for (ConnectJob* job : strayConnects) {
        if (job->done) {
            SDL_WaitThread(job->thread, nullptr);
            releaseJob(job);
        } else if (final) {
            releaseJob(job);  // its thread frees it when the connect gives up
        } else {
            waiting.push_back(job);
        }
    }
    strayConnects.swap(waiting);
}

void letGoOfConnect(SocketRecord* record) {
    if (record->connect) {
        strayConnects.push_back(record->connect);
        record->connect = nullptr;
    }
}

// The one place a record's bookkeeping is set: for a new socket and a freed slot.
void resetRecord(SocketRecord* record, uint8_t kind) {
    if (kind == TcpStream) {
        record->stream.buffered = 0;
    } else if (kind == Udp) {
        record->datagrams.count = 0;
        record->datagrams.head = 0;
        record->datagrams.tail = 0;
    }
    letGoOfConnect(record);
    record->kind = kind;
    record->state = Free;
    record->tcp = nullptr;
    record->udp = nullptr;
    record->watched = false;
    record->closeToRaise = false;
    record->outgoing.clear();
    record->outgoing.shrink_to_fit();
    record->outgoingStart = 0;
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
    resetRecord(table[index], kind);
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
    resetRecord(record, Unused);
}

// A stream found broken outside the network thread: the thread posts its close
// event, since the caller may be the one thread that drains SDL's queue.
void closeLater(SocketRecord* record) {
    record->state = Closed;
    record->closeToRaise = true;
    SDL_CondSignal(roomCond);
}

// SDL_net's TCP socket starts with its ready flag and then the system socket.
// Sends go straight to that socket without waiting, as SDL_net's own send would.
int systemSocketOf(TCPsocket socket) {
    struct Head {
        int ready;
        int channel;
    };
    return reinterpret_cast<const Head*>(socket)->channel;
}

// Writes what the socket takes now; false when the connection is broken.
bool flushOutgoing(SocketRecord* record) {
    std::string& out = record->outgoing;
    while (record->outgoingStart < out.size()) {
        const ssize_t sent = ::send(systemSocketOf(record->tcp), out.data() + record->outgoingStart,
                                    out.size() - record->outgoingStart, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent > 0) {
            record->outgoingStart += static_cast<size_t>(sent);
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else {
            return sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        }
    }
    out.clear();
    record->outgoingStart = 0;
    return true;
}

size_t queuedBytes(const SocketRecord* record) { return record->outgoing.size() - record->outgoingStart; }

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

int connectThread(void* data) {
    ConnectJob* job = static_cast<ConnectJob*>(data);
    bool found = true;
    if (job->byName) {
        SDL_mutexP(lookupLock);
        found = SDLNet_ResolveHost(&job->address, job->host.c_str(), job->address.port) == 0;
        SDL_mutexV(lookupLock);
    }
    if (found) {
        job->socket = SDLNet_TCP_Open(&job->address);
    }
    job->done = true;
    releaseJob(job);
    return 0;
}

// Starts a connect on its own thread; the network thread sees it through.
int startConnect(ConnectJob* job) {
    const int index = allocateSlot(TcpStream);
    if (index < 0) {
        lastError = "NET2: out of memory";
        delete job;
        return -1;
    }
    job->startedAt = currentTicks();
    job->thread = SDL_CreateThread(connectThread, job);
    if (!job->thread) {
        lastError = "NET2: can't start the network thread";
        freeSlot(table[index]);
        delete job;
        return -1;
    }
    table[index]->connect = job;
    table[index]->state = Connecting;
    return index;
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
    raiseEvent(NET2_ACCEPTEVENT, stream, asData(listener->param));
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
        raiseEvent(NET2_TCPCLOSEEVENT, index, asData(-1));
        return;
    }
    const bool wasEmpty = buffer.buffered == 0;
    buffer.buffered += received;
    if (wasEmpty) {
        raiseEvent(NET2_TCPRECEIVEEVENT, index, asData(-1));
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
            raiseEvent(NET2_UDPRECEIVEEVENT, index, asData(-1));
        }
    }
    if (unused) {
        net2ReleasePacket(unused);
    }
    if (outOfMemory && queue.count < kNet2UdpQueueSize) {
        raiseError(index, "NET2: out of memory");
    }
}

void serviceConnect(int index, SocketRecord* record) {
    ConnectJob* job = record->connect;
    if (job->done && job->socket) {
        record->tcp = job->socket;
        job->socket = nullptr;
        letGoOfConnect(record);
        addToSet(index, record);
        if (record->state == Active && !flushOutgoing(record)) {
            record->closeToRaise = true;  // what was sent while connecting could not go
            record->state = Closed;
        } else if (record->state == Active) {
            raiseEvent(NET2_CONNECTEVENT, index, asData(-1));
        } else {
            record->state = Closed;  // left to its owner, who learns of it by the close event
            raiseEvent(NET2_TCPCLOSEEVENT, index, asData(-1));
        }
    } else if (job->done || currentTicks() - job->startedAt >= kNet2ConnectTimeoutMs) {
        letGoOfConnect(record);
        lastError = "NET2: can't open a socket";
        record->state = Closed;
        raiseEvent(NET2_TCPCLOSEEVENT, index, asData(-1));
    }
}

void sendQueued(int index, SocketRecord* record) {
    if (!flushOutgoing(record)) {
        record->state = Closed;
        unwatch(record);
        raiseEvent(NET2_TCPCLOSEEVENT, index, asData(-1));
    }
}

void serviceSlot(int index) {
    SocketRecord* record = table[index];
    if (record->state == AddPending) {
        addToSet(index, record);
    } else if (record->state == DeletePending) {
        removeAndFree(index, record);
    } else if (record->state == Connecting) {
        serviceConnect(index, record);
    } else if (record->closeToRaise) {
        record->closeToRaise = false;
        unwatch(record);
        raiseEvent(NET2_TCPCLOSEEVENT, index, asData(-1));
    } else if (record->kind == TcpStream && record->state == Active && queuedBytes(record) > 0) {
        sendQueued(index, record);
        if (record->state == Active && isReady(record)) {
            receiveTcp(index, record);
        }
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
        // A full buffer keeps the check returning at once: wait for a reader, but
        // never so long that queued sends, connects and closes are held up.
        if (!stopRequested && waitForRoom) {
            dataHeld = 0;
            SDL_CondWaitTimeout(roomCond, dataLock, 10);
            dataHeld = 1;
        }
        waitForRoom = false;
        for (int i = 0; i < slotCount && !stopRequested; ++i) {
            serviceSlot(i);
        }
        reapStrayConnects(false);
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
        letGoOfConnect(record);
        if (record->tcp) {
            SDLNet_TCP_Close(record->tcp);
        }
        if (record->udp) {
            SDLNet_UDP_Close(record->udp);
        }
        delete record;
        table[i] = nullptr;
    }
    reapStrayConnects(true);
    slotCount = 0;
    cursor = 0;
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
    if (!lookupLock) {
        lookupLock = SDL_CreateMutex();
    }
    if (!lookupLock) {
        return failStart("NET2: can't create a mutex");
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
    SDL_mutex* lock = host ? lookupLock : netLock;
    SDL_mutexP(lock);
    const int result = SDLNet_ResolveHost(address, host, static_cast<Uint16>(port));
    SDL_mutexV(lock);
    return result;
}

namespace {

bool refuseWhenStopped() {
    if (!started) {
        lastError = "NET2: the service is not running";
    }
    return !started;
}

// A listener on the port that is closing but not closed yet is kept instead:
// the port cannot be taken again until the network thread has let it go.
int reopenClosingListener(int port) {
    for (int i = 0; i < slotCount; ++i) {
        SocketRecord* record = table[i];
        if (record->kind == TcpListener && record->state == DeletePending && record->param == uint32_t(port)) {
            record->state = record->watched ? Active : AddPending;
            return i;
        }
    }
    return -1;
}

}  // namespace

int net2ListenTcp(int port) {
    if (refuseWhenStopped()) {
        return -1;
    }
    lockData();
    IPaddress address;
    int index = reopenClosingListener(port);
    if (index >= 0) {
        // kept as it was
    } else if (net2LookupHost(&address, nullptr, port) == -1) {
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
    if (refuseWhenStopped()) {
        return -1;
    }
    lockData();
    const int index = openTcp(address, TcpListener);
    unlockData();
    return index;
}

namespace {

// A new connect job, or null (with the reason kept) when the service is stopped or memory ran out.
ConnectJob* newConnectJob() {
    if (refuseWhenStopped()) {
        return nullptr;
    }
    ConnectJob* job = new (std::nothrow) ConnectJob;
    if (!job) {
        lastError = "NET2: out of memory";
    }
    return job;
}

int launchConnect(ConnectJob* job) {
    lockData();
    const int index = startConnect(job);
    unlockData();
    return index;
}

}  // namespace

int net2ConnectTcp(const char* host, int port) {
    ConnectJob* job = newConnectJob();
    if (!job) {
        return -1;
    }
    job->host = host ? host : "";
    job->byName = true;
    job->address.port = static_cast<Uint16>(port);
    return launchConnect(job);
}

int net2ConnectTcpTo(IPaddress* address) {
    ConnectJob* job = newConnectJob();
    if (!job) {
        return -1;
    }
    job->address = *address;
    return launchConnect(job);
}

int net2SendTcp(int socket, const void* bytes, int length) {
    if (refuseWhenStopped()) {
        return -1;
    }
    lockData();
    int result = -1;
    SocketRecord* record = recordAt(socket);
    if (!record || record->kind != TcpStream || (record->state & (Active | AddPending | Connecting)) == 0) {
        lastError = "NET2: you can't do a TCP send on that socket";
    } else if (length < 1) {
        result = 0;
    } else if (queuedBytes(record) + static_cast<size_t>(length) > static_cast<size_t>(kNet2SendQueueLimit)) {
        lastError = "NET2: the peer is not taking its data, expect a close event";
        closeLater(record);
    } else {
        record->outgoing.append(static_cast<const char*>(bytes), static_cast<size_t>(length));
        if (record->state == Connecting || flushOutgoing(record)) {
            result = length;
        } else {
            lastError = "NET2: can't send TCP data, expect a close event";
            closeLater(record);
        }
    }
    unlockData();
    return result;
}

int net2QueuedTcp(int socket) {
    if (!started) {
        return 0;
    }
    lockData();
    SocketRecord* record = recordAt(socket);
    const size_t queued = record && record->kind == TcpStream ? queuedBytes(record) : 0;
    unlockData();
    return static_cast<int>(queued);
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

int net2OpenUdp(int port, int packetSize) {
    if (refuseWhenStopped()) {
        return -1;
    }
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
    if (refuseWhenStopped()) {
        return -1;
    }
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
    if (!started) {
        return nullptr;
    }
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
    if (!started) {
        return;
    }
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
