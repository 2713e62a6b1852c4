#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include "net/connection.h"
#include "net/frame_reader.h"
#include "net/net2.h"
#include "tests/net/net_test_support.h"

namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

std::string frame(const std::string& text) {
    return std::to_string(text.size() + 1) + "~" + text + std::string(1, '\0');
}

SDL_Event net2Event(int kind, int socket, void* data2) {
    SDL_Event event;
    std::memset(&event, 0, sizeof(event));
    event.type = SDL_USEREVENT;
    event.user.code = kind;
    event.user.data1 = reinterpret_cast<void*>(static_cast<intptr_t>(socket));
    event.user.data2 = data2;
    return event;
}

// Messages shaped like the game's: frames, velocities, star lists, captures, scores.
std::vector<std::string> recordedStream(size_t count) {
    std::mt19937 random(42);
    std::uniform_real_distribution<float> value(-200.0f, 200.0f);
    std::vector<std::string> messages;
    for (size_t i = 0; i < count; ++i) {
        std::string text;
        switch (i % 7) {
            case 0:
            case 1:
                text = "0|";
                for (int e = 0; e < 16; ++e) {
                    text += std::to_string(value(random)) + (e < 15 ? "," : "");
                }
                break;
            case 2:
                text = "1|" + std::to_string(value(random)) + "," + std::to_string(value(random)) + ",0.5";
                break;
            case 3:
                text = "3|" + std::to_string(random() % 1000);
                break;
            case 4:
                text = "4|" + std::to_string(random() % 500) + "," + std::to_string(random() % 500);
                break;
            case 5:
                text = i % 5 == 0 ? "" : "5|";
                break;
            default:
                text = "2|" + std::to_string(i % 3 == 0 ? 1000 : 10);
                for (int star = 0; star < (i % 3 == 0 ? 1000 : 10); ++star) {
                    text += "," + std::to_string(random() % 200) + ",3,-7,0.5,0.25,1,0";
                }
        }
        messages.push_back(text);
    }
    return messages;
}

class ConnectionTest : public ::testing::Test, public EventQueueTest {
protected:
    ConnectionTest() { EXPECT_TRUE(connection.startNetworking()); }
    ~ConnectionTest() override { connection.stopNetworking(); }

    bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
        return waitUntil(
            [&] {
                connection.pumpNetEvents();
                return done();
            },
            timeoutMs);
    }

    // Hosts on a free port with one raw peer joined.
    void hostWithPeer(RawPeer& peer) {
        int port = 0;
        CaptureStderr();  // ports in use by others are reported and skipped
        for (int attempt = 0; attempt < 400 && !connection.isServer(); ++attempt) {
            port = candidatePort(attempt);
            connection.startServer(port);
        }
        GetCapturedStderr();
        ASSERT_TRUE(connection.isServer());
        ASSERT_TRUE(peer.connectTo(port));
        ASSERT_TRUE(pumpUntil([&] { return connection.peerCount() == 1; }));
    }

    std::vector<ReceivedMessage> takeInbox() {
        std::vector<ReceivedMessage> taken;
        ReceivedMessage message;
        while (connection.nextMessage(message)) {
            taken.push_back(message);
            connection.dropMessage();
        }
        return taken;
    }

    Connection connection;
};

}  // namespace

TEST_F(ConnectionTest, SendsByteExactFrames) {
    CaptureStderr();
    EXPECT_FALSE(connection.send("abc", -1, false));
    EXPECT_EQ(GetCapturedStderr(), "");

    RawPeer host;
    const int port = host.listenOnAnyPort();
    ASSERT_GT(port, 0);
    ASSERT_TRUE(connection.connectTo("127.0.0.1", port));
    ASSERT_TRUE(host.acceptOne());
    EXPECT_TRUE(connection.isClient());
    EXPECT_FALSE(connection.isServer());
    ASSERT_EQ(connection.peerCount(), 1);

    std::string bytes;
    EXPECT_TRUE(connection.send("abc", -1, false));
    ASSERT_TRUE(host.receive(6, bytes));
    EXPECT_EQ(bytes, std::string("\x34\x7E\x61\x62\x63\x00", 6));
    EXPECT_TRUE(connection.send("", -1, false));
    ASSERT_TRUE(host.receive(3, bytes));
    EXPECT_EQ(bytes, std::string("\x31\x7E\x00", 3));

    connection.disconnect();
    EXPECT_FALSE(connection.isClient());
    EXPECT_EQ(connection.peerCount(), 0);
    EXPECT_TRUE(host.seesEndOfStream());
}

TEST_F(ConnectionTest, ConnectKeepsStoredValuesAndReportsFailure) {
    RawPeer host;
    const int port = host.listenOnAnyPort();
    Connection stored(port, "127.0.0.1");
    ASSERT_TRUE(stored.connectTo("NULL", -1));
    EXPECT_TRUE(host.acceptOne());
    EXPECT_EQ(stored.port(), port);
    EXPECT_EQ(stored.host(), "127.0.0.1");
    stored.disconnect();

    int closedPort = 0;
    {
        RawPeer gone;
        closedPort = gone.listenOnAnyPort();
    }
    CaptureStderr();
    EXPECT_FALSE(connection.connectTo("127.0.0.1", closedPort));
    EXPECT_EQ(GetCapturedStderr(), "Connect To (127.0.0.1, " + std::to_string(closedPort) + ") failed\n");
    EXPECT_FALSE(connection.isClient());
    EXPECT_EQ(connection.port(), closedPort);
}

TEST_F(ConnectionTest, ServerJoinsFramesSplitOrBatchedAcrossReads) {
    RawPeer peer;
    hostWithPeer(peer);
    EXPECT_TRUE(connection.isServer());

    ASSERT_TRUE(peer.sendAll(frame("abc") + frame("2|x")));
    ASSERT_TRUE(pumpUntil([&] { return connection.inbox().size() == 2; }));
    ASSERT_TRUE(peer.sendAll(std::string("\x34\x7E\x61\x62", 4)));
    pumpUntil([] { return false; }, 100);
    EXPECT_EQ(connection.inbox().size(), 2u);
    ASSERT_TRUE(peer.sendAll(std::string("\x63\x00", 2) + std::string(" 4 ~end\0", 8)));
    ASSERT_TRUE(pumpUntil([&] { return connection.inbox().size() == 4; }));

    const std::vector<ReceivedMessage> inbox = takeInbox();
    const std::vector<std::string> texts{"abc", "2|x", "abc", "end"};
    for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(inbox[i].text, texts[i]);
        EXPECT_FALSE(inbox[i].damaged);
        EXPECT_EQ(inbox[i].socket, inbox[0].socket);
    }
    ReceivedMessage none;
    EXPECT_FALSE(connection.nextMessage(none));
    connection.dropMessage();

    // Replies go to one peer, or to every peer but one.
    const int32_t sender = inbox[0].socket;
    EXPECT_FALSE(connection.send("nobody", sender, true));
    EXPECT_TRUE(connection.send("you", sender, false));
    std::string bytes;
    ASSERT_TRUE(peer.receive(6, bytes));
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
        for (size_t at = 0; at < wire.size();) {
            const size_t piece = std::min<size_t>(1 + random() % 5000, wire.size() - at);
            peer.sendAll(wire.substr(at, piece));
            at += piece;
            if (random() % 8 == 0) {
                SDL_Delay(1);
            }
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
        ASSERT_TRUE(connection.send(text, -1, false));
    }
    reader.join();
    ASSERT_TRUE(echoed == wire);
}

TEST_F(ConnectionTest, HostileBytesCostLittleAndGoodFramesStillArrive) {
    RawPeer peer;
    hostWithPeer(peer);
    const std::string hostile = "~~junk" + std::string("12\0", 3) + "0~" + "99999999999~x" + std::string(1, '\0') +
                                "999999~" + std::string(100000, 'z') + std::string(1, '\0') +
                                std::string("6~ab\0", 5) + std::string("3~abcdef\0", 9);
    CaptureStderr();
    ASSERT_TRUE(peer.sendAll(hostile + frame("still") + frame("here")));
    const bool arrived = pumpUntil([&] {
        return !connection.inbox().empty() && connection.inbox().back().text == "here";
    });
    const std::string errors = GetCapturedStderr();
    ASSERT_TRUE(arrived);
    EXPECT_NE(errors.find("\nERROR: Failed to receive the length of a message. Lost message.\n"), std::string::npos);
    EXPECT_NE(errors.find("\nERROR: Only recieved part of a message. Partial message loss!\n"), std::string::npos);

    std::vector<std::string> good;
    size_t damaged = 0;
    for (const ReceivedMessage& message : takeInbox()) {
        if (message.damaged) {
            ++damaged;
        } else {
            good.push_back(message.text);
        }
    }
    EXPECT_EQ(good, (std::vector<std::string>{"still", "here"}));
    EXPECT_EQ(damaged, 5u);  // three lost lengths, two misplaced terminators
}

TEST_F(ConnectionTest, PeerLeavingMidFrameLeavesADamagedPart) {
    RawPeer peer;
    hostWithPeer(peer);
    CaptureStderr();
    ASSERT_TRUE(peer.sendAll(frame("whole") + "4~ab"));
    peer.close();
    ASSERT_TRUE(pumpUntil([&] { return connection.peerCount() == 0; }));
    EXPECT_EQ(GetCapturedStderr(), "\nERROR: Only recieved part of a message. Partial message loss!\n");
    EXPECT_TRUE(connection.isServer());
    const std::vector<ReceivedMessage> inbox = takeInbox();
    ASSERT_EQ(inbox.size(), 2u);
    EXPECT_EQ(inbox[0].text, "whole");
    EXPECT_FALSE(inbox[0].damaged);
    EXPECT_EQ(inbox[1].text, "ab");
    EXPECT_TRUE(inbox[1].damaged);
}

TEST_F(ConnectionTest, HandlesNet2EventsByKind) {
    SDL_Event keyDown;
    std::memset(&keyDown, 0, sizeof(keyDown));
    keyDown.type = SDL_KEYDOWN;
    EXPECT_TRUE(connection.handleEvent(keyDown));

    CaptureStderr();
    EXPECT_FALSE(connection.handleEvent(net2Event(NET2_ERROREVENT, 5, const_cast<char*>("NET2: test"))));
    EXPECT_EQ(GetCapturedStderr(), "Error: NET2: test(5)\n");

    // Accepts count only while hosting, and each socket once.
    EXPECT_TRUE(connection.handleEvent(net2Event(NET2_ACCEPTEVENT, 42, nullptr)));
    EXPECT_EQ(connection.peerCount(), 0);
    RawPeer peer;
    hostWithPeer(peer);
    EXPECT_TRUE(connection.handleEvent(net2Event(NET2_ACCEPTEVENT, 42, nullptr)));
    EXPECT_TRUE(connection.handleEvent(net2Event(NET2_ACCEPTEVENT, 42, nullptr)));
    EXPECT_EQ(connection.peerCount(), 2);
    EXPECT_TRUE(connection.handleEvent(net2Event(NET2_TCPCLOSEEVENT, 42, nullptr)));
    EXPECT_EQ(connection.peerCount(), 1);
    EXPECT_TRUE(connection.handleEvent(net2Event(NET2_UDPRECEIVEEVENT, 3, nullptr)));

    connection.stopNetworking();
    connection.stopNetworking();
    EXPECT_TRUE(connection.startNetworking());
}
