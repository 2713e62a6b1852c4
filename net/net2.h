#pragma once
// NET2: an event-driven socket service over SDL_net. One network thread watches
// every open socket, accepts TCP connections, buffers received TCP bytes (4096
// per socket) and UDP packets (1024 per socket), writes queued TCP bytes as the
// peer takes them, and reports what happened as SDL user events posted through
// the fast event queue. The application opens, sends, reads and closes from its
// own thread and never waits on a peer: connects run on a helper thread and
// sends are queued.
// Sockets are named by ids: the table slot plus a generation that moves on each
// time the slot is freed, so an id, and every event carrying it, never names a
// later socket that got the same slot. Operations on an old id do nothing.
// One instance per process; needs SDL_net and the fast event queue running.

#include <SDL.h>
#include <SDL_net.h>

#include <cstdint>

#include "base/clock.h"

// NET2 events are SDL_USEREVENTs: code = kind, data1 = socket id,
// data2 = message text (error), listener port (accept) or -1.
enum {
    NET2_ERROREVENT = 0,
    NET2_ACCEPTEVENT = 1,
    NET2_TCPRECEIVEEVENT = 2,
    NET2_TCPCLOSEEVENT = 3,  // also ends a connect that failed or took too long
    NET2_UDPRECEIVEEVENT = 4,
    NET2_CONNECTEVENT = 5,   // a connect completed; the stream is ready
};

constexpr int kNet2MaxSockets = 1024;
constexpr int kNet2TcpBufferSize = 4096;
constexpr int kNet2UdpQueueSize = 1024;
// Incoming connections are refused once this many sockets are open, so a flood
// of peers cannot push descriptors past what the socket check can watch.
constexpr int kNet2AcceptLimit = 512;
// Bytes a stream may have waiting to be sent; a send past it closes the stream.
constexpr int kNet2SendQueueLimit = 1024 * 1024;
// A connect that has not completed by then fails with a close event.
constexpr uint32_t kNet2ConnectTimeoutMs = 5000;
// A connect the system has not given up on cannot be called back: its thread is
// left to end on its own (even past a stop) and joined once it has. Past this
// many such threads, connects are refused.
constexpr int kNet2MaxHangingConnects = 8;
// The error raised for a stream whose SDL_net handle does not hold the system
// socket where we expect it (see net2KnowsLayoutOf).
extern const char* const kNet2UnknownLayout;

// 0 on success (also when already started), -1 on failure. Connects time out by
// `clock`, which must outlive the service; a second start keeps the first clock.
int net2Start(const Clock& clock);
void net2Stop();  // ends the thread, discards every pending SDL event, frees everything
const char* net2LastError();

int net2LookupHost(IPaddress* address, const char* host, int port);  // SDLNet_ResolveHost

// Listener id, -1 on failure. Listening again on a port whose listener is
// still being closed keeps that listener.
int net2ListenTcp(int port);
int net2ListenTcpAt(IPaddress* address);
// Stream id at once, -1 when none is free or too many connects hang. The lookup
// and connect run on a helper thread; NET2_CONNECTEVENT or NET2_TCPCLOSEEVENT
// tells how it ended.
int net2ConnectTcp(const char* host, int port);
int net2ConnectTcpTo(IPaddress* address);
int net2HangingConnects();  // connect threads still running, given up on or not
// The call a connect thread makes to open its stream: SDLNet_TCP_Open unless a
// test puts its own in place (null restores it).
using Net2Opener = TCPsocket (*)(IPaddress* address);
void net2SetOpener(Net2Opener opener);
// Queues the bytes (a connecting stream sends them once connected): length, 0 for
// length < 1, -1 when the stream is gone or its queue would pass the limit (a
// close event follows).
int net2SendTcp(int socket, const void* bytes, int length);
int net2QueuedTcp(int socket);  // bytes still waiting to be sent
int net2HeldTcp(int socket);    // bytes the send queue holds in memory, sent or not
int net2BufferedTcp(int socket);  // bytes received and not yet read
int net2ReadTcp(int socket, void* destination, int capacity);  // bytes copied
void net2CloseTcp(int socket);
IPaddress* net2PeerOf(int socket);
bool net2IsOpen(int socket);    // names a socket that has not been closed
// The listener that accepted the stream while that listener is open, else -1.
int net2ListenerOf(int stream);

// Sends go straight to the system socket inside SDL_net's TCP handle. Its place
// there is known for these SDL_net versions; with any other linked version, and
// for any stream whose socket is not the connected stream SDL_net reports, the
// stream is refused with kNet2UnknownLayout.
bool net2KnowsLayoutOf(const SDL_version& version);

int net2OpenUdp(int port, int packetSize);  // Udp id, -1 on failure
int net2SendUdp(IPaddress* destination, const void* bytes, int length);  // 0, or -1
UDPpacket* net2TakeUdpPacket(int socket);  // oldest packet, caller releases it
void net2ReleasePacket(UDPpacket* packet);
void net2CloseUdp(int socket);

int net2EventKind(const SDL_Event& event);
int net2EventSocket(const SDL_Event& event);
const char* net2EventText(const SDL_Event& event);
int net2EventPort(const SDL_Event& event);
