#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "net/connection.h"
#include "net/net2.h"
#include "tests/net/net_test_support.h"

namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

std::string frame(const std::string& text) { return std::to_string(text.size() + 1) + "~" + text + '\0'; }

// Messages shaped like the game's: frames, velocities, captures, scores, star lists.
std::vector<std::string> recordedStream(size_t count) {
    std::mt19937 random(42);
    std::vector<std::string> messages;
    for (size_t i = 0; i < count; ++i) {
        const std::string number = std::to_string(static_cast<int>(random() % 40000) - 20000) + ".125";
        std::string text = std::to_string(i % 5) + "|" + number;
        for (int field = 0; field < (i % 5 == 0 ? 15 : 2); ++field) {
            text += "," + number;
        }
        if (i % 97 == 0) {
            text = "2|1000";
            for (int star = 0; star < 1000; ++star) {
                text += "," + std::to_string(random() % 200) + ",3,-7,0.5,0.25,1,0";
            }
        }
        messages.push_back(i % 211 == 0 ? "" : text);
    }
    return messages;
}

class ConnectionTest : public ::testing::Test, public EventQueueTest {
protected:
    ConnectionTest() { EXPECT_TRUE(connection.startNetworking()); }
    ~ConnectionTest() override { connection.stopNetworking(); }

    bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
        return waitUntil([&] { return connection.pumpNetEvents() && done(); }, timeoutMs);
    }

    void hostWithPeer(RawPeer& peer) {
        int port = 0;
        CaptureStderr();  // ports taken by others are reported and skipped
        for (int attempt = 0; attempt < 400 && !connection.isServer(); ++attempt) {
            connection.startServer(port = candidatePort(attempt));
        }
        GetCapturedStderr();
        ASSERT_TRUE(peer.connectTo(port));
        ASSERT_TRUE(pumpUntil([&] { return connection.peerCount() == 1; }));
    }

    std::vector<ReceivedMessage> takeInbox() {
        std::vector<ReceivedMessage> taken;
        for (ReceivedMessage message; connection.nextMessage(message); connection.dropMessage()) {
            taken.push_back(message);
        }
        return taken;
    }

    Connection connection;
};

}  // namespace

TEST_F(ConnectionTest, ClientSendsByteExactFrames) {
    CaptureStderr();
    EXPECT_FALSE(connection.send("abc", -1, false));
    EXPECT_FALSE(connection.connectTo("127.0.0.1", 1));
    EXPECT_EQ(GetCapturedStderr(), "Connect To (127.0.0.1, 1) failed\n");

    int port = 0;
    int listener = -1;
    for (int attempt = 0; attempt < 400 && listener < 0; ++attempt) {
        listener = net2ListenTcp(port = candidatePort(attempt));
    }
    Connection stored(port, "127.0.0.1");
    ASSERT_TRUE(stored.connectTo("NULL", -1));
    EXPECT_TRUE(stored.isClient());
    SDL_Event event;
    ASSERT_TRUE(awaitNet2Event(event, NET2_ACCEPTEVENT));
    const int host = net2EventSocket(event);
    EXPECT_TRUE(stored.send("abc", -1, false));
    EXPECT_TRUE(stored.send("", -1, false));
    std::string bytes;
    ASSERT_TRUE(waitUntil([&] {
        char chunk[16];
        bytes.append(chunk, static_cast<size_t>(net2ReadTcp(host, chunk, sizeof(chunk))));
        return bytes.size() >= 9;
    }));
    EXPECT_EQ(bytes, std::string("\x34\x7E\x61\x62\x63\x00" "\x31\x7E\x00", 9));
    stored.disconnect();
    EXPECT_FALSE(stored.isClient());
    EXPECT_EQ(stored.peerCount(), 0);
    EXPECT_TRUE(awaitNet2Event(event, NET2_TCPCLOSEEVENT));
}

TEST_F(ConnectionTest, ServerJoinsSplitAndBatchedFrames) {
    RawPeer peer;
    hostWithPeer(peer);
    ASSERT_TRUE(peer.sendAll(frame("abc") + frame("2|x") + "4~ab"));
    ASSERT_TRUE(pumpUntil([&] { return connection.inbox().size() == 2; }));
    pumpUntil([] { return false; }, 100);
    ASSERT_TRUE(peer.sendAll(std::string("c\0 4 ~end\0", 10)));
    ASSERT_TRUE(pumpUntil([&] { return connection.inbox().size() == 4; }));
    const std::vector<ReceivedMessage> inbox = takeInbox();
    const std::vector<std::string> texts{"abc", "2|x", "abc", "end"};
    for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(inbox[i].text, texts[i]);
        EXPECT_FALSE(inbox[i].damaged);
    }

    const int32_t sender = inbox[0].socket;
    EXPECT_FALSE(connection.send("nobody else", sender, true));
    EXPECT_TRUE(connection.send("you", sender, false));
    std::string bytes;
    EXPECT_TRUE(peer.receive(6, bytes));
    EXPECT_EQ(bytes, frame("you"));
}

TEST_F(ConnectionTest, RecordedStreamSurvivesRandomPiecesBothWays) {
    RawPeer peer;
    hostWithPeer(peer);
    const std::vector<std::string> messages = recordedStream(1500);
    std::string wire;
    for (const std::string& text : messages) {
        wire += frame(text);
    }
    std::thread sender([&] {
        std::mt19937 random(7);
        for (size_t at = 0, piece; at < wire.size(); at += piece) {
            piece = std::min<size_t>(1 + random() % 5000, wire.size() - at);
            peer.sendAll(wire.substr(at, piece));
        }
    });
    const bool all = pumpUntil([&] { return connection.inbox().size() >= messages.size(); }, 20000);
    sender.join();
    ASSERT_TRUE(all);
    const std::vector<ReceivedMessage> inbox = takeInbox();
    ASSERT_EQ(inbox.size(), messages.size());
    for (size_t i = 0; i < messages.size(); ++i) {
        ASSERT_EQ(inbox[i].text, messages[i]) << "message " << i;
        ASSERT_FALSE(inbox[i].damaged);
    }

    std::string echoed;
    std::thread reader([&] { peer.receive(wire.size(), echoed, 20000); });
    for (const std::string& text : messages) {
        connection.send(text, -1, false);
    }
    reader.join();
    EXPECT_TRUE(echoed == wire);
}

TEST_F(ConnectionTest, HostileBytesAreReportedAndGoodFramesStillArrive) {
    RawPeer peer;
    hostWithPeer(peer);
    const std::string hostile = std::string("~~junk12\0" "0~" "99999999999~x\0", 25) + "999999~" +
                                std::string(100000, 'z') + std::string("\0" "6~ab\0" "3~abcdef\0", 15);
    CaptureStderr();
    ASSERT_TRUE(peer.sendAll(hostile + frame("still") + frame("here") + "4~ab"));
    peer.close();
    const bool closed = pumpUntil([&] { return connection.peerCount() == 0; });
    const std::string errors = GetCapturedStderr();
    ASSERT_TRUE(closed);
    EXPECT_TRUE(connection.isServer());
    EXPECT_NE(errors.find("\nERROR: Failed to receive the length of a message. Lost message.\n"), std::string::npos);
    EXPECT_NE(errors.find("\nERROR: Only recieved part of a message. Partial message loss!\n"), std::string::npos);

    std::vector<std::string> good;
    std::vector<std::string> damaged;
    for (const ReceivedMessage& message : takeInbox()) {
        (message.damaged ? damaged : good).push_back(message.text);
    }
    EXPECT_EQ(good, (std::vector<std::string>{"still", "here"}));
    EXPECT_EQ(damaged, (std::vector<std::string>{"", "", "", "ab", "abc", "ab"}));
}

TEST_F(ConnectionTest, HandlesNet2EventsByKind) {
    SDL_Event event;
    std::memset(&event, 0, sizeof(event));
    event.type = SDL_KEYDOWN;
    EXPECT_TRUE(connection.handleEvent(event));
    event.type = SDL_USEREVENT;
    event.user.code = NET2_ERROREVENT;
    event.user.data1 = reinterpret_cast<void*>(5);
    event.user.data2 = const_cast<char*>("NET2: test");
    CaptureStderr();
    EXPECT_FALSE(connection.handleEvent(event));
    EXPECT_EQ(GetCapturedStderr(), "Error: NET2: test(5)\n");

    // Accepts count only while hosting, and each socket once.
    event.user.code = NET2_ACCEPTEVENT;
    EXPECT_TRUE(connection.handleEvent(event));
    EXPECT_EQ(connection.peerCount(), 0);
    RawPeer peer;
    hostWithPeer(peer);
    EXPECT_TRUE(connection.handleEvent(event));
    EXPECT_TRUE(connection.handleEvent(event));
    EXPECT_EQ(connection.peerCount(), 2);
    event.user.code = NET2_TCPCLOSEEVENT;
    EXPECT_TRUE(connection.handleEvent(event));
    EXPECT_EQ(connection.peerCount(), 1);
}
