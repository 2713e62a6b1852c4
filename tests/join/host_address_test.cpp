#include <gtest/gtest.h>

#include <sstream>

#include "join/host_address.h"

namespace {

InterfaceAddress address(const char* name, const char* ipv4, bool loopback = false, bool up = true) {
    return InterfaceAddress{name, ipv4, loopback, up};
}

const InterfaceAddress kLoopback = address("lo", "127.0.0.1", true);

}  // namespace

TEST(ListeningAddress, ChosenFromTheInterfaceTable) {
    struct Case {
        const char* what;
        std::vector<InterfaceAddress> interfaces;
        const char* defaultRoute;
        const char* shown;
    };
    const Case cases[] = {
        {"none at all", {}, "", "this machine only: 127.0.0.1:1337"},
        {"loopback only", {kLoopback}, "", "this machine only: 127.0.0.1:1337"},
        {"IPv6 only", {kLoopback, address("eth0", ""), address("eth0", "")}, "eth0",
         "this machine only: 127.0.0.1:1337"},
        {"one", {kLoopback, address("eth0", "192.168.1.20")}, "eth0", "192.168.1.20:1337"},
        {"several: the default route's first",
         {kLoopback, address("docker0", "172.17.0.1"), address("wlan0", "192.168.1.20")}, "wlan0",
         "192.168.1.20:1337 (+1 more)"},
        {"several, no default route",
         {address("eth0", "10.0.0.7"), address("eth1", "10.1.0.7"), address("eth2", "10.2.0.7")}, "",
         "10.0.0.7:1337 (+2 more)"},
        {"link-local after the rest", {address("eth0", "169.254.3.4"), address("wlan0", "10.0.0.5")}, "eth0",
         "10.0.0.5:1337 (+1 more)"},
        {"an interface that is down", {address("eth0", "10.0.0.5", false, false), kLoopback}, "eth0",
         "this machine only: 127.0.0.1:1337"},
        {"one address on two interfaces", {address("br0", "10.0.0.5"), address("br0:1", "10.0.0.5")}, "",
         "10.0.0.5:1337"},
        {"a loopback address on another interface", {address("dummy0", "127.0.0.5")}, "",
         "this machine only: 127.0.0.1:1337"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(chooseListeningAddress(c.interfaces, c.defaultRoute, 1337), c.shown) << c.what;
    }
    EXPECT_EQ(chooseListeningAddress({address("eth0", "10.0.0.5")}, "", 4000), "10.0.0.5:4000");
}

TEST(ListeningAddress, DefaultRouteIsTheUpRouteToEverywhereWithTheLowestMetric) {
    const char* header = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
    std::istringstream table(std::string(header) +
                             "docker0\t000011AC\t00000000\t0001\t0\t0\t0\t0000FFFF\t0\t0\t0\n"
                             "eth0\t00000000\t0101A8C0\t0002\t0\t0\t0\t00000000\t0\t0\t0\n"  // down
                             "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
                             "eth1\t00000000\t0100000A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
                             "garbage\tzz\n"
                             "eth2\t00000000\t0100000A\t0003\t0\t0\t900\t00000000\t0\t0\t0\n");
    EXPECT_EQ(defaultRouteInterface(table), "eth1");

    std::istringstream none(std::string(header) + "eth0\t0001A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n");
    EXPECT_EQ(defaultRouteInterface(none), "");
    std::istringstream empty;
    EXPECT_EQ(defaultRouteInterface(empty), "");
}

TEST(ListeningAddress, ThisMachineGivesAnAddressWithThePort) {
    const std::string shown = listeningAddress(1337);
    EXPECT_NE(shown.find(":1337"), std::string::npos) << shown;
}
