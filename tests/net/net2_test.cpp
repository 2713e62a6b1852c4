#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>
#include <set>
#include <thread>

#include "net/net2.h"
#include "tests/net/net_test_support.h"

namespace {

class Net2 : public ::testing::Test, public NetServices {
protected:
    // A listener with one raw peer connected; returns the accepted stream.
    int acceptRawPeer(RawPeer& peer) {
        int port = 0;
        listener = listenOnFreePort(port);
        EXPECT_GE(listener, 0);
        EXPECT_TRUE(peer.connectTo(port));
        SDL_Event event;
        EXPECT_TRUE(awaitNet2Event(event, NET2_ACCEPTEVENT));
        EXPECT_EQ(net2EventPort(event), port);
        return net2EventSocket(event);
    }

    // Reads everything buffered so far.
    std::string readAll(int socket) {
        std::string bytes;
        char chunk[8192];
        for (int got = net2ReadTcp(socket, chunk, sizeof(chunk)); got > 0;
             got = net2ReadTcp(socket, chunk, sizeof(chunk))) {
            bytes.append(chunk, static_cast<size_t>(got));
        }
        return bytes;
    }

    // Leaves the network thread stuck posting a receive event into a full queue.
    void blockNetworkThread(RawPeer& peer, int stream) {
        ASSERT_GT(fillEventQueue(), 0);
        ASSERT_TRUE(peer.sendAll("x"));
        char byte = 0;
        ASSERT_TRUE(waitUntil([&] { return net2ReadTcp(stream, &byte, 1) == 1; }));
    }

    int listener = -1;
};

std::string randomBytes(size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(random() & 0xFF);
    }
    return bytes;
}

}  // namespace

TEST_F(Net2, DeliversTheByteStreamCompleteAndInOrder) {
    RawPeer peer;
    const int stream = acceptRawPeer(peer);
    EXPECT_NE(net2PeerOf(stream), nullptr);
    EXPECT_EQ(net2PeerOf(listener), nullptr);

    const std::string sent = randomBytes(60000, 1);
    std::thread sender([&] {
        std::mt19937 random(2);
        for (size_t at = 0; at < sent.size();) {
            const size_t piece = std::min<size_t>(1 + random() % 3000, sent.size() - at);
            peer.sendAll(sent.substr(at, piece));
            at += piece;
        }
    });
    std::string received;
    SDL_Event event;
    while (received.size() < sent.size() && awaitNet2Event(event, NET2_TCPRECEIVEEVENT)) {
        EXPECT_EQ(net2EventSocket(event), stream);
        received += readAll(stream);
    }
    sender.join();
    EXPECT_TRUE(received == sent);
}

TEST_F(Net2, BuffersAtMost4096BytesUntilTheApplicationReads) {
    RawPeer peer;
    const int stream = acceptRawPeer(peer);
    const std::string sent = randomBytes(10000, 3);
    ASSERT_TRUE(peer.sendAll(sent));

    SDL_Event event;
    ASSERT_TRUE(awaitNet2Event(event, NET2_TCPRECEIVEEVENT));
    EXPECT_FALSE(net2EventWithin(NET2_TCPRECEIVEEVENT, 100));  // nothing read: no second event

    // One read per event, so every event stands for at most one buffer.
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
    const int stream = acceptRawPeer(peer);
    ASSERT_TRUE(peer.sendAll("abc"));
    ASSERT_TRUE(net2EventWithin(NET2_TCPRECEIVEEVENT, 5000));
    char first = 0;
    ASSERT_EQ(net2ReadTcp(stream, &first, 1), 1);
    EXPECT_EQ(first, 'a');

    ASSERT_TRUE(peer.sendAll("def"));
    EXPECT_FALSE(net2EventWithin(NET2_TCPRECEIVEEVENT, 100));
    std::string rest;
    EXPECT_TRUE(waitUntil([&] {
        rest += readAll(stream);
        return rest.size() >= 5;
    }));
    EXPECT_EQ(rest, "bcdef");

    ASSERT_TRUE(peer.sendAll("g"));
    EXPECT_TRUE(net2EventWithin(NET2_TCPRECEIVEEVENT, 5000));
    EXPECT_EQ(readAll(stream), "g");
}

TEST_F(Net2, PeerLeavingGivesOneCloseEventAndKeepsItsBytes) {
    RawPeer peer;
    const int stream = acceptRawPeer(peer);
    ASSERT_TRUE(peer.sendAll("bye"));
    peer.close();
    SDL_Event event;
    ASSERT_TRUE(awaitNet2Event(event, NET2_TCPCLOSEEVENT));
    EXPECT_EQ(net2EventSocket(event), stream);
    EXPECT_FALSE(net2EventWithin(NET2_TCPCLOSEEVENT, 100));
    EXPECT_EQ(readAll(stream), "bye");

    EXPECT_EQ(net2SendTcp(stream, "x", 1), -1);
    EXPECT_STREQ(net2LastError(), "NET2: you can't do a TCP send on that socket");
    net2CloseTcp(stream);
}

TEST_F(Net2, RejectsMisuseOfSockets) {
    RawPeer peer;
    const int stream = acceptRawPeer(peer);
    EXPECT_EQ(net2SendTcp(stream, "x", 0), 0);
    EXPECT_EQ(net2SendTcp(listener, "x", 1), -1);
    EXPECT_STREQ(net2LastError(), "NET2: you can't do a TCP send on that socket");
    EXPECT_EQ(net2SendTcp(-1, "x", 1), -1);
    EXPECT_EQ(net2SendTcp(kNet2MaxSockets, "x", 1), -1);
    char byte;
    EXPECT_EQ(net2ReadTcp(listener, &byte, 1), 0);
    EXPECT_EQ(net2ReadTcp(stream, &byte, 0), 0);
    EXPECT_EQ(net2TakeUdpPacket(stream), nullptr);

    // Closing what is not a TCP socket does nothing.
    net2CloseTcp(-1);
    net2CloseTcp(kNet2MaxSockets + 5);
    int port = 0;
    int udp = -1;
    for (int attempt = 0; udp < 0 && attempt < 50; ++attempt) {
        udp = net2OpenUdp(port = 30000 + (listener * 13 + attempt * 101) % 20000, 512);
    }
    ASSERT_GE(udp, 0);
    net2CloseTcp(udp);
    net2CloseUdp(stream);
    EXPECT_EQ(net2SendTcp(stream, "live", 4), 4);
    std::string bytes;
    EXPECT_TRUE(peer.receive(4, bytes));

    IPaddress address;
    ASSERT_EQ(net2LookupHost(&address, "127.0.0.1", port), 0);
    ASSERT_EQ(net2SendUdp(&address, "hello", 5), 0);
    SDL_Event event;
    ASSERT_TRUE(awaitNet2Event(event, NET2_UDPRECEIVEEVENT));
    EXPECT_EQ(net2EventSocket(event), udp);
    UDPpacket* packet = net2TakeUdpPacket(udp);
    ASSERT_NE(packet, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(packet->data), static_cast<size_t>(packet->len)), "hello");
    net2ReleasePacket(packet);
    EXPECT_EQ(net2TakeUdpPacket(udp), nullptr);
    // Packets never taken are freed when the service stops.
    ASSERT_EQ(net2SendUdp(&address, "left", 4), 0);
    ASSERT_TRUE(net2EventWithin(NET2_UDPRECEIVEEVENT, 5000));
}

TEST_F(Net2, RefusesThe1025thSocketAndFindsFreedSlotsAgain) {
    RawPeer peer;
    const int stream = acceptRawPeer(peer);
    // Opened sockets wait for the stuck thread, so none is ever watched.
    blockNetworkThread(peer, stream);
    std::set<int> opened;
    for (int udp = net2OpenUdp(0, 64); udp >= 0; udp = net2OpenUdp(0, 64)) {
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

    std::set<int> reused;
    int udp = -1;
    ASSERT_TRUE(waitUntil([&] { return (udp = net2OpenUdp(0, 64)) >= 0; }));
    reused.insert(udp);
    for (int i = 0; i < 4; ++i) {
        reused.insert(net2OpenUdp(0, 64));
    }
    EXPECT_EQ(reused.size(), 5u);
    for (int index : reused) {
        EXPECT_EQ(opened.count(index), 1u) << index;
    }
}

TEST_F(Net2, RefusesPeersPastTheAcceptLimit) {
    int port = 0;
    listener = listenOnFreePort(port);
    ASSERT_GE(listener, 0);
    int lastUdp = -1;
    for (int i = 1; i < kNet2AcceptLimit; ++i) {
        lastUdp = net2OpenUdp(0, 64);
        ASSERT_GE(lastUdp, 0);
    }
    RawPeer refused;
    ASSERT_TRUE(refused.connectTo(port));
    SDL_Event event;
    ASSERT_TRUE(awaitNet2Event(event, NET2_ERROREVENT));
    EXPECT_STREQ(net2EventText(event), "NET2: a TCP accept failed");
    EXPECT_EQ(net2EventSocket(event), listener);
    EXPECT_TRUE(refused.seesEndOfStream());

    net2CloseUdp(lastUdp);
    RawPeer welcome;
    ASSERT_TRUE(welcome.connectTo(port));
    EXPECT_TRUE(awaitNet2Event(event, NET2_ACCEPTEVENT));
}

TEST_F(Net2, FailedSendDoesNotWaitForAFullQueue) {
    RawPeer peer;
    const int stream = acceptRawPeer(peer);
    blockNetworkThread(peer, stream);
    peer.resetConnection();

    std::atomic<bool> failed{false};
    std::thread sender([&] {
        for (int attempt = 0; attempt < 200 && !failed; ++attempt) {
            failed = net2SendTcp(stream, "ping", 4) == -1;
            SDL_Delay(1);
        }
    });
    const bool finished = waitUntil([&] { return failed.load(); }, 3000);
    EXPECT_TRUE(finished);
    if (!finished) {  // let a stuck sender go before joining it
        SDL_Event event;
        while (SDL_PollEvent(&event) == 1) {
        }
    }
    sender.join();
    EXPECT_STREQ(net2LastError(), "NET2: can't send TCP data, expect a close event");

    SDL_Event event;
    ASSERT_TRUE(awaitNet2Event(event, NET2_TCPCLOSEEVENT));
    EXPECT_EQ(net2EventSocket(event), stream);
    EXPECT_FALSE(net2EventWithin(NET2_TCPCLOSEEVENT, 100));
}

TEST_F(Net2, StopDiscardsPendingEventsAndEndsTheThread) {
    RawPeer peer;
    const int stream = acceptRawPeer(peer);
    blockNetworkThread(peer, stream);
    net2Stop();
    SDL_Event event;
    EXPECT_EQ(SDL_PollEvent(&event), 0);
    EXPECT_EQ(net2LastError(), nullptr);

    ASSERT_EQ(net2Start(), 0);
    RawPeer again;
    EXPECT_GE(acceptRawPeer(again), 0);
}
