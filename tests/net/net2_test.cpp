#include <gtest/gtest.h>

#include <SDL_net.h>

#include <atomic>
#include <set>
#include <thread>

#include "net/fe.h"
#include "net/net2.h"
#include "tests/net/net_test_support.h"

namespace {

class Net2 : public ::testing::Test, public EventQueueTest {
protected:
    Net2() {
        SDLNet_Init();
        feStart();
        EXPECT_EQ(net2Start(), 0);
    }
    ~Net2() override {
        net2Stop();
        feStop();
        SDLNet_Quit();
    }

    // A listener on a free port with `peer` connected; returns the accepted stream.
    int acceptPeer(RawPeer& peer) {
        for (int attempt = 0; attempt < 400 && listener < 0; ++attempt) {
            listener = net2ListenTcp(port = candidatePort(attempt));
        }
        SDL_Event event;
        EXPECT_TRUE(peer.connectTo(port));
        EXPECT_TRUE(awaitNet2Event(event, NET2_ACCEPTEVENT));
        EXPECT_EQ(net2EventPort(event), port);
        return net2EventSocket(event);
    }

    static std::string readAll(int socket) {
        std::string bytes;
        char chunk[8192];
        for (int got; (got = net2ReadTcp(socket, chunk, sizeof(chunk))) > 0;) {
            bytes.append(chunk, static_cast<size_t>(got));
        }
        return bytes;
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

}  // namespace

TEST_F(Net2, BuffersAtMost4096BytesAndResumesAfterReads) {
    RawPeer peer;
    const int stream = acceptPeer(peer);
    std::string sent(10000, '\0');
    for (size_t i = 0; i < sent.size(); ++i) {
        sent[i] = static_cast<char>(i * 7 % 251);
    }
    ASSERT_TRUE(peer.sendAll(sent));
    SDL_Event event;
    ASSERT_TRUE(awaitNet2Event(event, NET2_TCPRECEIVEEVENT));
    EXPECT_EQ(net2EventSocket(event), stream);
    EXPECT_FALSE(net2EventWithin(NET2_TCPRECEIVEEVENT, 100));

    // One read per event: each event stands for at most one full buffer.
    std::string received;
    int events = 1;
    char chunk[10000];
    for (;;) {
        const int got = net2ReadTcp(stream, chunk, sizeof(chunk));
        ASSERT_LE(got, kNet2TcpBufferSize);
        received.append(chunk, static_cast<size_t>(got));
        if (received.size() >= sent.size() || !awaitNet2Event(event, NET2_TCPRECEIVEEVENT)) {
            break;
        }
        ++events;
    }
    EXPECT_TRUE(received == sent);
    EXPECT_GE(events, 3);
}

TEST_F(Net2, RaisesReceiveEventsOnlyWhenTheBufferWasEmpty) {
    RawPeer peer;
    const int stream = acceptPeer(peer);
    ASSERT_TRUE(peer.sendAll("abc"));
    ASSERT_TRUE(net2EventWithin(NET2_TCPRECEIVEEVENT, 5000));
    char first = 0;
    ASSERT_EQ(net2ReadTcp(stream, &first, 1), 1);
    ASSERT_TRUE(peer.sendAll("def"));
    EXPECT_FALSE(net2EventWithin(NET2_TCPRECEIVEEVENT, 100));
    std::string rest;
    EXPECT_TRUE(waitUntil([&] { return (rest += readAll(stream)).size() >= 5; }));
    EXPECT_EQ(first + rest, "abcdef");
    ASSERT_TRUE(peer.sendAll("g"));
    EXPECT_TRUE(net2EventWithin(NET2_TCPRECEIVEEVENT, 5000));
}

TEST_F(Net2, PeerLeavingGivesOneCloseEventAndKeepsItsBytes) {
    RawPeer peer;
    const int stream = acceptPeer(peer);
    ASSERT_TRUE(peer.sendAll("bye"));
    peer.close();
    SDL_Event event;
    ASSERT_TRUE(awaitNet2Event(event, NET2_TCPCLOSEEVENT));
    EXPECT_EQ(net2EventSocket(event), stream);
    EXPECT_FALSE(net2EventWithin(NET2_TCPCLOSEEVENT, 100));
    EXPECT_EQ(readAll(stream), "bye");
    EXPECT_EQ(net2SendTcp(stream, "x", 1), -1);
    EXPECT_STREQ(net2LastError(), "NET2: you can't do a TCP send on that socket");
}

TEST_F(Net2, SendsAndQueuesUdpPacketsAndIgnoresWrongKinds) {
    RawPeer peer;
    const int stream = acceptPeer(peer);
    EXPECT_EQ(net2SendTcp(stream, "x", 0), 0);
    EXPECT_EQ(net2SendTcp(listener, "x", 1), -1);
    int udpPort = 0;
    int udp = -1;
    for (int attempt = 0; attempt < 400 && udp < 0; ++attempt) {
        udp = net2OpenUdp(udpPort = candidatePort(attempt), 512);
    }
    net2CloseTcp(udp);
    net2CloseTcp(-1);
    net2CloseUdp(stream);
    EXPECT_EQ(net2SendTcp(stream, "live", 4), 4);

    IPaddress address;
    ASSERT_EQ(net2LookupHost(&address, "127.0.0.1", udpPort), 0);
    ASSERT_EQ(net2SendUdp(&address, "hello", 5), 0);
    ASSERT_TRUE(net2EventWithin(NET2_UDPRECEIVEEVENT, 5000));
    UDPpacket* packet = net2TakeUdpPacket(udp);
    ASSERT_NE(packet, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(packet->data), static_cast<size_t>(packet->len)), "hello");
    net2ReleasePacket(packet);
    EXPECT_EQ(net2TakeUdpPacket(udp), nullptr);
    ASSERT_EQ(net2SendUdp(&address, "left for stop to free", 21), 0);
    EXPECT_TRUE(net2EventWithin(NET2_UDPRECEIVEEVENT, 5000));
}

TEST_F(Net2, RefusesThe1025thSocketAndFindsFreedSlotsAgain) {
    RawPeer peer;
    const int stream = acceptPeer(peer);
    blockNetworkThread(peer, stream);  // so none of the sockets below is watched yet
    std::set<int> opened;
    for (int udp; (udp = net2OpenUdp(0, 64)) >= 0;) {
        opened.insert(udp);
    }
    EXPECT_EQ(opened.size(), static_cast<size_t>(kNet2MaxSockets - 2));
    EXPECT_STREQ(net2LastError(), "NET2: out of memory");
    for (int udp : opened) {
        net2CloseUdp(udp);
    }
    SDL_Event event;
    while (SDL_PollEvent(&event) == 1) {
    }
    int udp = -1;
    ASSERT_TRUE(waitUntil([&] { return (udp = net2OpenUdp(0, 64)) >= 0; }));
    std::set<int> reused{udp, net2OpenUdp(0, 64), net2OpenUdp(0, 64)};
    EXPECT_EQ(reused.size(), 3u);
    for (int index : reused) {
        EXPECT_EQ(opened.count(index), 1u) << index;
    }
}

TEST_F(Net2, RefusesPeersPastTheAcceptLimit) {
    RawPeer first;
    acceptPeer(first);
    int lastUdp = -1;
    for (int open = 2; open < kNet2AcceptLimit; ++open) {
        ASSERT_GE(lastUdp = net2OpenUdp(0, 64), 0);
    }
    RawPeer refused;
    ASSERT_TRUE(refused.connectTo(port));
    SDL_Event event;
    ASSERT_TRUE(awaitNet2Event(event, NET2_ERROREVENT));
    EXPECT_STREQ(net2EventText(event), "NET2: a TCP accept failed");
    EXPECT_TRUE(refused.seesEndOfStream());
    net2CloseUdp(lastUdp);
    RawPeer welcome;
    EXPECT_GE(acceptPeer(welcome), 0);
}

TEST_F(Net2, FailedSendRaisesOneCloseEventWithoutWaitingForAFullQueue) {
    RawPeer peer;
    const int stream = acceptPeer(peer);
    blockNetworkThread(peer, stream);
    peer.close(true);
    std::atomic<bool> failed{false};
    std::thread sender([&] {
        for (int attempt = 0; attempt < 500 && !failed; ++attempt, SDL_Delay(1)) {
            failed = net2SendTcp(stream, "ping", 4) == -1;
        }
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
    EXPECT_FALSE(net2EventWithin(NET2_TCPCLOSEEVENT, 100));
}

TEST_F(Net2, StopDiscardsPendingEventsAndEndsTheThread) {
    RawPeer peer;
    blockNetworkThread(peer, acceptPeer(peer));
    net2Stop();
    SDL_Event event;
    EXPECT_EQ(SDL_PollEvent(&event), 0);
    EXPECT_EQ(net2LastError(), nullptr);
    ASSERT_EQ(net2Start(), 0);
    listener = -1;
    RawPeer again;
    EXPECT_GE(acceptPeer(again), 0);
}
