#include <gtest/gtest.h>

#include <sstream>

#include "join/host_address.h"

TEST(ListeningAddress, ChosenFromTheInterfaceTable) {
    const InterfaceAddress lo{"lo", "127.0.0.1", true};
    struct Case {
        const char* what;
        std::vector<InterfaceAddress> interfaces;
        const char* defaultRoute;
        const char* shown;
    } const cases[] = {
        {"none at all", {}, "", "this machine only: 127.0.0.1:1337"},
        {"loopback only", {lo}, "", "this machine only: 127.0.0.1:1337"},
        {"IPv6 only", {lo, {"eth0", ""}, {"eth0", ""}}, "eth0", "this machine only: 127.0.0.1:1337"},
        {"one", {lo, {"eth0", "192.168.1.20"}}, "eth0", "192.168.1.20:1337"},
        {"several: the default route's first", {lo, {"docker0", "172.17.0.1"}, {"wlan0", "192.168.1.20"}}, "wlan0",
         "192.168.1.20:1337 (+1 more)"},
        {"several, no default route", {{"eth0", "10.0.0.7"}, {"eth1", "10.1.0.7"}, {"eth2", "10.2.0.7"}}, "",
         "10.0.0.7:1337 (+2 more)"},
        {"link-local after the rest", {{"eth0", "169.254.3.4"}, {"wlan0", "10.0.0.5"}}, "eth0",
         "10.0.0.5:1337 (+1 more)"},
        {"an interface that is down", {{"eth0", "10.0.0.5", false, false}, lo}, "eth0",
         "this machine only: 127.0.0.1:1337"},
        {"one address on two interfaces", {{"br0", "10.0.0.5"}, {"br0:1", "10.0.0.5"}}, "", "10.0.0.5:1337"},
        {"a loopback address on another interface", {{"dummy0", "127.0.0.5"}}, "", "this machine only: 127.0.0.1:1337"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(chooseListeningAddress(c.interfaces, c.defaultRoute, 1337), c.shown) << c.what;
    EXPECT_EQ(chooseListeningAddress({{"eth0", "10.0.0.5"}}, "", 4000), "10.0.0.5:4000");
    EXPECT_NE(listeningAddress(4000).find(":4000"), std::string::npos);  // and this machine's own
}

TEST(ListeningAddress, DefaultRouteIsTheUpRouteToEverywhereWithTheLowestMetric) {
    const std::string header = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
    std::istringstream table(header + "docker0\t000011AC\t00000000\t0001\t0\t0\t0\t0000FFFF\t0\t0\t0\n"
                                      "eth0\t00000000\t0101A8C0\t0002\t0\t0\t0\t00000000\t0\t0\t0\n"  // down
                                      "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
                                      "eth1\t00000000\t0100000A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
                                      "garbage\tzz\n"
                                      "eth2\t00000000\t0100000A\t0003\t0\t0\t900\t00000000\t0\t0\t0\n");
    EXPECT_EQ(defaultRouteInterface(table), "eth1");
    std::istringstream none(header + "eth0\t0001A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n"), empty;
    EXPECT_EQ(defaultRouteInterface(none), "");
    EXPECT_EQ(defaultRouteInterface(empty), "");
}
