// NET2's network thread, which watches every socket and does all the waiting,
// and starting and stopping the service.

#include "net/fe.h"
#include "net/net2_internal.h"

const char* const kNet2UnknownLayout = "NET2: this SDL_net's TCP sockets are not laid out as expected";

namespace net2 {

namespace {

std::atomic<bool> threadDone{false};
SDL_Thread* thread = nullptr;
bool knownLayout = false;

void removeAndFree(int id, SocketRecord* record) {
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
        raiseError(id, udp ? "NET2: can't delete a UDP socket from the socket set"
                           : "NET2: can't delete a TCP socket from the socket set");
    }
}

void serviceSlot(int slot) {
    SocketRecord* record = table[slot];
    const int id = idOf(slot);
    if (record->kind == Unused) {
        return;
    }
    if (record->state == AddPending) {
        addToSet(id, record);
    } else if (record->state == DeletePending) {
        removeAndFree(id, record);
    } else if (record->state == Connecting) {
        serviceConnect(id, record);
    } else if (record->closeToRaise) {
        record->closeToRaise = false;
        raiseClose(id, record);
    } else if (record->kind == TcpStream && record->state == Active && record->outgoing.waiting() > 0) {
        sendQueued(id, record);
        if (record->state == Active && isReady(record)) {
            receiveTcp(id, record);
        }
    } else if (record->kind == TcpListener && isReady(record)) {
        acceptPeer(id, record);
    } else if (record->kind == TcpStream && record->state == Active && isReady(record)) {
        receiveTcp(id, record);
    } else if (record->kind == Udp && record->state == Active && isReady(record)) {
        receiveUdp(id, record);
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
            waitOnRoom(10);
        }
        waitForRoom = false;
        for (int slot = 0; slot < slotCount && !stopRequested; ++slot) {
            serviceSlot(slot);
        }
        unlockData();
        joinEndedConnects();
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
    releaseTable();
    closeUdpSendSocket();
    destroyLocks();
}

int failStart(const char* message) {
    releaseEverything();
    lastError = message;
    return -1;
}

}  // namespace

bool layoutKnown() { return knownLayout; }

void addToSet(int id, SocketRecord* record) {
    int added = -1;
    if (socketSet) {
        lockNet();
        added = SDLNet_AddSocket(socketSet, genericOf(record));
        unlockNet();
    }
    if (added == -1) {
        record->state = DeletePending;
        raiseError(id, record->kind == Udp ? "NET2: can't add a UDP socket to the socket set"
                                           : "NET2: can't add a TCP socket to the socket set");
        return;
    }
    record->watched = true;
    record->state = Active;
}

}  // namespace net2

using namespace net2;

bool net2KnowsLayoutOf(const SDL_version& version) {
    return version.major == 1 && version.minor == 2 && (version.patch == 7 || version.patch == 8);
}

int net2Start(const Clock& clock) {
    if (started) {
        return 0;
    }
    serviceClock = &clock;
    lastError = nullptr;
    stopRequested = false;
    threadDone = false;
    if (const char* failure = createLocks()) {
        return failStart(failure);
    }
    if (!startConnectSupport()) {
        return failStart("NET2: can't create a mutex");
    }
    for (SocketRecord*& slot : table) {
        slot = nullptr;
    }
    socketSet = SDLNet_AllocSocketSet(kNet2MaxSockets);
    if (!socketSet) {
        lastError = "NET2: out of memory";
    }
    const SDL_version* linked = SDLNet_Linked_Version();
    knownLayout = linked && net2KnowsLayoutOf(*linked);
    if (!openUdpSendSocket()) {
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
    started = false;
    releaseEverything();
    joinEndedConnects();
    lastError = nullptr;
}

const char* net2LastError() { return lastError; }

int net2EventKind(const SDL_Event& event) { return event.user.code; }

int net2EventSocket(const SDL_Event& event) { return static_cast<int>(reinterpret_cast<intptr_t>(event.user.data1)); }

const char* net2EventText(const SDL_Event& event) { return static_cast<const char*>(event.user.data2); }

int net2EventPort(const SDL_Event& event) { return static_cast<int>(reinterpret_cast<intptr_t>(event.user.data2)); }
