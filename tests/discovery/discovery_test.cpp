// Games on the local network: the datagram, the list on the test's clock, and
// both ends on 127.0.0.1 (real broadcasts: the end-to-end test, in namespaces).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "discovery/lan.h"
#include "net/connection.h"
#include "net/net2.h"
#include "tests/support/waiting.h"

namespace {

AnnouncementCheck check(const std::string& datagram, Announcement& read) {
    return readAnnouncement(reinterpret_cast<const uint8_t*>(datagram.data()), datagram.size(), read);
}

std::vector<std::string> targetsOf(const std::vector<HeardGame>& games) {
    std::vector<std::string> targets;
    for (const HeardGame& game : games) targets.push_back(game.name + "@" + game.target());
    return targets;
}

}  // namespace

TEST(Announcement, ReadsBackWhatIsWrittenAndRefusesEachKindOfBadDatagramUntouched) {
    EXPECT_EQ(writeAnnouncement({1337, "alice"}), "starhold/1|1337|waiting|alice");
    Announcement read;  // the fuzz harness reads back every datagram it finds listed
    EXPECT_EQ(check(writeAnnouncement({65535, "0123456789abcdef"}), read), AnnouncementCheck::Listed);
    EXPECT_TRUE(read.port == 65535 && read.name == "0123456789abcdef");
    using C = AnnouncementCheck;
    const std::pair<std::string, C> cases[] = {
        {"starhold/1|1337|waiting|" + std::string(489, 'a'), C::Oversized}, {"STARHOLD/1|1|waiting|a", C::Foreign},
        {"starhold/2|1337|waiting|a", C::OtherVersion}, {"starhold/1|1337|waiting", C::Truncated},
        {"starhold/1|0|waiting|a", C::BadPort},   {"starhold/1|65536|waiting|a", C::BadPort},
        {"starhold/1|01|waiting|a", C::BadPort},  {"starhold/1|1337|playing|a", C::BadState},
        {"starhold/1|1|waiting|", C::BadName},    {"starhold/1|1|waiting|a\x1b[2J", C::BadName},
        {"starhold/1|1|waiting|a b", C::BadName}, {"starhold/1|1|waiting|" + std::string(17, 'n'), C::BadName},
    };
    for (const auto& [datagram, expected] : cases) {
        read = {7, "kept"};
        EXPECT_EQ(check(datagram, read), expected) << datagram;
        EXPECT_TRUE(read.port == 7 && read.name == "kept" && *refusalText(expected) != 0) << datagram;
    }
}

TEST(HeardGames, OnePerAddressAndPortNewestFirstAtMostEightForgottenThreeSecondsAfterLastHeard) {
    HeardGames heard;
    const uint32_t t = 0xfffff000u;  // the clock wraps during the test
    heard.hear("10.0.0.2", {1337, "alice"}, t);
    heard.hear("10.0.0.3", {1337, "bob"}, t + 500);
    heard.hear("10.0.0.2", {1337, "alice2"}, t + 1500);  // heard again, renamed: keeps its place
    EXPECT_EQ(targetsOf(heard.current(t + 3499)),
              (std::vector<std::string>{"bob@10.0.0.3:1337", "alice2@10.0.0.2:1337"}));
    EXPECT_EQ(targetsOf(heard.current(t + 3500)), (std::vector<std::string>{"alice2@10.0.0.2:1337"}));
    EXPECT_TRUE(heard.current(t + 4500).empty());

    for (int port = 1; port <= 8; ++port) heard.hear("10.0.0.9", {port, "p"}, 100 + port);
    heard.hear("10.0.0.9", {1, "p"}, 200);
    heard.hear("10.0.0.9", {9, "p"}, 201);
    const std::vector<std::string> full = targetsOf(heard.current(202));  // p2, heard longest ago, gave way
    EXPECT_TRUE(full.size() == 8 && full.front() == "p@10.0.0.9:9" && full[6] == "p@10.0.0.9:3" &&
                full.back() == "p@10.0.0.9:1");
}

// NET2 running, with a listener on a free UDP port of 127.0.0.1.
class LanTest : public ::testing::Test {
protected:
    LanTest() {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        SDL_Init(SDL_INIT_VIDEO);
        EXPECT_TRUE(connection.startNetworking());
        port = onFreePort([&](int p) { return (listener = std::make_unique<LanListener>(p))->open(); });
        net2LookupHost(&to, "127.0.0.1", port);
    }
    ~LanTest() override {
        listener.reset();
        connection.stopNetworking();
        SDL_Quit();
    }
    void send(const std::string& datagram) { net2SendUdp(&to, datagram.data(), static_cast<int>(datagram.size())); }
    // Reads until the game of `gamePort` is heard, sent again meanwhile (a full buffer
    // drops it); loopback keeps the order, so all sent before are read or dropped.
    bool hearGame(int32_t gamePort, bool resend = true) {
        return waitUntil([&] {
            if (resend) send(writeAnnouncement({gamePort, "g"}));
            for (SDL_Event event; SDL_PollEvent(&event);) {
            }
            listener->receive(now);
            const std::vector<HeardGame> games = listener->games(now);
            return std::any_of(games.begin(), games.end(), [&](const HeardGame& g) { return g.port == gamePort; });
        });
    }

    Connection connection{sdlClock()};
    std::unique_ptr<LanListener> listener;
    int port = -1;
    IPaddress to{};
    uint32_t now = 1000;
};

TEST_F(LanTest, HearsAnAnnouncerListsAtMostEightOfAFloodPrintsOneLinePerKindAMinuteAndHoldsItsPort) {
    LanAnnouncer announcer(port);
    announcer.start({4321, "alice"});
    EXPECT_TRUE(announcer.due(now));  // at once, then once a period while the same is announced
    announcer.send({"127.0.0.1", "not an address"}, now);
    announcer.start({4321, "alice"});
    EXPECT_TRUE(!announcer.due(now + 999) && announcer.due(now + 1000) && (announcer.stop(), !announcer.due(now + 1000)));
    ASSERT_TRUE(hearGame(4321, false));
    EXPECT_EQ(targetsOf(listener->games(now)), std::vector<std::string>{"alice@127.0.0.1:4321"});
    const std::string bad[] = {std::string(2000, 'x'), "GET / HTTP/1.0", "starhold/1|70000|waiting|a",
                               "starhold/1|1|waiting|\x07"};
    testing::internal::CaptureStderr();
    for (int round = 0; round < 500; ++round) send(bad[round % 4]);
    for (int gamePort = 1; gamePort <= 20; ++gamePort) ASSERT_TRUE(hearGame(gamePort)) << gamePort;
    EXPECT_EQ(listener->games(now).size(), HeardGames::kMaxGames);
    now += 60000;  // a minute on, a kind prints again, counting those left out
    send(bad[1]);
    ASSERT_TRUE(hearGame(21));
    const std::string lines = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 5) << lines;
    EXPECT_NE(lines.find("port " + std::to_string(port) + " from 127.0.0.1: not from this game (and "), std::string::npos);
    LanListener second(port);
    EXPECT_FALSE(second.open());
    listener->close();
    EXPECT_TRUE(waitUntil([&] { return second.open(); }));  // free once NET2 has closed it
}
