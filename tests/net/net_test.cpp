// The net module: NET2 and the fast event queue under real sockets on the
// loopback interface, SDL's event queue with the dummy video driver, and the
// Connection the game talks through.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "net/connection.h"
#include "net/diagnostic_lines.h"
#include "net/fe.h"
#include "net/frame_reader.h"
#include "net/net2.h"
#include "net/send_queue.h"
#include "tests/support/waiting.h"
#include "tests/support/raw_peer.h"

namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;
using Texts = std::vector<std::string>;

// SDL_net, the fast event queue and NET2 running for one test.
class NetworkingTest : public ::testing::Test {
protected:
    NetworkingTest() {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        SDL_Init(SDL_INIT_VIDEO);
        EXPECT_TRUE(connection.startNetworking());
    }
    ~NetworkingTest() override {
        connection.stopNetworking();
        SDL_Quit();
    }

    ManualClock clock{1000};  // connects time out and diagnostics refill on it
    Connection connection{clock};
    SDL_Event event{};  // the last event a test waited for
};

// Drops SDL events until a NET2 event of `kind` arrives; false on timeout.
bool awaitNet2Event(SDL_Event& event, int kind, int timeoutMs = 5000) {
    return waitUntil([&] {
        while (fePoll(&event) > 0)
            if (event.type == SDL_USEREVENT && net2EventKind(event) == kind) return true;
        return false;
    }, timeoutMs);
}

// Connects to one port wait in their threads, as for a host that does not answer,
// until released: then they fail as if refused, or go ahead. Connects to other
// ports go ahead at once.
class HeldConnects {
public:
    explicit HeldConnects(int port) {
        std::lock_guard<std::mutex> hold(state().lock);
        state().port = port;
        state().released = false;
        ++state().round;
        net2SetOpener(open);
    }
    ~HeldConnects() {
        release(false);
        net2SetOpener(nullptr);
        for (int ms = 0; ms < 5000 && net2HangingConnects() > 0; ++ms) SDL_Delay(1);  // let their threads end
    }
    void release(bool goAhead) {
        std::lock_guard<std::mutex> hold(state().lock);
        state().released = true;
        state().goAhead = goAhead;
        state().changed.notify_all();
    }

private:
    struct State {
        std::mutex lock;
        std::condition_variable changed;
        int port = -1;
        bool released = false;
        bool goAhead = false;
        int round = 0;  // a connect held by an earlier round is never held again
    };
    static State& state() {
        static State shared;  // outlives any thread still on its way out
        return shared;
    }
    static TCPsocket open(IPaddress* address) {
        std::unique_lock<std::mutex> hold(state().lock);
        if (SDLNet_Read16(&address->port) == state().port) {
            const int round = state().round;
            state().changed.wait(hold, [round] { return state().released || state().round != round; });
            if (!state().goAhead || state().round != round) return nullptr;
        }
        hold.unlock();
        return SDLNet_TCP_Open(address);
    }
};

SDL_Event userEvent(int code) {
    SDL_Event event{};
    event.type = SDL_USEREVENT;
    event.user.code = code;
    return event;
}

int fillEventQueue() {  // with harmless user events; returns how many fitted
    SDL_Event filler = userEvent(99);
    int added = 0;
    while (SDL_PushEvent(&filler) == 0) ++added;
    return added;
}

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
        reader.addReceived(bytes.data() + at, std::min(step, bytes.size() - at));
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

    // Hands every SDL event to both Connections, as a process with two of them does.
    bool pumpBoth(Connection& other, const std::function<bool()>& done) {
        return waitUntil([&] {
            for (SDL_Event event; SDL_PollEvent(&event) == 1;) {
                connection.handleEvent(event);
                other.handleEvent(event);
            }
            connection.receivePending();
            other.receivePending();
            return done();
        });
    }

    Texts takeInbox() {  // damaged messages are marked
        Texts taken;
        for (ReceivedMessage message; connection.nextMessage(message); connection.dropMessage())
            taken.push_back((message.damaged ? "damaged:" : "") + message.text);
        return taken;
    }

};

class Net2 : public NetworkingTest {
protected:
    // Connects `peer` to a listener on a free port; returns the accepted stream.
    int acceptPeer(RawPeer& peer) {
        if (listener < 0) port = onFreePort([&](int candidate) { return (listener = net2ListenTcp(candidate)) >= 0; });
        EXPECT_TRUE(peer.connectTo(port) && awaitNet2Event(event, NET2_ACCEPTEVENT));
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

    int listener = -1, port = 0;
};

// Opens the stream, then puts another socket in the place of its descriptor, as
// an SDL_net laid out differently would have us write to some other socket.
int forgery = -1;
TCPsocket openForged(IPaddress* address) {
    TCPsocket socket = SDLNet_TCP_Open(address);
    for (int descriptor = 0; socket && descriptor < 1024; ++descriptor) {
        sockaddr_in peer{};
        socklen_t size = sizeof(peer);
        if (descriptor != forgery && getpeername(descriptor, reinterpret_cast<sockaddr*>(&peer), &size) == 0 &&
            peer.sin_family == AF_INET && peer.sin_port == address->port)
            dup2(forgery, descriptor);
    }
    return socket;
}

}  // namespace

TEST_F(Net2, RefusesPeersPastTheAcceptLimitAndThe1025thSocketAndReusesSlots) {
    RawPeer peer, refused;
    const int stream = acceptPeer(peer);
    std::set<int> opened;
    for (int udp; opened.size() + 2 < 512 && (udp = net2OpenUdp(0, 64)) >= 0;) opened.insert(udp);
    ASSERT_EQ(opened.size(), 510u);  // with the listener and the stream, 512 sockets are open
    ASSERT_TRUE(refused.connectTo(port));
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
    while (!finished && SDL_PollEvent(&event) == 1) {  // free a stuck sender before joining
    }
    sender.join();
    ASSERT_TRUE(finished);
    EXPECT_STREQ(net2LastError(), "NET2: can't send TCP data, expect a close event");
    ASSERT_TRUE(awaitNet2Event(event, NET2_TCPCLOSEEVENT));
    EXPECT_TRUE(net2EventSocket(event) == stream && !awaitNet2Event(event, NET2_TCPCLOSEEVENT, 100));
}

TEST_F(Net2, TheIdOfAClosedSocketNeverReachesTheNextSocketInItsSlot) {
    RawPeer first, second;
    const int gone = acceptPeer(first);
    net2CloseTcp(gone);
    ASSERT_TRUE(waitUntil([&] { return net2PeerOf(gone) == nullptr; }));  // its slot is free again
    const int stream = acceptPeer(second);
    EXPECT_TRUE(stream != gone && !net2IsOpen(gone) && net2SendTcp(gone, "stale", 5) == -1);
    net2CloseTcp(gone);
    ASSERT_TRUE(second.sendAll("fresh"));
    ASSERT_TRUE(awaitNet2Event(event, NET2_TCPRECEIVEEVENT) && net2EventSocket(event) == stream);
    char bytes[8];
    EXPECT_TRUE(net2ReadTcp(gone, bytes, sizeof(bytes)) == 0 && net2ReadTcp(stream, bytes, sizeof(bytes)) == 5);
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

TEST_F(Net2, AStreamBuffers4096Bytes) {
    RawPeer peer;
    const int stream = acceptPeer(peer);
    ASSERT_TRUE(peer.sendAll(std::string(10000, 'r')));
    ASSERT_TRUE(awaitNet2Event(event, NET2_TCPRECEIVEEVENT));
    ASSERT_TRUE(waitUntil([&] { return net2BufferedTcp(stream) >= 4096; }));
    EXPECT_EQ(net2BufferedTcp(stream), 4096);
    char bytes[10000];
    EXPECT_EQ(net2ReadTcp(stream, bytes, sizeof(bytes)), 4096);
}

// A connect that gets no answer: sends wait for it up to 1 MiB, and it fails
// when 5000 ms have passed, not one earlier.
TEST_F(Net2, AConnectWithoutAnswerQueuesUpToItsLimitAndFailsAtFiveSeconds) {
    RawPeer silent, live;
    const int silentPort = silent.listen(1), livePort = live.listen(1);
    HeldConnects held(silentPort);
    const int waiting = net2ConnectTcp("127.0.0.1", silentPort);
    ASSERT_GE(waiting, 0);
    const std::string mebibyte(1048576, 'q');
    EXPECT_TRUE(net2SendTcp(waiting, mebibyte.data(), 1048576) == 1048576 && net2QueuedTcp(waiting) == 1048576);

    clock.advance(4999);
    const int marker = net2ConnectTcp("127.0.0.1", livePort);  // a later slot: its pass sees the first one too
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
    ASSERT_TRUE(awaitNet2Event(event, NET2_TCPCLOSEEVENT) && net2EventSocket(event) == waiting);

    const int another = net2ConnectTcp("127.0.0.1", silentPort);
    ASSERT_EQ(net2SendTcp(another, mebibyte.data(), 1048576), 1048576);
    EXPECT_EQ(net2SendTcp(another, "q", 1), -1);
    EXPECT_STREQ(net2LastError(), "NET2: the peer is not taking its data, expect a close event");
    ASSERT_TRUE(awaitNet2Event(event, NET2_TCPCLOSEEVENT) && net2EventSocket(event) == another);
}

TEST_F(Net2, AtMostEightConnectsHangAndStoppingLeavesThemToEndOnTheirOwn) {
    RawPeer silent;
    const int silentPort = silent.listen(1);
    ASSERT_TRUE(waitUntil([] { return net2HangingConnects() == 0; }));
    HeldConnects held(silentPort);
    for (int i = 0; i < 8; ++i) ASSERT_GE(net2ConnectTcp("127.0.0.1", silentPort), 0) << i;
    EXPECT_TRUE(net2HangingConnects() == 8 && net2ConnectTcp("127.0.0.1", silentPort) == -1);
    EXPECT_STREQ(net2LastError(), "NET2: too many connects are still waiting for an answer");
    connection.stopNetworking();  // does not wait for them
    EXPECT_EQ(net2HangingConnects(), 8);
    held.release(false);
    EXPECT_TRUE(waitUntil([] { return net2HangingConnects() == 0; }) && connection.startNetworking());
}

TEST(Net2Layout, OnlySdlNetVersionsWhoseSocketsWeKnowAreTrusted) {
    for (const SDL_version known : {SDL_version{1, 2, 7}, SDL_version{1, 2, 8}}) EXPECT_TRUE(net2KnowsLayoutOf(known));
    for (const SDL_version other : {SDL_version{1, 2, 6}, SDL_version{1, 2, 9}, SDL_version{1, 3, 8},
                                    SDL_version{2, 0, 8}, SDL_version{0, 2, 8}})
        EXPECT_FALSE(net2KnowsLayoutOf(other)) << int(other.major) << "." << int(other.minor) << "." << int(other.patch);
}

TEST_F(Net2, APosterWaitingOnAFullQueueGoesOnAfterAPlainPoll) {
    ASSERT_GT(fillEventQueue(), 0);
    std::atomic<bool> waiting{false}, pushed{false};
    std::thread poster([&] {
        SDL_Event late = userEvent(98);
        waiting = true;
        fePush(&late);
        pushed = true;
    });
    ASSERT_TRUE(waitUntil([&] { return waiting.load(); }));
    ASSERT_EQ(SDL_PollEvent(&event), 1);  // makes room without telling anybody
    const bool went = waitUntil([&] { return pushed.load(); }, 3000);
    while (!pushed) fePoll(&event);  // free a stuck poster before joining
    poster.join();
    EXPECT_TRUE(went);
}

TEST(FrameReader, ReadsFramesInAnyPiecesAndRecoversFromMalformedInput) {
    const std::string big(20000, 's'), ok = frame("ok");
    const std::vector<std::pair<std::string, Texts>> cases{
        {frame("abc") + frame("") + frame(big) + std::string("0004~end\0", 9), {"abc", "", big, "end"}},
        // Noise between frames is skipped; a zero byte ends digits that came before it.
        {std::string(" 4 ~abc\0", 8), {"abc"}},
        {"xy~~" + std::string("12\0", 3) + ok, {"ok"}},
        // Lengths that are zero, do not fit 32 bits or exceed the maximum.
        {"0~" + ok, {"lost:", "ok"}},
        {std::string("99999999999~body\0", 17) + ok, {"lost:", "ok"}},
        {std::string("4294967301~abcd\0", 16) + ok, {"lost:", "ok"}},
        // 256 KiB is the largest length taken.
        {"262145~" + std::string(262144, 'x') + '\0' + ok, {"lost:", "ok"}},
        {"262144~" + std::string(262143, 'x') + '\0' + ok, {std::string(262143, 'x'), "ok"}},
        // Too short: the body runs on to a later zero. Too long: what follows its zero is read again.
        {std::string("3~abcdef\0", 9) + ok, {"damaged:abc", "ok"}},
        {std::string("6~ab\0", 5) + ok, {"damaged:ab", "ok"}},
    };
    for (const auto& [bytes, expected] : cases)
        for (size_t piece : {0, 1, 3, 4096, 5000})
            EXPECT_EQ(feed(bytes, piece), expected) << bytes.substr(0, 20) << " in pieces of " << piece;

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
    ASSERT_TRUE(all && received == messages);

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

TEST(ConnectionOffline, ListenAndConnectFailWhenNetworkingDidNotStart) {
    Connection offline(sdlClock());
    CaptureStderr();
    EXPECT_FALSE(offline.startServer(-1) || offline.connectTo("NULL", -1) || offline.send("2|!", -1, false));
    EXPECT_EQ(GetCapturedStderr(), "Create server on port (1337) failed\nConnect To (localhost, 1337) failed\n");
    EXPECT_FALSE(offline.isServer() || offline.isClient() || offline.isConnecting());
}

TEST_F(ConnectionTest, ListenerLivesOnlyWhileHostingThroughAFailedListenAndStrangersNeverReachTheGame) {
    const int port = host();
    connection.disconnect();
    ASSERT_TRUE(connection.startServer(port));  // l, o, l at once: the same port again
    connection.disconnect();
    RawPeer probe;
    ASSERT_TRUE(waitUntil([&] { return probe.refused(port); }));  // o closed it
    ASSERT_TRUE(connection.startServer(port));

    RawPeer stranger;  // connected while hosting, then this side joins another host
    ASSERT_TRUE(stranger.connectTo(port) && pumpUntil([&] { return connection.peerCount() == 1; }));
    RawPeer squatter, second;  // a listen that fails keeps the listener and its peers
    const int busy = squatter.listen(1);
    CaptureStderr();
    EXPECT_FALSE(connection.startServer(busy));
    EXPECT_EQ(GetCapturedStderr(), "Create server on port (" + std::to_string(busy) + ") failed\n");
    ASSERT_TRUE(connection.isServer() && second.connectTo(port));
    ASSERT_TRUE(pumpUntil([&] { return connection.peerCount() == 2; }));
    EXPECT_TRUE(connection.send("still here", -1, false));
    EXPECT_TRUE(waitUntil([&] { return stranger.arrived() == frame("still here"); }));
    RawPeer otherHost;
    ASSERT_TRUE(connection.connectTo("127.0.0.1", otherHost.listen(1)));
    EXPECT_FALSE(connection.isServer());
    ASSERT_TRUE(stranger.sendAll(frame("5|1,2,3") + frame("4|1,1")));
    EXPECT_TRUE(waitUntil([&] { return probe.refused(port); }));
    ASSERT_TRUE(pumpUntil([&] { return connection.peerCount() == 1; }));  // the other host
    EXPECT_TRUE(stranger.seesEndOfStream());
    pumpUntil([] { return false; }, 100);
    EXPECT_TRUE(connection.inbox().empty());
}

// The connect's timeout is NET2's, tested there.
TEST_F(ConnectionTest, AConnectInProgressHoldsSendsUpToItsLimitAndDisconnectCancelsIt) {
    RawPeer host;
    const int port = host.listen(4);
    HeldConnects held(port);
    CaptureStderr();  // 1 MiB may wait for the connect; what waits is what the line says
    ASSERT_TRUE(connection.connectTo("127.0.0.1", port));
    EXPECT_TRUE(connection.isConnecting());
    EXPECT_FALSE(connection.isClient() || connection.isServer() || connection.peerCount() > 0);
    EXPECT_TRUE(connection.send(std::string(600000, 'w'), -1, false));
    EXPECT_FALSE(connection.send(std::string(600000, 'w'), -1, false) || connection.isConnecting());
    EXPECT_NE(GetCapturedStderr().find(": it stopped taking its data (600008 bytes waiting)\n"), std::string::npos);

    CaptureStderr();
    ASSERT_TRUE(connection.connectTo("NULL", -1));
    connection.disconnect();
    EXPECT_FALSE(connection.isConnecting());
    held.release(true);  // the system answers after all: the stream is closed unused
    ASSERT_TRUE(host.accept());
    EXPECT_TRUE(host.seesEndOfStream());
    RawPeer answering;
    ASSERT_TRUE(connection.connectTo("NULL", answering.listen(1)));
    EXPECT_TRUE(connection.send("hello", -1, false));
    ASSERT_TRUE(pumpUntil([&] { return connection.isClient() && connection.peerCount() == 1; }) && answering.accept());
    EXPECT_TRUE(waitUntil([&] { return answering.arrived() == frame("hello"); }));
    EXPECT_EQ(GetCapturedStderr(), "");
}

TEST_F(ConnectionTest, EventsOfSocketsThatAreGoneNeverActOnTheirSuccessors) {
    RawPeer live, nobody;
    const int livePort = live.listen(4), refusedPort = nobody.listen(1);
    HeldConnects refusing(refusedPort);
    refusing.release(false);
    // Refused, refused again, then a live host, with the close events of the first
    // two still queued when the third starts in a slot they had.
    CaptureStderr();
    for (int attempt = 1; attempt <= 2; ++attempt) {
        ASSERT_TRUE(connection.connectTo("127.0.0.1", refusedPort));
        ASSERT_TRUE(waitUntil([&] {
            SDL_Event queued[4];
            return SDL_PeepEvents(queued, 4, SDL_PEEKEVENT, SDL_EVENTMASK(SDL_USEREVENT)) == attempt;
        }));
    }
    ASSERT_TRUE(connection.connectTo("127.0.0.1", livePort) && pumpUntil([&] { return !connection.isConnecting(); }));
    EXPECT_TRUE(connection.isClient());
    EXPECT_EQ(GetCapturedStderr(), "");
}

TEST_F(ConnectionTest, AStreamWhoseDescriptorIsNotWhereSdlNetSaysIsRefusedAndSaidOnce) {
    RawPeer host, elsewhere, otherStream;
    const int port = host.listen(4), otherPort = elsewhere.listen(1);
    ASSERT_TRUE(otherStream.connectTo(otherPort));
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);  // a local stream, like the X connection
    CaptureStderr();
    for (const int stand : {pair[0], otherStream.stream}) {
        forgery = stand;
        net2SetOpener(openForged);
        ASSERT_TRUE(connection.connectTo("127.0.0.1", port) && pumpUntil([&] { return !connection.isConnecting(); }));
        net2SetOpener(nullptr);
        EXPECT_FALSE(connection.isClient());
    }
    const std::string failed = "Connect To (127.0.0.1, " + std::to_string(port) + ") failed\n";
    const std::string errors = GetCapturedStderr();
    EXPECT_EQ(errors.find("Error: NET2: this SDL_net's TCP sockets are not laid out as expected("), 0u) << errors;
    EXPECT_EQ(errors.substr(errors.find('\n') + 1), failed + failed);
    ::close(pair[0]);
    ::close(pair[1]);
}

TEST_F(ConnectionTest, APeerThatStopsReadingIsDroppedWhileAnotherIsServed) {
    const int port = host();
    RawPeer stalled, reader;
    ASSERT_TRUE(stalled.connectTo(port) && reader.connectTo(port));
    ASSERT_TRUE(pumpUntil([&] { return connection.peerCount() == 2; }));
    const std::string big(60000, 'b');
    const size_t frameSize = frame(big).size();
    CaptureStderr();
    auto longest = std::chrono::steady_clock::duration::zero();
    for (size_t sent = 1; sent <= 1000 && connection.peerCount() == 2; ++sent) {
        const auto before = std::chrono::steady_clock::now();
        connection.send(big, -1, false);
        longest = std::max(longest, std::chrono::steady_clock::now() - before);
        connection.pumpNetEvents();
        ASSERT_TRUE(waitUntil([&] { return reader.arrived().size() >= sent * frameSize; }));  // the reader keeps up
    }
    const std::string errors = GetCapturedStderr();
    ASSERT_EQ(connection.peerCount(), 1);
    const size_t waiting = errors.find(" bytes waiting)\n");
    ASSERT_EQ(errors.find("Dropped peer 127.0.0.1:"), 0u) << errors;
    ASSERT_NE(waiting, std::string::npos) << errors;
    EXPECT_EQ(waiting + 16, errors.size()) << errors;  // one line
    const int bytesWaiting = std::stoi(errors.substr(errors.rfind('(') + 1));
    EXPECT_GT(bytesWaiting + static_cast<int>(frameSize), 1048576);  // the next frame did not fit
    EXPECT_TRUE(bytesWaiting <= 1048576 && longest < std::chrono::milliseconds(2000));
}

TEST_F(ConnectionTest, AFloodCostsBoundedWorkMemoryAndStderr) {
    RawPeer peer;
    ASSERT_TRUE(peer.connectTo(host()) && pumpUntil([&] { return connection.peerCount() == 1; }));
    std::string flood;  // lengths of zero: each is a lost message
    for (int i = 0; i < 1000; ++i) flood += "0~";
    CaptureStderr();
    ASSERT_TRUE(peer.sendAll(flood));  // a peer may have 1000 messages waiting
    ASSERT_TRUE(pumpUntil([&] { return connection.inbox().size() == 1000; }));
    EXPECT_EQ(connection.peerCount(), 1);
    ASSERT_TRUE(peer.sendAll("0~"));  // not one more
    const bool dropped = pumpUntil([&] { return connection.peerCount() == 0; });
    clock.advance(6000);
    connection.pumpNetEvents();
    const std::string errors = GetCapturedStderr();
    EXPECT_TRUE(dropped && connection.inbox().empty());  // what it sent goes with it
    const std::string lost = "\nERROR: Failed to receive the length of a message. Lost message.\n";
    EXPECT_EQ(errors.find(lost + lost + lost + "Dropped peer"), 0u) << errors;
    EXPECT_LT(errors.size(), 1000u) << errors;
    EXPECT_NE(errors.find("more 'lost length' lines left out)\n"), std::string::npos) << errors;

    RawPeer heavy;  // and 1 MiB of text waiting, not a byte more
    ASSERT_TRUE(heavy.connectTo(connection.port()));
    const std::string quarter(262000, 'h');
    ASSERT_TRUE(heavy.sendAll(frame(quarter) + frame(quarter) + frame(quarter) + frame(quarter) +
                              frame(std::string(576, 'h'))));
    ASSERT_TRUE(pumpUntil([&] { return connection.inbox().size() == 5; }));
    CaptureStderr();
    ASSERT_TRUE(heavy.sendAll(frame("h")));
    EXPECT_TRUE(pumpUntil([&] { return connection.peerCount() == 0; }));
    EXPECT_EQ(GetCapturedStderr().find("Dropped peer 127.0.0.1:"), 0u);
}

// Every kind of line a peer can provoke: three at once, then one every six
// seconds with the count of those left out; under 16 KB a minute in all.
TEST(DiagnosticLines, EachKindPrintsABurstThenOneLineEverySixSecondsAndLongTextsAreCut) {
    ManualClock clock;
    DiagnosticLines lines(clock);
    CaptureStderr();
    for (int i = 0; i < 10; ++i) lines.print(DiagnosticLines::PartialMessage, "p" + std::to_string(i) + "\n");
    clock.advance(5999);
    lines.flush();
    lines.print(DiagnosticLines::PartialMessage, "too soon\n");
    lines.print(DiagnosticLines::LostLength, "another kind\n");
    clock.advance(1);
    lines.print(DiagnosticLines::PartialMessage, "p10\n");
    clock.advance(6000);
    lines.flush();
    EXPECT_EQ(GetCapturedStderr(), "p0\np1\np2\nanother kind\n(8 more 'partial message' lines left out)\np10\n");

    const std::string longest(110, 'x');  // longer than any line a peer can provoke
    CaptureStderr();
    for (int ms = 0; ms < 60000; ms += 10, clock.advance(10)) {
        for (int kind = 0; kind < DiagnosticLines::KindCount; ++kind)
            lines.print(static_cast<DiagnosticLines::Kind>(kind), longest + "\n");
        lines.flush();
    }
    EXPECT_LT(GetCapturedStderr().size(), 16384u);

    EXPECT_EQ(DiagnosticLines::shortened("12~short text"), "12~short text");
    const std::string frameText = "100001~" + std::string(100000, 'p');
    EXPECT_EQ(DiagnosticLines::shortened(frameText), "100001~" + std::string(25, 'p') + "... (100007 bytes)");
}

TEST_F(ConnectionTest, AMessageThatCannotBeSentIsReportedByItsStartAndLength) {
    RawPeer peer;
    ASSERT_TRUE(peer.connectTo(host()) && pumpUntil([&] { return connection.peerCount() == 1; }));
    peer.close(true);
    CaptureStderr();
    const std::string text(100000, 'p');
    bool failed = false;
    for (int attempt = 0; attempt < 5000 && !failed; ++attempt, SDL_Delay(1)) failed = !connection.send(text, -1, false);
    EXPECT_TRUE(failed);
    EXPECT_EQ(GetCapturedStderr(), "\nERROR: Message could not be sent (100001~" + std::string(25, 'p') +
                                       "... (100007 bytes))\n");
}

// The connected TCP streams of this process, by whether Nagle's delay is off on them.
std::pair<int, int> streamsSendingAtOnce() {
    std::pair<int, int> found{0, 0};  // at once, delayed
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::atoi(entry.path().filename().c_str());
        sockaddr_in peer{};
        socklen_t size = sizeof(peer);
        int type = 0, noDelay = 0;
        socklen_t typeSize = sizeof(type), flagSize = sizeof(noDelay);
        if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &typeSize) != 0 || type != SOCK_STREAM ||
            getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) != 0 || peer.sin_family != AF_INET ||
            getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, &flagSize) != 0)
            continue;
        ++(noDelay ? found.first : found.second);
    }
    return found;
}

TEST_F(ConnectionTest, TwoConnectionsInOneProcessActOnlyOnTheirOwnSockets) {
    Connection guest(clock);
    ASSERT_TRUE(guest.startNetworking());
    const int port = host();
    connection.limitPeers(1, true);
    ASSERT_TRUE(guest.connectTo("127.0.0.1", port));
    ASSERT_TRUE(pumpBoth(guest, [&] { return guest.isClient() && connection.peerCount() == 1; }));
    EXPECT_EQ(streamsSendingAtOnce(), std::make_pair(2, 0));  // the connected stream and the accepted one
    EXPECT_TRUE(guest.send("1|to the host", -1, false) && connection.send("1|to the guest", -1, false));
    ASSERT_TRUE(pumpBoth(guest, [&] { return !connection.inbox().empty() && !guest.inbox().empty(); }));
    EXPECT_TRUE(connection.inbox().front().text == "1|to the host" && guest.inbox().front().text == "1|to the guest");
    SDL_Event error = userEvent(NET2_ERROREVENT);  // about the host's stream: the guest leaves it alone
    error.user.data1 = reinterpret_cast<void*>(static_cast<intptr_t>(connection.inbox().front().socket));
    error.user.data2 = const_cast<char*>("NET2: test");
    CaptureStderr();
    EXPECT_TRUE(guest.handleEvent(error) && !connection.handleEvent(error));
    EXPECT_EQ(GetCapturedStderr(), "Error: NET2: test(" + std::to_string(connection.inbox().front().socket) + ")\n");

    CaptureStderr();  // the host takes one peer, and only from this machine
    RawPeer second, remote, local;
    ASSERT_TRUE(second.connectTo(port) && pumpBoth(guest, [&] { return second.seesEndOfStream(true); }));
    guest.stopNetworking();  // NET2 goes on for the host
    ASSERT_TRUE(pumpBoth(guest, [&] { return connection.peerCount() == 0; }));
    ASSERT_TRUE(remote.connectTo(port, INADDR_LOOPBACK + 1));  // from 127.0.0.2
    ASSERT_TRUE(pumpBoth(guest, [&] { return remote.seesEndOfStream(true); }));
    ASSERT_TRUE(local.connectTo(port) && local.sendAll(frame("1|local")));
    ASSERT_TRUE(pumpBoth(guest, [&] { return !connection.inbox().empty() && connection.inbox().back().text == "1|local"; }));
    const std::string errors = GetCapturedStderr();
    EXPECT_NE(errors.find(": this game takes 1 peer\nRefused peer 127.0.0.2:"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("Refused peer 127.0.0.1:"), 0u) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 2) << errors;
}
