#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

#include "net/send_queue.h"
#include "tests/net/net_test_support.h"
#include "tests/support/fake_clock.h"

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
    for (int udp; opened.size() + 2 < 512 && (udp = net2OpenUdp(0, 64)) >= 0;) opened.insert(udp);
    ASSERT_EQ(opened.size(), 510u);  // with the listener and the stream, 512 sockets are open
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
    limit.rlim_cur = std::max<rlim_t>(limit.rlim_cur, std::min<rlim_t>(limit.rlim_max, 1024 + 64));
    const bool wholeTable = setrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur >= 1024 + 64;
    blockNetworkThread(peer, stream);  // so none of the sockets below is watched yet
    for (int udp; (udp = net2OpenUdp(0, 64)) >= 0;) opened.insert(udp);
    if (wholeTable) {
        EXPECT_EQ(opened.size(), 1022u);
        EXPECT_STREQ(net2LastError(), "NET2: out of memory");
    } else {
        EXPECT_STREQ(net2LastError(), "NET2: can't open a socket");  // out of descriptors first
    }
    for (int udp : opened) net2CloseUdp(udp);
    while (SDL_PollEvent(&event) == 1) {}
    int udp = -1;  // freed slots are found again, under ids of their own
    ASSERT_TRUE(waitUntil([&] { return (udp = net2OpenUdp(0, 64)) >= 0; }));
    for (int id : {udp, net2OpenUdp(0, 64), net2OpenUdp(0, 64)}) EXPECT_TRUE(id >= 0 && opened.count(id) == 0) << id;
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

TEST_F(Net2, TheIdOfAClosedSocketNeverReachesTheNextSocketInItsSlot) {
    RawPeer first;
    const int gone = acceptPeer(first);
    net2CloseTcp(gone);
    ASSERT_TRUE(waitUntil([&] { return net2PeerOf(gone) == nullptr; }));  // its slot is free again
    RawPeer second;
    const int stream = acceptPeer(second);
    EXPECT_NE(stream, gone);
    EXPECT_FALSE(net2IsOpen(gone));
    EXPECT_EQ(net2SendTcp(gone, "stale", 5), -1);
    net2CloseTcp(gone);
    ASSERT_TRUE(second.sendAll("fresh"));
    SDL_Event event;
    ASSERT_TRUE(awaitNet2Event(event, NET2_TCPRECEIVEEVENT));
    EXPECT_EQ(net2EventSocket(event), stream);
    char bytes[8];
    EXPECT_EQ(net2ReadTcp(gone, bytes, sizeof(bytes)), 0);
    EXPECT_EQ(net2ReadTcp(stream, bytes, sizeof(bytes)), 5);
    EXPECT_EQ(net2ListenerOf(stream), listener);
    net2CloseTcp(listener);
    EXPECT_EQ(net2ListenerOf(stream), -1);
}

// A peer that reads steadily but always behind: the queue never empties, yet
// what it holds is what waits plus at most the written part of one piece.
TEST(SendQueue, GivesBackWhatWasWrittenThoughItNeverEmpties) {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    const int small = 65536;
    setsockopt(pair[0], SOL_SOCKET, SO_SNDBUF, &small, sizeof(small));
    SendQueue queue;
    const std::string message(65536, 'm');
    std::string sink(message.size(), '\0');
    size_t read = 0;
    for (int round = 0; round < 200; ++round) {
        while (queue.waiting() < 8 * message.size()) queue.push(std::string(message));
        ASSERT_TRUE(queue.writeTo(pair[0]));
        ASSERT_GT(queue.waiting(), 0u);
        ASSERT_LE(queue.held(), queue.waiting() + 65536) << round;
        read += static_cast<size_t>(std::max<ssize_t>(recv(pair[1], &sink[0], sink.size(), MSG_DONTWAIT), 0));
    }
    EXPECT_GT(read, 8u * 1048576);
    close(pair[0]);
    close(pair[1]);
}

TEST_F(Net2, AStreamBuffers4096BytesAndRaisesAnEventEachTimeItRefills) {
    RawPeer peer;
    const int stream = acceptPeer(peer);
    ASSERT_TRUE(peer.sendAll(std::string(10000, 'r')));
    SDL_Event event;
    ASSERT_TRUE(awaitNet2Event(event, NET2_TCPRECEIVEEVENT));
    ASSERT_TRUE(waitUntil([&] { return net2BufferedTcp(stream) >= 4096; }));
    EXPECT_EQ(net2BufferedTcp(stream), 4096);
    char bytes[10000];
    EXPECT_EQ(net2ReadTcp(stream, bytes, sizeof(bytes)), 4096);
    int read = 4096;
    while (read < 10000 && awaitNet2Event(event, NET2_TCPRECEIVEEVENT)) {
        EXPECT_EQ(net2EventSocket(event), stream);
        ASSERT_TRUE(waitUntil([&] { return net2BufferedTcp(stream) >= std::min(4096, 10000 - read); }));
        read += net2ReadTcp(stream, bytes, sizeof(bytes));
    }
    EXPECT_EQ(read, 10000);
}

// A connect that gets no answer: sends wait for it up to 1 MiB, and it fails
// when 5000 ms have passed, not one earlier.
TEST_F(Net2, AConnectWithoutAnswerQueuesUpToItsLimitAndFailsAtFiveSeconds) {
    FakeClock clock;
    RawPeer silent;
    RawPeer live;
    const int silentPort = silent.listen(1);
    const int livePort = live.listen(1);
    HeldConnects held(silentPort);
    const int waiting = net2ConnectTcp("127.0.0.1", silentPort);
    ASSERT_GE(waiting, 0);
    const std::string mebibyte(1048576, 'q');
    EXPECT_EQ(net2SendTcp(waiting, mebibyte.data(), 1048576), 1048576);
    EXPECT_EQ(net2QueuedTcp(waiting), 1048576);

    clock.advance(4999);
    const int marker = net2ConnectTcp("127.0.0.1", livePort);  // a later slot: its pass sees the first one too
    SDL_Event event;
    bool closed = false;
    const auto markerConnected = [&] {
        while (fePoll(&event) > 0) {
            closed = closed || (net2EventKind(event) == NET2_TCPCLOSEEVENT && net2EventSocket(event) == waiting);
            if (net2EventKind(event) == NET2_CONNECTEVENT && net2EventSocket(event) == marker) return true;
        }
        return false;
    };
    ASSERT_TRUE(waitUntil(markerConnected));
    EXPECT_FALSE(closed);
    clock.advance(1);
    ASSERT_TRUE(awaitNet2Event(event, NET2_TCPCLOSEEVENT));
    EXPECT_EQ(net2EventSocket(event), waiting);

    const int another = net2ConnectTcp("127.0.0.1", silentPort);
    ASSERT_EQ(net2SendTcp(another, mebibyte.data(), 1048576), 1048576);
    EXPECT_EQ(net2SendTcp(another, "q", 1), -1);
    EXPECT_STREQ(net2LastError(), "NET2: the peer is not taking its data, expect a close event");
    ASSERT_TRUE(awaitNet2Event(event, NET2_TCPCLOSEEVENT));
    EXPECT_EQ(net2EventSocket(event), another);
}

TEST_F(Net2, AtMostEightConnectsHangAndStoppingLeavesThemToEndOnTheirOwn) {
    RawPeer silent;
    const int silentPort = silent.listen(1);
    ASSERT_TRUE(waitUntil([] { return net2HangingConnects() == 0; }));
    HeldConnects held(silentPort);
    for (int i = 0; i < 8; ++i) ASSERT_GE(net2ConnectTcp("127.0.0.1", silentPort), 0) << i;
    EXPECT_EQ(net2HangingConnects(), 8);
    EXPECT_EQ(net2ConnectTcp("127.0.0.1", silentPort), -1);
    EXPECT_STREQ(net2LastError(), "NET2: too many connects are still waiting for an answer");
    connection.stopNetworking();  // does not wait for them
    EXPECT_EQ(net2HangingConnects(), 8);
    held.release(false);
    EXPECT_TRUE(waitUntil([] { return net2HangingConnects() == 0; }));
    EXPECT_TRUE(connection.startNetworking());
}

TEST(Net2Layout, OnlySdlNetVersionsWhoseSocketsWeKnowAreTrusted) {
    for (const SDL_version known : {SDL_version{1, 2, 7}, SDL_version{1, 2, 8}}) EXPECT_TRUE(net2KnowsLayoutOf(known));
    for (const SDL_version other : {SDL_version{1, 2, 6}, SDL_version{1, 2, 9}, SDL_version{1, 3, 8},
                                    SDL_version{2, 0, 8}, SDL_version{0, 2, 8}})
        EXPECT_FALSE(net2KnowsLayoutOf(other)) << int(other.major) << "." << int(other.minor) << "." << int(other.patch);
}

TEST_F(Net2, APosterWaitingOnAFullQueueGoesOnAfterAPlainPoll) {
    ASSERT_GT(fillEventQueue(), 0);
    std::atomic<bool> waiting{false};
    std::atomic<bool> pushed{false};
    std::thread poster([&] {
        SDL_Event late = userEvent(98);
        waiting = true;
        fePush(&late);
        pushed = true;
    });
    ASSERT_TRUE(waitUntil([&] { return waiting.load(); }));
    SDL_Event event;
    ASSERT_EQ(SDL_PollEvent(&event), 1);  // makes room without telling anybody
    const bool went = waitUntil([&] { return pushed.load(); }, 3000);
    while (!pushed) fePoll(&event);  // free a stuck poster before joining
    poster.join();
    EXPECT_TRUE(went);
}
