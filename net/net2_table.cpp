// NET2's socket table: slots and their ids, the locks, and raising events.

#include <cstdlib>
#include <cstring>
#include <new>

#include "net/fe.h"
#include "net/net2_internal.h"

namespace net2 {

SocketRecord* table[kNet2MaxSockets];
int slotCount = 0;
SDLNet_SocketSet socketSet = nullptr;
SDL_cond* roomCond = nullptr;
bool waitForRoom = false;
std::atomic<bool> started{false};
std::atomic<const Clock*> serviceClock{&sdlClock()};
std::atomic<bool> stopRequested{false};
std::atomic<const char*> lastError{nullptr};

namespace {

int cursor = 0;
// Ids stay below 2^31; the generations outlive a stop, so ids from before a
// restart stay stale too.
constexpr uint32_t kGenerations = 1u << 21;
uint32_t generations[kNet2MaxSockets];

SDL_mutex* dataLock = nullptr;
SDL_mutex* netLock = nullptr;
std::atomic<int> dataLockHeld{0};

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
    record->listener = -1;
    record->descriptor = -1;
    record->tcp = nullptr;
    record->udp = nullptr;
    record->watched = false;
    record->closeToRaise = false;
    record->outgoing.clear();
}

}  // namespace

void lockData() {
    if (SDL_mutexP(dataLock) == -1) {
        lastError = "NET2: can't lock Data mutex";
    }
    dataLockHeld = 1;
}

void unlockData() {
    dataLockHeld = 0;
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

bool dataHeld() { return dataLockHeld != 0; }

void waitOnRoom(uint32_t ms) {
    dataLockHeld = 0;
    SDL_CondWaitTimeout(roomCond, dataLock, ms);
    dataLockHeld = 1;
}

const char* createLocks() {
    dataLock = SDL_CreateMutex();
    netLock = SDL_CreateMutex();
    if (!dataLock || !netLock) {
        return "NET2: can't create a mutex";
    }
    roomCond = SDL_CreateCond();
    return roomCond ? nullptr : "NET2: can't create a condition variable";
}

void destroyLocks() {
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

int idOf(int slot) { return slot + static_cast<int>(generations[slot]) * kNet2MaxSockets; }

SocketRecord* recordAt(int id) {
    if (id < 0) {
        return nullptr;
    }
    const int slot = id % kNet2MaxSockets;
    if (slot >= slotCount || idOf(slot) != id || table[slot]->kind == Unused) {
        return nullptr;
    }
    return table[slot];
}

int allocateSlot(uint8_t kind) {
    int slot = -1;
    for (int examined = 0; slot < 0; ++examined) {
        if (examined >= slotCount) {
            if (slotCount >= kNet2MaxSockets) {
                return -1;
            }
            SocketRecord* record = new (std::nothrow) SocketRecord;
            if (!record) {
                return -1;
            }
            record->slot = slotCount;
            table[slotCount] = record;
            slot = slotCount++;
        } else if (table[cursor]->kind == Unused) {
            slot = cursor;
        } else {
            cursor = (cursor + 1) % slotCount;
        }
    }
    resetRecord(table[slot], kind);
    return idOf(slot);
}

void freeSlot(SocketRecord* record) {
    if (record->kind == Udp) {
        freeQueuedPackets(record);
    }
    resetRecord(record, Unused);
    generations[record->slot] = (generations[record->slot] + 1) % kGenerations;
}

// Sockets on their way out are not counted: the thread closes them this pass.
int openSocketCount() {
    int open = 0;
    for (int i = 0; i < slotCount; ++i) {
        open += table[i]->kind != Unused && table[i]->state != DeletePending ? 1 : 0;
    }
    return open;
}

void releaseTable() {
    for (int slot = 0; slot < slotCount; ++slot) {
        SocketRecord* record = table[slot];
        if (record->tcp) {
            SDLNet_TCP_Close(record->tcp);
            record->tcp = nullptr;
        }
        if (record->udp) {
            SDLNet_UDP_Close(record->udp);
            record->udp = nullptr;
        }
        if (record->kind != Unused) {
            freeSlot(record);
        }
        delete record;
        table[slot] = nullptr;
    }
    slotCount = 0;
    cursor = 0;
    waitForRoom = false;
    if (socketSet) {
        SDLNet_FreeSocketSet(socketSet);
        socketSet = nullptr;
    }
}

void* asData(intptr_t value) { return reinterpret_cast<void*>(value); }

// Posts an event with the data lock released around the (possibly waiting) push.
void raiseEvent(int code, int id, void* data2) {
    if (!dataHeld()) {
        std::exit(1);
    }
    SDL_Event event;
    std::memset(&event, 0, sizeof(event));
    event.type = SDL_USEREVENT;
    event.user.code = code;
    event.user.data1 = asData(id);
    event.user.data2 = data2;
    unlockData();
    fePush(&event);
    lockData();
}

void raiseError(int id, const char* message) { raiseEvent(NET2_ERROREVENT, id, const_cast<char*>(message)); }

void raiseClose(int id, SocketRecord* record) {
    record->state = Closed;
    unwatch(record);
    raiseEvent(NET2_TCPCLOSEEVENT, id, asData(-1));
}

// Readers made room (or a socket went away): let the thread go on.
void wakeForRoom() {
    waitForRoom = false;
    SDL_CondSignal(roomCond);
}

bool refuseWhenStopped() {
    if (!started) {
        lastError = "NET2: the service is not running";
    }
    return !started;
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

}  // namespace net2
