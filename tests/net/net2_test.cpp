#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

#include "tests/net/net_test_support.h"

class Net2 : public NetworkingTest {
protected:
    // Connects `peer` to a listener on a free port; returns the accepted stream.
    int acceptPeer(RawPeer& peer) {
        if (listener < 0) port = onFreePort([&](int candidate) { return (listener = net2ListenTcp(candidate)) >= 0; });
        SDL_Event event;
        EXPECT_TRUE(peer.connectTo(port));
        EXPECT_TRUE(awaitNet2Event(event, NET2_ACCEPTEVENT));
        EXPECT_EQ(net2EventPort(event), port);
        return net2EventSocket(event);
    }

    // Leaves the network thread stuck posting a receive event into a full queue:
    // once its byte is readable, the thread has let go of the data lock to post.
    static void blockNetworkThread(RawPeer& peer, int stream) {
        ASSERT_GT(fillEventQueue(), 0);
        ASSERT_TRUE(peer.sendAll("x"));
        char byte = 0;
        ASSERT_TRUE(waitUntil([&] { return net2ReadTcp(stream, &byte, 1) == 1; }));
    }

    int listener = -1;
    int port = 0;
};

TEST_F(Net2, RefusesPeersPastTheAcceptLimitAndThe1025thSocketAndReusesSlots) {
    RawPeer peer;
    const int stream = acceptPeer(peer);
    std::set<int> opened;
    for (int udp; opened.size() + 2 < kNet2AcceptLimit && (udp = net2OpenUdp(0, 64)) >= 0;) opened.insert(udp);
    ASSERT_EQ(opened.size() + 2, static_cast<size_t>(kNet2AcceptLimit));
    RawPeer refused;
    ASSERT_TRUE(refused.connectTo(port));
    SDL_Event event;
    ASSERT_TRUE(awaitNet2Event(event, NET2_ERROREVENT));
    EXPECT_STREQ(net2EventText(event), "NET2: a TCP accept failed");
    EXPECT_TRUE(refused.seesEndOfStream());

    // The whole table needs more descriptors than a common limit of 1024 gives:
    // raise it where allowed, else fill what the limit lets us open.
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = std::max<rlim_t>(limit.rlim_cur, std::min<rlim_t>(limit.rlim_max, kNet2MaxSockets + 64));
    const bool wholeTable = setrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur >= kNet2MaxSockets + 64;
    blockNetworkThread(peer, stream);  // so none of the sockets below is watched yet
    for (int udp; (udp = net2OpenUdp(0, 64)) >= 0;) opened.insert(udp);
    if (wholeTable) {
        EXPECT_EQ(opened.size(), static_cast<size_t>(kNet2MaxSockets - 2));
        EXPECT_STREQ(net2LastError(), "NET2: out of memory");
    } else {
        EXPECT_STREQ(net2LastError(), "NET2: can't open a socket");  // out of descriptors first
    }
    for (int udp : opened) net2CloseUdp(udp);
    while (SDL_PollEvent(&event) == 1) {}
    int udp = -1;
    ASSERT_TRUE(waitUntil([&] { return (udp = net2OpenUdp(0, 64)) >= 0; }));
    for (int index : {udp, net2OpenUdp(0, 64), net2OpenUdp(0, 64)})  // a full table is searched for free slots
        EXPECT_TRUE(opened.erase(index) == 1 || !wholeTable) << index;
}

TEST_F(Net2, FailedSendRaisesOneCloseEventWithoutWaitingForAFullQueue) {
    RawPeer peer;
    const int stream = acceptPeer(peer);
    blockNetworkThread(peer, stream);
    peer.close(true);
    std::atomic<bool> failed{false};
    std::thread sender([&] {
        for (int attempt = 0; attempt < 500 && !failed; ++attempt, SDL_Delay(1))
            failed = net2SendTcp(stream, "ping", 4) == -1;
    });
    const bool finished = waitUntil([&] { return failed.load(); }, 3000);
    SDL_Event event;
    while (!finished && SDL_PollEvent(&event) == 1) {  // free a stuck sender before joining
    }
    sender.join();
    ASSERT_TRUE(finished);
    EXPECT_STREQ(net2LastError(), "NET2: can't send TCP data, expect a close event");
    ASSERT_TRUE(awaitNet2Event(event, NET2_TCPCLOSEEVENT));
    EXPECT_EQ(net2EventSocket(event), stream);
    EXPECT_FALSE(awaitNet2Event(event, NET2_TCPCLOSEEVENT, 100));
}

