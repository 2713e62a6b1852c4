// NET2's UDP half: datagram sockets with a queue of received packets each, and
// sends through one shared socket.

#include <cstring>

#include "net/net2_internal.h"

namespace net2 {

namespace {

UDPsocket udpSendSocket = nullptr;

}  // namespace

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

void receiveUdp(int id, SocketRecord* record) {
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
            raiseEvent(NET2_UDPRECEIVEEVENT, id, asData(-1));
        }
    }
    if (unused) {
        net2ReleasePacket(unused);
    }
    if (outOfMemory && queue.count < kNet2UdpQueueSize) {
        raiseError(id, "NET2: out of memory");
    }
}

bool openUdpSendSocket() {
    udpSendSocket = SDLNet_UDP_Open(0);
    return udpSendSocket != nullptr;
}

void closeUdpSendSocket() {
    if (udpSendSocket) {
        SDLNet_UDP_Close(udpSendSocket);
        udpSendSocket = nullptr;
    }
}

}  // namespace net2

using namespace net2;

int net2OpenUdp(int port, int packetSize) {
    if (refuseWhenStopped()) {
        return -1;
    }
    lockData();
    int id = packetSize < 1 ? -1 : allocateSlot(Udp);
    if (packetSize < 1) {
        lastError = "NET2: can't open a socket";
    } else if (id < 0) {
        lastError = "NET2: out of memory";
    } else {
        SocketRecord* record = recordAt(id);
        lockNet();
        record->udp = SDLNet_UDP_Open(static_cast<Uint16>(port));
        unlockNet();
        if (!record->udp) {
            lastError = "NET2: can't open a socket";
            freeSlot(record);
            id = -1;
        } else {
            record->param = static_cast<uint32_t>(packetSize);
            record->state = AddPending;
        }
    }
    unlockData();
    return id;
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
