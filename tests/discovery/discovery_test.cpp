// Finding games on the local network: what a waiting game sends, what the
// reader lets through, the list aged by the test's own clock, and announcer and
// listener over NET2 on 127.0.0.1. Real broadcasts are tried only by the
// end-to-end test, inside network namespaces of its own.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "discovery/announcement.h"
#include "discovery/heard_games.h"
#include "discovery/lan.h"
#include "net/connection.h"
#include "tests/support/waiting.h"

namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

AnnouncementCheck check(const std::string& datagram, Announcement* read = nullptr) {
    Announcement announcement;
    const AnnouncementCheck result =
        readAnnouncement(reinterpret_cast<const uint8_t*>(datagram.data()), datagram.size(), announcement);
    if (read) *read = announcement;
    return result;
}

std::vector<std::string> targetsOf(const std::vector<HeardGame>& games) {
    std::vector<std::string> targets;
    for (const HeardGame& game : games) targets.push_back(game.name + "@" + game.target());
    return targets;
}

}  // namespace

TEST(Announcement, ReadsBackWhatIsWrittenInTheDocumentedLayout) {
    EXPECT_EQ(writeAnnouncement({1337, "alice"}), "starhold/1|1337|waiting|alice");
    const Announcement cases[] = {{1337, "alice"}, {1, "a"}, {65535, "0123456789abcdef"}, {4000, "x|y~z!"}};
    for (const Announcement& sent : cases) {
        const std::string datagram = writeAnnouncement(sent);
        Announcement read;
        EXPECT_LE(datagram.size(), kMaxAnnouncementBytes);
        ASSERT_EQ(check(datagram, &read), AnnouncementCheck::Listed) << datagram;
        EXPECT_TRUE(read.port == sent.port && read.name == sent.name) << datagram;
    }
}

TEST(Announcement, RefusesEachKindOfBadDatagramAndLeavesTheEntryAlone) {
    const std::string good = "starhold/1|1337|waiting|alice";
    const std::pair<std::string, AnnouncementCheck> cases[] = {
        {good + std::string(512 - good.size() + 1, 'a'), AnnouncementCheck::Oversized},
        {"", AnnouncementCheck::Foreign},
        {"STARHOLD/1|1337|waiting|alice", AnnouncementCheck::Foreign},
        {"xstarhold/1|1337|waiting|alice", AnnouncementCheck::Foreign},
        {"starhold/2|1337|waiting|alice", AnnouncementCheck::OtherVersion},
        {"starhold/10|1337|waiting|alice", AnnouncementCheck::OtherVersion},
        {"starhold/", AnnouncementCheck::Truncated},
        {"starhold/1|1337", AnnouncementCheck::Truncated},
        {"starhold/1|1337|waiting", AnnouncementCheck::Truncated},
        {"starhold/1|0|waiting|alice", AnnouncementCheck::BadPort},
        {"starhold/1|65536|waiting|alice", AnnouncementCheck::BadPort},
        {"starhold/1|-1|waiting|alice", AnnouncementCheck::BadPort},
        {"starhold/1|+1337|waiting|alice", AnnouncementCheck::BadPort},
        {"starhold/1|01337|waiting|alice", AnnouncementCheck::BadPort},
        {"starhold/1|99999999999|waiting|alice", AnnouncementCheck::BadPort},
        {"starhold/1||waiting|alice", AnnouncementCheck::BadPort},
        {"starhold/1|1337|playing|alice", AnnouncementCheck::BadState},
        {"starhold/1|1337|waiting|", AnnouncementCheck::BadName},
        {"starhold/1|1337|waiting|al\x1b[2Jice", AnnouncementCheck::BadName},
        {"starhold/1|1337|waiting|ali ce", AnnouncementCheck::BadName},
        {"starhold/1|1337|waiting|alice\n", AnnouncementCheck::BadName},
        {std::string("starhold/1|1337|waiting|al\0ce", 29), AnnouncementCheck::BadName},
        {"starhold/1|1337|waiting|caf\xc3\xa9", AnnouncementCheck::BadName},
        {"starhold/1|1337|waiting|" + std::string(17, 'n'), AnnouncementCheck::BadName},
    };
    for (const auto& [datagram, expected] : cases) {
        Announcement read{7, "kept"};
        Announcement untouched = read;
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(datagram.data());
        EXPECT_EQ(readAnnouncement(bytes, datagram.size(), read), expected) << datagram;
        EXPECT_TRUE(read.port == untouched.port && read.name == untouched.name) << datagram;
        EXPECT_NE(std::string(refusalText(expected)), "");
    }
    // Cut anywhere before its name, the datagram is never listed.
    for (size_t cut = 0; cut < good.size() - 5; ++cut) EXPECT_NE(check(good.substr(0, cut)), AnnouncementCheck::Listed);
}

TEST(HeardGames, OnePerAddressAndPortNewestFirstAtMostEightForgottenThreeSecondsAfterLastHeard) {
    HeardGames heard;
    const uint32_t t = 0xfffff000u;  // the clock wraps during the test
    heard.hear("10.0.0.2", {1337, "alice"}, t);
    heard.hear("10.0.0.3", {1337, "bob"}, t + 500);
    heard.hear("10.0.0.2", {4000, "carol"}, t + 1000);
    heard.hear("10.0.0.2", {1337, "alice2"}, t + 1500);  // heard again, renamed: keeps its place
    EXPECT_EQ(targetsOf(heard.current(t + 2999)),
              (std::vector<std::string>{"carol@10.0.0.2:4000", "bob@10.0.0.3:1337", "alice2@10.0.0.2:1337"}));
    EXPECT_EQ(targetsOf(heard.current(t + 3500)),
              (std::vector<std::string>{"carol@10.0.0.2:4000", "alice2@10.0.0.2:1337"}));  // bob, last at t+500
    EXPECT_EQ(targetsOf(heard.current(t + 4499)), (std::vector<std::string>{"alice2@10.0.0.2:1337"}));
    EXPECT_TRUE(heard.current(t + 4500).empty());

    // Full: a new game takes the place of the one heard longest ago.
    for (int port = 1; port <= 8; ++port) heard.hear("10.0.0.9", {port, "p" + std::to_string(port)}, 100 + port);
    heard.hear("10.0.0.9", {1, "p1"}, 200);
    heard.hear("10.0.0.9", {9, "p9"}, 201);
    const std::vector<std::string> full = targetsOf(heard.current(202));
    ASSERT_EQ(full.size(), HeardGames::kMaxGames);
    EXPECT_EQ(full.front(), "p9@10.0.0.9:9");
    EXPECT_EQ(std::count(full.begin(), full.end(), "p2@10.0.0.9:2"), 0);
    EXPECT_EQ(full.back(), "p1@10.0.0.9:1");
}

TEST(LanAnnouncer, SendsAtOnceThenOncePerPeriodAndAnewForANewPort) {
    LanAnnouncer announcer;
    EXPECT_FALSE(announcer.due(0));
    announcer.start({1337, "alice"});
    EXPECT_TRUE(announcer.due(50000));
    announcer.send({}, 50000);
    EXPECT_FALSE(announcer.due(50000 + 999));
    EXPECT_TRUE(announcer.due(50000 + 1000));
    announcer.start({1337, "alice"});  // the same: keeps its period
    EXPECT_FALSE(announcer.due(50000 + 10));
    announcer.start({4000, "alice"});
    EXPECT_TRUE(announcer.due(50000 + 10));
    announcer.stop();
    EXPECT_FALSE(announcer.due(90000));
}

// NET2 running, with a listener on a free UDP port of 127.0.0.1.
class LanTest : public ::testing::Test {
protected:
    LanTest() {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        SDL_Init(SDL_INIT_VIDEO);
        EXPECT_TRUE(connection.startNetworking());
        port = onFreePort([&](int p) {
            listener = std::make_unique<LanListener>(p);
            return listener->open();
        });
    }
    ~LanTest() override {
        listener.reset();
        connection.stopNetworking();
        SDL_Quit();
    }
    // Reads what has arrived until `done`; SDL's queue is drained as the game's loop drains it.
    bool receiveUntil(const std::function<bool()>& done) {
        return waitUntil([&] {
            SDL_Event event;
            while (SDL_PollEvent(&event)) {
            }
            listener->receive(now);
            return done();
        });
    }
    bool heard(int32_t gamePort) {
        for (const HeardGame& game : listener->games(now))
            if (game.port == gamePort) return true;
        return false;
    }

    Connection connection{sdlClock()};
    std::unique_ptr<LanListener> listener;
    int port = -1;
    uint32_t now = 1000;
};

TEST_F(LanTest, AListenerHearsAnAnnouncerAndASecondListenerFindsThePortTaken) {
    ASSERT_GT(port, 0);
    LanAnnouncer announcer(port);
    announcer.start({4321, "alice"});
    announcer.send({"127.0.0.1", "not an address"}, now);
    ASSERT_TRUE(receiveUntil([&] { return heard(4321); }));
    EXPECT_EQ(targetsOf(listener->games(now)), std::vector<std::string>{"alice@127.0.0.1:4321"});
    EXPECT_TRUE(listener->games(now + HeardGames::kForgetMs).empty());

    LanListener second(port);
    EXPECT_FALSE(second.open());
    listener->close();
    EXPECT_TRUE(listener->games(now).empty());
    EXPECT_TRUE(waitUntil([&] { return second.open(); }));  // free once NET2 has closed it
}

TEST_F(LanTest, AFloodOfBadDatagramsListsAtMostEightAndPrintsOneLinePerKind) {
    ASSERT_GT(port, 0);
    const int sender = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    auto send = [&](const std::string& datagram) {
        ::sendto(sender, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    };
    const std::string bad[] = {std::string(2000, 'x'), "GET / HTTP/1.0", "starhold/9|1|waiting|a",
                               "starhold/1|1", "starhold/1|70000|waiting|a", "starhold/1|1|gone|a",
                               "starhold/1|1|waiting|\x07"};
    CaptureStderr();
    for (int round = 0; round < 300; ++round)
        for (const std::string& datagram : bad) send(datagram);
    // Datagrams on the loopback interface keep their order, so once the last
    // game is heard, every earlier datagram has been read or dropped.
    for (int gamePort = 1; gamePort <= 20; ++gamePort) {
        const std::string game = writeAnnouncement({gamePort, "g" + std::to_string(gamePort)});
        ASSERT_TRUE(receiveUntil([&] {  // sent again until heard, as a full buffer drops it
            send(game);
            return heard(gamePort);
        })) << gamePort;
    }
    const std::string lines = GetCapturedStderr();
    const std::vector<HeardGame> games = listener->games(now);
    ASSERT_EQ(games.size(), HeardGames::kMaxGames);
    EXPECT_EQ(games.front().port, 20);
    EXPECT_EQ(games.back().port, 13);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), std::size(bad)) << lines;
    EXPECT_NE(lines.find("Ignored a datagram on UDP port " + std::to_string(port) + " from 127.0.0.1: longer than"),
              std::string::npos)
        << lines;

    CaptureStderr();  // a minute on, each kind may print again, counting those left out
    now += 60000;
    send(bad[1]);
    ASSERT_TRUE(receiveUntil([&] {
        send(writeAnnouncement({21, "last"}));
        return heard(21);
    }));
    const std::string later = GetCapturedStderr();
    ::close(sender);
    EXPECT_EQ(std::count(later.begin(), later.end(), '\n'), 1) << later;
    EXPECT_NE(later.find("not from this game (and "), std::string::npos) << later;
}
