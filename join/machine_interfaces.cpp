// Reading this machine's interfaces and default route, for listeningAddress.

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <fstream>

#include "join/host_address.h"

namespace {

std::string dottedQuadOf(const sockaddr* address) {
    if (!address || address->sa_family != AF_INET) return "";
    char text[INET_ADDRSTRLEN] = {};
    const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(address);
    return inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof text) ? text : "";
}

InterfaceAddress describe(const ifaddrs& entry) {
    InterfaceAddress a;
    a.name = entry.ifa_name ? entry.ifa_name : "";
    a.loopback = (entry.ifa_flags & IFF_LOOPBACK) != 0;
    a.up = (entry.ifa_flags & IFF_UP) != 0;
    a.ipv4 = dottedQuadOf(entry.ifa_addr);
    if ((entry.ifa_flags & IFF_BROADCAST) != 0 && !a.ipv4.empty()) a.broadcast = dottedQuadOf(entry.ifa_broadaddr);
    return a;
}

}  // namespace

std::vector<InterfaceAddress> machineInterfaces() {
    std::vector<InterfaceAddress> interfaces;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return interfaces;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (entry->ifa_addr) interfaces.push_back(describe(*entry));
    }
    freeifaddrs(list);
    return interfaces;
}

std::string listeningAddress(int32_t port) {
    std::ifstream routes("/proc/net/route");
    return chooseListeningAddress(machineInterfaces(), defaultRouteInterface(routes), port);
}
