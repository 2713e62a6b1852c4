#include "discovery/lan.h"

#include <arpa/inet.h>

#include <cstdio>

#include "net/net2.h"

namespace {

// The largest datagram read whole: one byte more than an announcement may be,
// so that a longer one is seen to be too long.
constexpr int kReadBytes = static_cast<int>(kMaxAnnouncementBytes) + 1;

bool toAddress(const std::string& dottedQuad, int32_t port, IPaddress& address) {
    in_addr parsed{};
    if (inet_pton(AF_INET, dottedQuad.c_str(), &parsed) != 1) return false;
    address.host = parsed.s_addr;  // both in network byte order
    address.port = SDL_SwapBE16(static_cast<Uint16>(port));
    return true;
}

std::string dottedQuadOf(const IPaddress& address) {
    in_addr host{};
    host.s_addr = address.host;
    char text[INET_ADDRSTRLEN] = {};
    return inet_ntop(AF_INET, &host, text, sizeof text) ? text : "";
}

}  // namespace

void LanAnnouncer::start(const Announcement& announcement) {
    if (active && announcement.port == announced.port && announcement.name == announced.name) return;
    active = true;
    sentOnce = false;
    announced = announcement;
    datagram = writeAnnouncement(announcement);
}

bool LanAnnouncer::due(uint32_t now) const { return active && (!sentOnce || now - sentAt >= kPeriodMs); }

void LanAnnouncer::send(const std::vector<std::string>& addresses, uint32_t now) {
    for (const std::string& each : addresses) {
        IPaddress address{};
        if (toAddress(each, udpPort, address)) {
            net2SendUdp(&address, datagram.data(), static_cast<int>(datagram.size()));  // a lost one is sent again
        }
    }
    sentOnce = true;
    sentAt = now;
}

bool LanListener::open() {
    if (socket < 0) socket = net2OpenUdp(udpPort, kReadBytes);
    return socket >= 0;
}

void LanListener::close() {
    if (socket >= 0) net2CloseUdp(socket);
    socket = -1;
    heard.clear();
}

void LanListener::receive(uint32_t now) {
    if (socket < 0) return;
    while (UDPpacket* packet = net2TakeUdpPacket(socket)) {
        const std::string address = dottedQuadOf(packet->address);
        Announcement announcement;
        const AnnouncementCheck check =
            readAnnouncement(packet->data, static_cast<size_t>(packet->len), announcement);
        net2ReleasePacket(packet);
        if (check == AnnouncementCheck::Listed) {
            heard.hear(address, announcement, now);
        } else {
            refuse(check, address, now);
        }
    }
}

void LanListener::refuse(AnnouncementCheck check, const std::string& address, uint32_t now) {
    Quiet& kind = quiet[static_cast<int>(check)];
    if (kind.printed && now - kind.printedAt < kQuietMs) {
        ++kind.leftOut;
        return;
    }
    std::fprintf(stderr, "Ignored a datagram on UDP port %d from %s: %s", udpPort, address.c_str(),
                 refusalText(check));
    if (kind.leftOut > 0) std::fprintf(stderr, " (and %d more like it in the last minute)", kind.leftOut);
    std::fputc('\n', stderr);
    kind = Quiet{true, now, 0};
}
