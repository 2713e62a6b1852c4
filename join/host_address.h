#pragma once
// The address a friend on the same network types to join this machine, shown
// while listening as "listening on " + listeningAddress(port). It is read from
// the machine's own interfaces and routing table; nothing is sent to learn it.
// Reading the machine is kept apart from choosing what to show, so the choice
// can be tried on any list of interfaces.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

// One address of one network interface.
struct InterfaceAddress {
    std::string name;       // the interface, e.g. "eth0"
    std::string ipv4;       // dotted quad; "" for IPv6 and every other family
    bool loopback = false;  // the interface only reaches this machine
    bool up = true;         // the interface is switched on
    std::string broadcast{};  // its IPv4 broadcast address; "" when it has none
};

// What to show for these interfaces and the listening port:
//   "192.168.1.20:1337"             one non-loopback IPv4 address
//   "192.168.1.20:1337 (+1 more)"   several: the default route's first
//   "this machine only: 127.0.0.1:1337"   none
// `defaultRoute` names the interface of the default route ("" when none).
// Link-local addresses (169.254.x.x) come after all others.
std::string chooseListeningAddress(const std::vector<InterfaceAddress>& interfaces, const std::string& defaultRoute,
                                   int32_t port);

// The interface of the default route in a table laid out as /proc/net/route,
// the one with the lowest metric when there are several; "" when there is none.
// Reads at most 64 KiB.
std::string defaultRouteInterface(std::istream& routeTable);

// Where a datagram for every machine on the local networks goes: the distinct
// broadcast addresses of the IPv4 interfaces that are up and not loopback.
std::vector<std::string> broadcastAddresses(const std::vector<InterfaceAddress>& interfaces);

// This machine's interface addresses (getifaddrs); none when they cannot be read.
std::vector<InterfaceAddress> machineInterfaces();

// chooseListeningAddress for this machine and `port`.
std::string listeningAddress(int32_t port);
