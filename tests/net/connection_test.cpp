#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "net/frame_reader.h"
#include "tests/net/net_test_support.h"
#include "tests/support/fake_clock.h"

namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;
using Texts = std::vector<std::string>;

std::string frame(const std::string& text) { return std::to_string(text.size() + 1) + "~" + text + '\0'; }

// Hands `bytes` over in pieces of `piece` bytes (0: all at once), taking out every
// message; those only partly received and lost lengths are marked.
Texts feed(const std::string& bytes, size_t piece = 0, FrameReader* into = nullptr) {
    FrameReader fresh;
    FrameReader& reader = into ? *into : fresh;
    const char* marks[] = {"", "", "damaged:", "lost:"};  // by FrameReader::Status
    Texts out;
    std::string text;
    for (size_t at = 0, step = piece ? piece : bytes.size(); at < bytes.size(); at += step) {
        reader.append(bytes.data() + at, std::min(step, bytes.size() - at));
        for (int status; (status = reader.next(text)) != FrameReader::NoMessage;) out.push_back(marks[status] + text);
    }
    return out;
}

// Messages shaped like the game's: short state lines, now and then a whole star list or an empty text.
Texts recordedStream() {
    std::mt19937 random(42);
    Texts messages;
    for (int i = 0; i < 1500; ++i) {
        std::string text = std::to_string(i % 5);
        for (int field = 0, fields = i % 97 == 0 ? 2000 : i % 5 == 0 ? 16 : 3; field < fields; ++field)
            text += (field ? "," : "|") + std::to_string(static_cast<int>(random() % 40000) - 20000) + ".125";
        messages.push_back(i % 211 == 0 ? "" : text);
    }
    return messages;
}

class ConnectionTest : public NetworkingTest {
protected:
    bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
        return waitUntil([&] { return connection.pumpNetEvents() && done(); }, timeoutMs);
    }

    int host() {
        return onFreePort([&](int candidate) { return connection.startServer(candidate); });
    }

    Texts takeInbox() {  // damaged messages are marked
        Texts taken;
        for (ReceivedMessage message; connection.nextMessage(message); connection.dropMessage())
            taken.push_back((message.damaged ? "damaged:" : "") + message.text);
        return taken;
    }

};

}  // namespace

TEST(FrameReader, ReadsFramesInAnyPiecesAndRecoversFromMalformedInput) {
    const std::string big(20000, 's');
    const std::string ok = frame("ok");
    const std::vector<std::pair<std::string, Texts>> cases{
        {frame("abc") + frame("") + frame(big) + std::string("0004~end\0", 9), {"abc", "", big, "end"}},
        // Noise between frames is skipped; a zero byte ends digits that came before it.
        {std::string(" 4 ~abc\0", 8), {"abc"}},
        {"xy~~" + std::string("12\0", 3) + ok, {"ok"}},
        // Lengths that are zero, do not fit 32 bits or exceed the maximum.
        {"0~" + ok, {"lost:", "ok"}},
        {std::string("99999999999~body\0", 17) + ok, {"lost:", "ok"}},
        {std::string("4294967301~abcd\0", 16) + ok, {"lost:", "ok"}},
        {std::to_string(kMaxFrameLength + 1) + "~" + std::string(kMaxFrameLength, 'x') + '\0' + ok, {"lost:", "ok"}},
        // Too short: the body runs on to a later zero. Too long: what follows its zero is read again.
        {std::string("3~abcdef\0", 9) + ok, {"damaged:abc", "ok"}},
        {std::string("6~ab\0", 5) + ok, {"damaged:ab", "ok"}},
    };
    for (const auto& [bytes, expected] : cases) {
        for (size_t piece : {0, 1, 3, 4096, 5000})
            EXPECT_EQ(feed(bytes, piece), expected) << bytes.substr(0, 20) << " in pieces of " << piece;
    }

    const std::string chunk(4096, 'x');  // memory: at most one frame is ever held
    FrameReader stalled;
    feed("65536~", 0, &stalled);
    for (int i = 1; i <= 15; ++i) {  // the peer stops short of the announced length
        EXPECT_TRUE(feed(chunk, 0, &stalled).empty());
        ASSERT_EQ(stalled.heldBytes(), chunk.size() * i);
    }
    FrameReader flooded;  // an oversized body is dropped as it comes, never kept
    EXPECT_EQ(feed("999999~", 0, &flooded), Texts{"lost:"});
    for (int i = 0; i < 300; ++i) {
        feed(chunk, 0, &flooded);
        ASSERT_EQ(flooded.heldBytes(), 0u);
    }
    EXPECT_EQ(feed('\0' + frame("ok"), 0, &flooded), Texts{"ok"});
}

TEST_F(ConnectionTest, RecordedStreamSurvivesRandomPiecesBothWaysByteForByte) {
    RawPeer peer;
    ASSERT_TRUE(peer.connectTo(host()));
    const Texts messages = recordedStream();
    std::string wire;
    for (const std::string& text : messages) wire += frame(text);
    std::thread writer([&] {
        std::mt19937 random(7);
        for (size_t at = 0, piece; at < wire.size(); at += piece) {
            piece = std::min<size_t>(1 + random() % 5000, wire.size() - at);
            peer.sendAll(wire.substr(at, piece));
        }
    });
    Texts received;  // taken as the game's receive batch would, so the inbox never fills
    int32_t sender = -1;
    const bool all = pumpUntil([&] {
        sender = connection.inbox().empty() ? sender : connection.inbox().front().socket;
        const Texts taken = takeInbox();
        received.insert(received.end(), taken.begin(), taken.end());
        return received.size() >= messages.size();
    }, 20000);
    writer.join();
    ASSERT_TRUE(all);
    ASSERT_TRUE(received == messages);

    EXPECT_FALSE(connection.send("nobody else", sender, true));
    ASSERT_EQ(frame("abc") + frame(""), std::string("\x34\x7E\x61\x62\x63\x00" "\x31\x7E\x00", 9));
    std::thread reader([&] { waitUntil([&] { return peer.arrived().size() >= wire.size(); }, 20000); });
    for (size_t i = 0; i < messages.size(); ++i) connection.send(messages[i], i % 2 ? -1 : sender, false);
    reader.join();
    EXPECT_TRUE(peer.received == wire);
}

TEST_F(ConnectionTest, HostileBytesAreReportedAndGoodFramesStillArrive) {
    RawPeer peer;
    ASSERT_TRUE(peer.connectTo(host()));
    CaptureStderr();
    ASSERT_TRUE(peer.sendAll(std::string("~~junk0~3~abcdef\0", 17) + "999999~" + std::string(100000, 'z') +
                             '\0' + frame("still") + "4~ab"));
    peer.close();
    const bool closed = pumpUntil([&] { return connection.inbox().size() >= 5 && connection.peerCount() == 0; });
    const std::string errors = GetCapturedStderr();
    ASSERT_TRUE(closed);
    const std::string lost = "\nERROR: Failed to receive the length of a message. Lost message.\n";
    const std::string partial = "\nERROR: Only recieved part of a message. Partial message loss!\n";
    EXPECT_EQ(errors, lost + partial + lost + partial);
    EXPECT_EQ(takeInbox(), (Texts{"damaged:", "damaged:abc", "damaged:", "still", "damaged:ab"}));
}

TEST(ConnectionOffline, ListenAndConnectFailWhenNetworkingDidNotStartAndErrorsTakeOneLine) {
    Connection offline;
    SDL_Event error = userEvent(NET2_ERROREVENT);
    error.user.data1 = reinterpret_cast<void*>(5);
    error.user.data2 = const_cast<char*>("NET2: test");
    CaptureStderr();
    EXPECT_FALSE(offline.startServer(-1));
    EXPECT_FALSE(offline.connectTo("NULL", -1));
    EXPECT_FALSE(offline.send("2|!", -1, false));
    EXPECT_FALSE(offline.handleEvent(error));
    EXPECT_EQ(GetCapturedStderr(),
              "Create server on port (1337) failed\nConnect To (localhost, 1337) failed\nError: NET2: test(5)\n");
    EXPECT_FALSE(offline.isServer() || offline.isClient() || offline.isConnecting());
}

TEST_F(ConnectionTest, ListenerLivesOnlyWhileHostingAndStrangersNeverReachTheGame) {
    const int port = host();
    connection.disconnect();
    ASSERT_TRUE(connection.startServer(port));  // l, o, l at once: the same port again
    connection.disconnect();
    RawPeer probe;
    ASSERT_TRUE(waitUntil([&] { return !probe.connectsWithin(port, 100); }));  // o closed it
    ASSERT_TRUE(connection.startServer(port));

    RawPeer stranger;  // connected while hosting, then this side joins another host
    ASSERT_TRUE(stranger.connectTo(port));
    ASSERT_TRUE(pumpUntil([&] { return connection.peerCount() == 1; }));
    RawPeer otherHost;
    ASSERT_TRUE(connection.connectTo("127.0.0.1", otherHost.listen(1)));
    EXPECT_FALSE(connection.isServer());
    ASSERT_TRUE(stranger.sendAll(frame("5|1,2,3") + frame("4|1,1")));
    RawPeer late;
    EXPECT_TRUE(waitUntil([&] { return !late.connectsWithin(port, 100); }));
    ASSERT_TRUE(pumpUntil([&] { return connection.peerCount() == 1; }));  // the other host
    EXPECT_TRUE(stranger.seesEndOfStream());
    pumpUntil([] { return false; }, 100);
    EXPECT_TRUE(connection.inbox().empty());
}

TEST_F(ConnectionTest, HangingConnectFailsAfterFiveSecondsAndDisconnectCancelsOne) {
    FakeClock clock;
    RawPeer full;  // a listener that never accepts: once its backlog is full, SYNs go unanswered
    const int port = full.listen(0);
    std::vector<RawPeer> fillers(8);
    size_t used = 0;
    while (used < fillers.size() && fillers[used].connectsWithin(port, 200)) ++used;
    ASSERT_LT(used, fillers.size());
    CaptureStderr();
    ASSERT_TRUE(connection.connectTo("127.0.0.1", port));
    pumpUntil([] { return false; }, 200);
    EXPECT_TRUE(connection.isConnecting());
    clock.advance(kNet2ConnectTimeoutMs);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(pumpUntil([&] { return !connection.isConnecting(); }));
    const auto failedAfter = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(GetCapturedStderr(), "Connect To (127.0.0.1, " + std::to_string(port) + ") failed\n");
    EXPECT_LT(failedAfter, std::chrono::seconds(2));
    EXPECT_FALSE(connection.isClient() || connection.peerCount() > 0);

    CaptureStderr();
    ASSERT_TRUE(connection.connectTo("NULL", -1));
    connection.disconnect();
    EXPECT_FALSE(connection.isConnecting());
    clock.advance(kNet2ConnectTimeoutMs);
    pumpUntil([] { return false; }, 200);
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_FALSE(connection.isClient() || connection.isConnecting());
}

TEST_F(ConnectionTest, APeerThatStopsReadingIsDroppedWhileAnotherIsServed) {
    const int port = host();
    RawPeer stalled;
    RawPeer reader;
    ASSERT_TRUE(stalled.connectTo(port) && reader.connectTo(port));
    ASSERT_TRUE(pumpUntil([&] { return connection.peerCount() == 2; }));
    const std::string big(60000, 'b');
    std::atomic<size_t> received{0};
    std::atomic<bool> stop{false};
    std::thread drain([&] {
        while (!stop) {
            const size_t got = reader.takeArrived();
            received += got;
            if (got == 0) SDL_Delay(1);
        }
    });
    CaptureStderr();
    auto longest = std::chrono::steady_clock::duration::zero();
    int sent = 0;
    for (; sent < 1000 && connection.peerCount() == 2; ++sent) {
        const auto before = std::chrono::steady_clock::now();
        connection.send(big, -1, false);
        longest = std::max(longest, std::chrono::steady_clock::now() - before);
        connection.pumpNetEvents();
    }
    const std::string errors = GetCapturedStderr();
    EXPECT_EQ(connection.peerCount(), 1);
    EXPECT_EQ(errors.find("Dropped peer 127.0.0.1:"), 0u) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_LT(longest, std::chrono::milliseconds(500));
    const size_t expected = static_cast<size_t>(sent) * frame(big).size();
    EXPECT_TRUE(waitUntil([&] { return received >= expected; }, 10000));
    stop = true;
    drain.join();
}

TEST_F(ConnectionTest, AFloodCostsBoundedWorkMemoryAndStderr) {
    FakeClock clock;
    RawPeer peer;
    ASSERT_TRUE(peer.connectTo(host()));
    ASSERT_TRUE(pumpUntil([&] { return connection.peerCount() == 1; }));
    std::string flood;  // lengths of zero: each is a lost message
    for (int i = 0; i < 20000; ++i) flood += "0~";
    CaptureStderr();
    ASSERT_TRUE(peer.sendAll(flood));
    size_t mostQueued = 0;
    const bool dropped = pumpUntil([&] {
        mostQueued = std::max(mostQueued, connection.inbox().size());
        return connection.peerCount() == 0;
    });
    clock.advance(1000);
    connection.pumpNetEvents();
    const std::string errors = GetCapturedStderr();
    EXPECT_TRUE(dropped);
    EXPECT_LE(mostQueued, Connection::kMaxQueuedPerPeer);
    EXPECT_TRUE(connection.inbox().empty());  // what it sent goes with it
    const std::string lost = "\nERROR: Failed to receive the length of a message. Lost message.\n";
    EXPECT_EQ(errors.find(lost + lost), 0u);
    EXPECT_LT(errors.size(), 1500u) << errors;
    EXPECT_NE(errors.find("more 'lost length' lines left out)\n"), std::string::npos) << errors;
}
