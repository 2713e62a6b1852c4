#pragma once
// NET2: an event-driven socket service over SDL_net. One network thread watches
// every open socket, accepts TCP connections, buffers received TCP bytes (4096
// per socket) and UDP packets (1024 per socket), and reports what happened as
// SDL user events posted through the fast event queue. The application opens,
// sends, reads and closes from its own thread. Sockets are small table indices.
// One instance per process; needs SDL_net and the fast event queue running.

#include <SDL.h>
#include <SDL_net.h>

// NET2 events are SDL_USEREVENTs: code = kind, data1 = socket index,
// data2 = message text (error), listener port (accept) or -1.
enum {
    NET2_ERROREVENT = 0,
    NET2_ACCEPTEVENT = 1,
    NET2_TCPRECEIVEEVENT = 2,
    NET2_TCPCLOSEEVENT = 3,
    NET2_UDPRECEIVEEVENT = 4,
};

constexpr int kNet2MaxSockets = 1024;
constexpr int kNet2TcpBufferSize = 4096;
constexpr int kNet2UdpQueueSize = 1024;
// Incoming connections are refused once this many sockets are open, so a flood
// of peers cannot push descriptors past what the socket check can watch.
constexpr int kNet2AcceptLimit = 512;

int net2Start();  // 0 on success (also when already started), -1 on failure
void net2Stop();  // ends the thread, discards every pending SDL event, frees everything
const char* net2LastError();

int net2LookupHost(IPaddress* address, const char* host, int port);  // SDLNet_ResolveHost

int net2ListenTcp(int port);             // listener index, -1 on failure
int net2ListenTcpAt(IPaddress* address);
int net2ConnectTcp(const char* host, int port);  // stream index, -1 on failure
int net2ConnectTcpTo(IPaddress* address);
// length when all was sent, 0 for length < 1, -1 on failure (a close event follows).
int net2SendTcp(int socket, const void* bytes, int length);
int net2ReadTcp(int socket, void* destination, int capacity);  // bytes copied
void net2CloseTcp(int socket);
IPaddress* net2PeerOf(int socket);

int net2OpenUdp(int port, int packetSize);  // Udp index, -1 on failure
int net2SendUdp(IPaddress* destination, const void* bytes, int length);  // 0, or -1
UDPpacket* net2TakeUdpPacket(int socket);  // oldest packet, caller releases it
void net2ReleasePacket(UDPpacket* packet);
void net2CloseUdp(int socket);

int net2EventKind(const SDL_Event& event);
int net2EventSocket(const SDL_Event& event);
const char* net2EventText(const SDL_Event& event);
int net2EventPort(const SDL_Event& event);
