#pragma once
// What the parts of NET2 share: the socket table and its records, the two locks,
// and raising events. Only net2_*.cpp include this; the application uses net2.h.

#include <SDL.h>
#include <SDL_net.h>

#include <atomic>
#include <cstdint>

#include "net/net2.h"
#include "net/send_queue.h"

namespace net2 {

enum Kind : uint8_t { Unused = 0, TcpListener = 1, TcpStream = 2, Udp = 3 };
enum State : uint8_t { Free = 1, Active = 2, Closed = 4, AddPending = 8, DeletePending = 16, Connecting = 32 };

struct ConnectJob;  // net2_connect.cpp

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
    int slot = 0;
    uint8_t kind = Unused;
    uint8_t state = Free;
    uint32_t param = 0;  // listener: its port; Udp: receive packet size
    int32_t listener = -1;  // stream: the listener that accepted it
    int descriptor = -1;  // stream: the system socket inside its SDL_net handle, once checked
    TCPsocket tcp = nullptr;
    UDPsocket udp = nullptr;
    bool watched = false;       // in the socket set
    bool closeToRaise = false;  // a close found on the caller's thread, posted by the network thread
    ConnectJob* connect = nullptr;  // while Connecting
    SendQueue outgoing;
    union {
        TcpBody stream;
        UdpBody datagrams;
    };
};

// --- the table (net2_table.cpp) ---------------------------------------------
extern SocketRecord* table[kNet2MaxSockets];
extern int slotCount;
extern SDLNet_SocketSet socketSet;
extern SDL_cond* roomCond;
extern bool waitForRoom;  // data lock
extern std::atomic<bool> started;
extern std::atomic<const Clock*> serviceClock;  // what connect timeouts are measured by
extern std::atomic<bool> stopRequested;
extern std::atomic<const char*> lastError;

const char* createLocks();  // null, or why they could not be made
void destroyLocks();
void waitOnRoom(uint32_t ms);  // with the data lock held; lets go of it while waiting
void lockData();
void unlockData();
void lockNet();
void unlockNet();
bool dataHeld();

// Socket ids: the slot, plus the slot's generation times kNet2MaxSockets. The
// generation moves on each time a slot is freed, so an id never names a later
// socket in the same slot.
int idOf(int slot);
SocketRecord* recordAt(int id);  // null when the id is not that of a socket in use
int allocateSlot(uint8_t kind);  // the new socket's id, -1 when the table is full
void freeSlot(SocketRecord* record);
int openSocketCount();
void releaseTable();

void raiseEvent(int code, int id, void* data2);
void raiseError(int id, const char* message);
// Closes a stream on the network thread: out of the set, and its owner told.
void raiseClose(int id, SocketRecord* record);
void* asData(intptr_t value);
void wakeForRoom();
bool refuseWhenStopped();

// --- streams (net2_stream.cpp) ----------------------------------------------
// The stream's system socket, checked against what SDL_net reports for it; false
// (and the handle left alone) when it is not one we can write to directly.
bool takeDescriptor(SocketRecord* record);  // also turns off Nagle's delay on it
// A stream found broken outside the network thread: the thread posts its close
// event, since the caller may be the one thread that drains SDL's queue.
void closeLater(SocketRecord* record);
void acceptPeer(int id, SocketRecord* listener);
void receiveTcp(int id, SocketRecord* record);
void sendQueued(int id, SocketRecord* record);

// --- connects (net2_connect.cpp) --------------------------------------------
void serviceConnect(int id, SocketRecord* record);
void letGoOfConnect(SocketRecord* record);
bool startConnectSupport();  // false when the lookup lock cannot be made
void joinEndedConnects();

// --- datagrams (net2_udp.cpp) -----------------------------------------------
void receiveUdp(int id, SocketRecord* record);
void freeQueuedPackets(SocketRecord* record);
bool openUdpSendSocket();
void closeUdpSendSocket();

// The socket set (net2_table.cpp), watched by the network thread.
SDLNet_GenericSocket genericOf(const SocketRecord* record);
bool isReady(const SocketRecord* record);
int unwatch(SocketRecord* record);

// --- the network thread (net2_service.cpp) ----------------------------------
void addToSet(int id, SocketRecord* record);
bool layoutKnown();

}  // namespace net2
