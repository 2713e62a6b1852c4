// starhold-bot's own duties: hosting matches against another computer over
// loopback without a window, failing when its host cannot be reached, and its arguments.

#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <string>
#include <tuple>

#include "bot/bot_player.h"
#include "bot/bot_program.h"
#include "match/local_match.h"
#include "net/free_port.h"
#include "tests/support/waiting.h"

namespace {

class ComputerMatchTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(startHeadlessSdl()); }
    void TearDown() override { SDL_Quit(); }
};

// Where the stars are, whoever holds them: a new match puts them elsewhere.
std::string places(const PlayerState& player) {
    std::string text;
    for (const Star& s : player.stars()) text += std::to_string(s.x) + std::to_string(s.y) + std::to_string(s.z);
    return text;
}

}  // namespace

// A host bot starts the next match a while after one ends, and leaves after
// the matches it was asked for; its guest then knows its game is over.
TEST_F(ComputerMatchTest, AHostBotStartsTheNextMatchAndLeavesAfterItsLast) {
    ManualClock clock(1000);
    const GameSettings settings{5.0f, 4, 5, 10};  // four stars in an arena of 10
    BotPlayer host(clock, BotLevel::Hard, 1, settings);
    BotPlayer guest(clock, BotLevel::Easy, 2, settings);
    host.setMatchLimit(2);
    const int32_t port = freeTcpPort();
    ASSERT_TRUE(host.startNetworking() && guest.startNetworking());
    ASSERT_TRUE(host.host(port) && guest.join("127.0.0.1", port));
    uint32_t overAt = 0;
    std::string firstField;
    const auto deliver = [&] {
        for (SDL_Event event; SDL_PollEvent(&event);) {
            host.handleEvent(event);
            guest.handleEvent(event);
        }
    };
    // While the two are connected, each reads all the other sent before the clock moves on.
    const auto inStep = [&] {
        const Connection& h = host.core().network();
        const Connection& g = guest.core().network();
        return !(host.core().connected() && guest.core().connected()) ||
               (h.sentBytes() == g.receivedBytes() && g.sentBytes() == h.receivedBytes());
    };
    for (int steps = 0; steps < 60000 && !guest.finished(); ++steps) {
        clock.advance(11);
        deliver();
        host.runPass();
        guest.runPass();
        ASSERT_TRUE(waitUntil([&] {
            deliver();
            return inStep();
        }, 10000));
        if (host.matchesEnded() == 1 && overAt == 0) {
            overAt = clock.now();
            firstField = places(host.core().localPlayer());
        }
        if (overAt != 0 && host.matchesEnded() == 1) {  // between the two matches
            const bool newField = places(host.core().localPlayer()) != firstField;
            EXPECT_EQ(newField, clock.now() - overAt >= BotPlayer::kRematchDelayMs) << clock.now() - overAt;
        }
    }
    EXPECT_TRUE(guest.finished() && !guest.failed() && !host.core().connected() && host.matchesEnded() == 2);
}

TEST_F(ComputerMatchTest, ABotThatCannotReachItsHostFails) {
    ManualClock clock;
    BotPlayer bot(clock, BotLevel::Normal, 1);
    ASSERT_TRUE(bot.startNetworking());
    bot.join("127.0.0.1", freeTcpPort());  // nobody listens there
    for (int tries = 0; tries < 5000 && !bot.finished(); ++tries) {
        for (SDL_Event event; SDL_PollEvent(&event);) bot.handleEvent(event);
        bot.runPass();
        SDL_Delay(1);
    }
    EXPECT_TRUE(bot.finished() && bot.failed());
}

TEST(BotProgramTest, ReadsItsArgumentsAndNamesWhatIsWrong) {
    const std::tuple<std::vector<const char*>, BotCommand, std::string> cases[] = {
        {{"--level", "hard", "example.org", "1337"}, BotCommand::Play, ""},
        {{"--listen", "4000", "--matches", "3"}, BotCommand::Play, ""},
        {{"--help"}, BotCommand::Help, ""},
        {{"localhost"}, BotCommand::Wrong, "a host and a port are needed"},
        {{"localhost", "65536"}, BotCommand::Wrong, "not a port: 65536"},
        {{"--level", "expert", "h", "1"}, BotCommand::Wrong, "no level 'expert' (beginner, easy, normal or hard)"},
        {{"--listen"}, BotCommand::Wrong, "--listen needs a value"},
        {{"--listen", "4000", "h"}, BotCommand::Wrong, "--listen takes no host"},
        {{"-x", "h", "1"}, BotCommand::Wrong, "no option -x"},
        {{"h", "1", "2"}, BotCommand::Wrong, "too many arguments"},
    };
    for (const auto& [words, command, expected] : cases) {
        std::vector<const char*> argv = {"starhold-bot"};
        argv.insert(argv.end(), words.begin(), words.end());
        BotOptions options;
        std::string problem;
        EXPECT_EQ(parseBotArguments(static_cast<int>(argv.size()), argv.data(), options, problem), command)
            << words.front();
        EXPECT_EQ(problem, expected);
    }
    BotOptions options;
    std::string problem;
    const char* argv[] = {"starhold-bot", "--level", "easy", "10.0.0.2", "9000"};
    ASSERT_EQ(parseBotArguments(5, argv, options, problem), BotCommand::Play);
    EXPECT_TRUE(options.level == BotLevel::Easy && options.host == "10.0.0.2" && options.port == 9000);
}

// Two matches side by side in one process, each on its own clock and random
// source: the same seed and pilots give the same events and states step for step.
TEST_F(ComputerMatchTest, AMatchReplaysFromItsSeedBesideAnother) {
    Pilot hostA(BotLevel::Hard, 3), guestA(BotLevel::Normal, 4), hostB(BotLevel::Hard, 3), guestB(BotLevel::Normal, 4);
    LocalMatch a(GameSettings(), hostA, guestA, 11), b(GameSettings(), hostB, guestB, 11);
    ASSERT_TRUE(a.connect() && b.connect());
    const auto same = [](const std::vector<MatchEvent>& x, const std::vector<MatchEvent>& y) {
        return std::equal(x.begin(), x.end(), y.begin(), y.end(),
                          [](const MatchEvent& p, const MatchEvent& q) { return p.kind == q.kind && p.star == q.star; });
    };
    const auto state = [](const MatchCore& side) {
        const PlayerState& p = side.localPlayer();
        return std::to_string(p.ownStars()) + "," + std::to_string(p.ownEnergy()) + "," +
               std::to_string(p.opponentEnergy()) + "," + std::to_string(p.ship().frame.position[0]) + "," +
               std::to_string(side.remotePlayer().ship().frame.position[2]);
    };
    int captures = 0;
    for (int step = 0; step < 4000; ++step) {
        ASSERT_TRUE(a.step() && b.step());
        ASSERT_TRUE(same(a.hostEvents(), b.hostEvents()) && same(a.guestEvents(), b.guestEvents())) << "step " << step;
        ASSERT_EQ(state(a.host()) + state(a.guest()), state(b.host()) + state(b.guest())) << "step " << step;
        for (const MatchEvent& e : a.hostEvents()) captures += e.kind == MatchEvent::OwnCapture;
    }
    EXPECT_GT(captures, 5);  // the match was played, not idled
}

// Over a slow link (100 ms each way, a fifth of it jitter, a segment in fifty
// held up as a lost one holds TCP up), the host's count never leaves its own
// field, and once news of a capture has had time to arrive and be answered,
// both screens show the same owner of every star.
TEST_F(ComputerMatchTest, OverASlowLinkBothScreensShowOneMatch) {
    Pilot hostPilot(BotLevel::Hard, 3), guestPilot(BotLevel::Normal, 4);
    LinkConditions link;
    link.delayMs = 100, link.jitterMs = 20, link.heldUpShare = 0.02, link.seed = 9;
    LocalMatch match(GameSettings(), hostPilot, guestPilot, 5, link);
    ASSERT_TRUE(match.connect());
    const uint32_t answered = 3 * (link.delayMs + link.jitterMs + link.holdUpMs);  // there, back, and a batch or two
    std::vector<uint32_t> lastCapture(64, match.now());
    int captures = 0;
    for (int step = 0; step < 3000; ++step) {
        ASSERT_TRUE(match.step());
        for (const auto* events : {&match.hostEvents(), &match.guestEvents()})
            for (const MatchEvent& e : *events)
                if (e.kind == MatchEvent::OwnCapture || e.kind == MatchEvent::OpponentCapture) {
                    lastCapture[static_cast<size_t>(e.star)] = match.now();
                    captures += e.kind == MatchEvent::OwnCapture;
                }
        const std::vector<Star>& host = match.host().localPlayer().stars();
        const std::vector<Star>& guest = match.guest().localPlayer().stars();
        ASSERT_EQ(std::count_if(host.begin(), host.end(), [](const Star& s) { return s.owner == 1; }),
                  match.host().localPlayer().ownStars()) << "step " << step;
        for (size_t i = 0; i < host.size() && host.size() == guest.size(); ++i)
            ASSERT_TRUE(host[i].owner + guest[i].owner == 3 || match.now() - lastCapture[i] < answered)
                << "star " << i << " at step " << step;
    }
    EXPECT_GT(captures, 10);
}

// A link silent for 10 s is shown as silent from 2 s on, and the match goes on
// when it comes back; one silent for 15 s is given up on both sides.
TEST_F(ComputerMatchTest, AnOutageIsShownAndOnlyALongOneIsGivenUp) {
    for (const uint32_t outage : {10000u, 16000u}) {
        Pilot hostPilot(BotLevel::Hard, 3), guestPilot(BotLevel::Normal, 4);
        LinkConditions link;
        link.delayMs = 50;
        link.outages = {{4000, outage}};
        LocalMatch match(GameSettings(), hostPilot, guestPilot, 5, link);
        const uint32_t start = match.now() + 4000 - 100;  // the last word comes within a send period before
        ASSERT_TRUE(match.connect());
        uint32_t shown = 0, lost[2] = {0, 0};
        match.stepUntil(outage + 8000, [&] {
            if (shown == 0 && match.guest().silentMs() >= 2000) shown = match.now();
            for (int side = 0; side < 2; ++side)
                for (const MatchEvent& e : side ? match.guestEvents() : match.hostEvents())
                    if (e.kind == MatchEvent::LinkLost) lost[side] = match.now();
            return false;
        });
        EXPECT_TRUE(shown >= start + 2000 && shown <= start + 2200) << shown - start;
        if (outage < 15000) {
            EXPECT_TRUE(lost[0] == 0 && lost[1] == 0 && match.host().connected() && match.guest().connected());
            EXPECT_LT(match.guest().silentMs(), 100u);
        } else {
            for (uint32_t at : lost) EXPECT_TRUE(at >= start + 15000 && at <= start + 15200) << at - start;
            EXPECT_FALSE(match.host().connected() || match.guest().connected());
        }
    }
}
