// Whole matches as two players live them: a host and a guest, two match cores
// in one process talking over loopback, flown by the keys a player would hold,
// on a clock the test moves. The two run in lockstep, each step delivering all
// that was sent, so every check lands at the same moment of the match on every
// run. Every check looks at both sides.

#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <functional>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "match/local_match.h"
#include "tests/support/raw_peer.h"
#include "wire/messages.h"

namespace {

std::string frame(const std::string& text) { return std::to_string(text.size() + 1) + "~" + text + '\0'; }

size_t countOf(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// Everything the host's star list would carry.
std::string fieldText(const PlayerState& player) { return writeStarList(player.mapSize(), player.stars()); }

// The keys a player holds to fly to the spot and slow down there.
Steering towards(const PlayerState& player, const Star& spot) {
    const Ship& ship = player.ship();
    const float* p = ship.frame.position;
    Steering keys;
    const auto axis = [](float offset, float velocity, bool& more, bool& less) {
        const float wanted = std::clamp(offset, -8.0f, 8.0f);
        if (velocity < wanted - 0.2f) more = true;
        if (velocity > wanted + 0.2f) less = true;
    };
    axis(spot.x - p[0], ship.vx, keys.right, keys.left);
    axis(spot.y - p[1], ship.vy, keys.up, keys.down);
    axis(p[2] - spot.z, ship.vz, keys.forward, keys.back);  // a positive vz flies towards -z
    return keys;
}

// A place at least 3 units from every star, to wait without taking any.
Star parkingSpot(const PlayerState& player) {
    Star spot;
    for (int i = 0; i < 343; ++i) {
        spot.x = static_cast<float>(i % 7 * 3 - 9);
        spot.y = static_cast<float>(i / 7 % 7 * 3 - 9);
        spot.z = static_cast<float>(i / 49 * 3 - 9);
        if (std::none_of(player.stars().begin(), player.stars().end(), [&](const Star& s) {
                return std::hypot(s.x - spot.x, s.y - spot.y, s.z - spot.z) < 3.0f;
            }))
            break;
    }
    return spot;
}

// A test's pilot: flies to its goal and slows down there, or stops where it is.
class GoalFlier : public Flier {
public:
    Steering decide(const PlayerState& own, const PlayerState&, bool, uint32_t) override {
        const float* p = own.ship().frame.position;
        return towards(own, goal ? *goal : Star{p[0], p[1], p[2]});
    }
    std::optional<Star> goal;
};

class MatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(startHeadlessSdl());
        const GameSettings settings{5.0f, 4, 5, 10};  // four stars in a small arena: short flights
        match = std::make_unique<LocalMatch>(settings, hostFlier, guestFlier, 7);  // the same fields every run
        ASSERT_TRUE(match->listen());
    }
    void TearDown() override {
        match.reset();
        SDL_Quit();
    }

    const PlayerState& hostSide() { return match->host().localPlayer(); }
    const PlayerState& guestSide() { return match->guest().localPlayer(); }
    template <typename Done = bool (*)()>  // by default plays the whole time
    bool play(uint32_t ms, Done done = +[] { return false; }) {
        int steps = 0;
        return match->stepUntil(ms, [&] {
            if (!rawPeers.empty() && (!inStepWithRawPeers() || (++steps % 91 == 0 && !tellHost(everySecond()))))
                return true;  // gives up: a raw peer fell behind
            return done();
        });
    }
    // Raw peers of the host in place of the guest, kept in step as the guest is:
    // each step, they have read all the host sent, and it has read what they sent.
    bool inStepWithRawPeers() {
        return match->settle([&] {
            size_t got = 0;
            for (RawPeer* peer : rawPeers) got += peer->arrived().size();
            return got == match->host().network().sentBytes();
        });
    }
    bool tellHost(const std::string& bytes, RawPeer* from = nullptr) {
        const uint64_t before = match->host().network().receivedBytes();
        return (from ? from : rawPeers.front())->sendAll(bytes) &&
               match->settle([&] { return match->host().network().receivedBytes() == before + bytes.size(); });
    }
    std::vector<RawPeer*> rawPeers;
    std::function<std::string()> everySecond;  // what the first raw peer says as the match plays

    // The host flies through every star the guest holds while the guest waits
    // out of the way; then the guest loses energy until the host ends the match.
    void hostTakesTheField() {
        const Star spot = parkingSpot(guestSide());
        guestFlier.goal = spot;
        ASSERT_TRUE(play(20000, [&] {
            const Ship& ship = guestSide().ship();
            return std::hypot(ship.frame.position[0] - spot.x, ship.frame.position[1] - spot.y,
                              ship.frame.position[2] - spot.z) < 1 &&
                   std::max({std::fabs(ship.vx), std::fabs(ship.vy), std::fabs(ship.vz)}) < 0.5f;
        }));
        ASSERT_NO_FATAL_FAILURE(hostTakesEveryStar());
        ASSERT_TRUE(play(100, [&] { return mirrorsField(hostSide(), guestSide()); }));
        ASSERT_TRUE(match->playMatch(30000).ended);
    }
    // The host flies through each star it does not hold, one after another.
    void hostTakesEveryStar() {
        const auto notHeld = [&] {
            const std::vector<Star>& stars = hostSide().stars();
            return std::find_if(stars.begin(), stars.end(), [](const Star& s) { return s.owner != 1; });
        };
        for (int flights = 0; notHeld() != hostSide().stars().end(); ++flights) {
            ASSERT_LT(flights, 20);
            const size_t i = static_cast<size_t>(notHeld() - hostSide().stars().begin());
            hostFlier.goal = hostSide().stars()[i];
            ASSERT_TRUE(play(20000, [&] { return hostSide().stars()[i].owner == 1; })) << "star " << i;
        }
        hostFlier.goal.reset();
    }
    void expectClocksAgree() {
        EXPECT_LE(std::abs(hostSide().matchTime() - guestSide().matchTime()), 200)
            << hostSide().matchTime() << " against " << guestSide().matchTime();
    }
    void expectFreshMatch() {
        for (const PlayerState* side : {&hostSide(), &guestSide()}) {
            EXPECT_FALSE(side->isMatchOver());
            EXPECT_TRUE(side->ownEnergy() == 500 && side->opponentEnergy() == 500);
            EXPECT_EQ(side->ownStars(), side->starCount() / 2);
            EXPECT_LT(side->matchTime(), 200);
        }
        EXPECT_TRUE(mirrorsField(hostSide(), guestSide()));
        expectClocksAgree();
    }

    GoalFlier hostFlier, guestFlier;
    std::unique_ptr<LocalMatch> match;
};

}  // namespace

TEST_F(MatchTest, AMatchPlaysToItsEndOnBothSidesAndEveryRematchStartsAfresh) {
    ASSERT_TRUE(match->join());
    expectFreshMatch();

    // The guest takes one of the host's stars; the host hears of it at once.
    guestFlier.goal = guestSide().stars()[0];
    ASSERT_TRUE(play(20000, [&] { return guestSide().stars()[0].owner == 1; }));
    guestFlier.goal = parkingSpot(guestSide());
    ASSERT_TRUE(play(100, [&] { return hostSide().stars()[0].owner == 2; }));
    EXPECT_TRUE(mirrorsField(hostSide(), guestSide()));

    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE("match " + std::to_string(round));
        ASSERT_NO_FATAL_FAILURE(hostTakesTheField());
        for (const PlayerState* side : {&hostSide(), &guestSide()}) {
            EXPECT_TRUE(side->isMatchOver());
            EXPECT_GE(side->ownEnergy(), 0);
            EXPECT_GE(side->opponentEnergy(), 0);
        }
        EXPECT_TRUE(hostSide().ownEnergy() > 0 && hostSide().opponentEnergy() == 0);
        EXPECT_TRUE(guestSide().ownEnergy() == 0 && guestSide().opponentEnergy() == hostSide().ownEnergy());
        EXPECT_GT(hostSide().matchTime(), 20000);  // at most 25 a second from 500
        expectClocksAgree();

        // Over means over: the frozen times stay, and only the host starts the next.
        const int32_t hostTime = hostSide().matchTime();
        const int32_t guestTime = guestSide().matchTime();
        const std::string guestField = fieldText(guestSide());
        EXPECT_TRUE(match->guest().joinedToHost());
        EXPECT_FALSE(match->guest().startNewMatch());
        play(3000);
        EXPECT_TRUE(hostSide().matchTime() == hostTime && guestSide().matchTime() == guestTime);
        EXPECT_EQ(fieldText(guestSide()), guestField);

        ASSERT_TRUE(match->rematch());
        expectFreshMatch();
        play(1500);  // a second and more of the new match: nothing ends it yet
        EXPECT_FALSE(hostSide().isMatchOver() || guestSide().isMatchOver());
    }
}

TEST_F(MatchTest, ClocksAgreeFromTheMomentTheGuestHasTheFieldHoweverLongTheHostWaited) {
    play(6700);
    EXPECT_GT(hostSide().matchTime(), 6000);
    ASSERT_TRUE(match->join());
    expectFreshMatch();
    play(2000);
    expectClocksAgree();
    EXPECT_TRUE(hostSide().ownEnergy() == 500 && guestSide().ownEnergy() == 500);
}

TEST_F(MatchTest, ListeningAgainChangesNothingAndAFailedListenLeavesTheField) {
    ASSERT_TRUE(match->join());
    hostFlier.goal = hostSide().stars().back();
    ASSERT_TRUE(play(20000, [&] { return hostSide().stars().back().owner == 1; }));
    hostFlier.goal.reset();
    play(2000);
    const std::string field = fieldText(hostSide());
    const std::string score = writeScore(hostSide().score());
    const int32_t time = hostSide().matchTime();

    EXPECT_TRUE(match->host().host(match->port()));  // the port already hosted
    RawPeer squatter;
    const int busy = squatter.listen(1);
    EXPECT_FALSE(match->host().host(busy));
    EXPECT_TRUE(fieldText(hostSide()) == field && writeScore(hostSide().score()) == score);
    EXPECT_EQ(hostSide().matchTime(), time);
    EXPECT_EQ(match->host().hostedPort(), match->port());
    EXPECT_TRUE(match->host().connected() && match->guest().joinedToHost());

    match->host().leave();  // alone, a new listen starts a fresh match
    ASSERT_TRUE(match->settle([&] { return !match->guest().connected(); }));
    ASSERT_NO_FATAL_FAILURE(hostTakesEveryStar());  // alone: the last star ends the match
    ASSERT_TRUE(hostSide().isMatchOver());
    ASSERT_TRUE(match->host().host(match->port()));
    EXPECT_FALSE(hostSide().isMatchOver());
    EXPECT_NE(fieldText(hostSide()), field);
    EXPECT_EQ(hostSide().ownStars(), hostSide().starCount() / 2);
}

TEST_F(MatchTest, AGuestWhoseHostLeftStartsItsOwnMatches) {
    ASSERT_TRUE(match->join());
    const std::string field = fieldText(guestSide());
    EXPECT_FALSE(match->guest().startNewMatch());
    EXPECT_EQ(fieldText(guestSide()), field);
    match->host().leave();
    ASSERT_TRUE(match->settle([&] { return !match->guest().connected(); }));
    EXPECT_FALSE(match->guest().joinedToHost());
    EXPECT_TRUE(match->guest().startNewMatch());
    EXPECT_NE(fieldText(guestSide()), field);
    EXPECT_TRUE(guestSide().ownStars() == 0 && !guestSide().isMatchOver());
}

// A guest of the game from before hello, ping and pong: its notice for a star it
// holds already changes nothing and brings the true owners at once, as does one
// that crossed the owners on their way; a connection that comes while it plays
// only watches; and it plays the match to its end.
TEST_F(MatchTest, AGuestOfTheEarlierVersionPlaysAWholeMatchAndLaterConnectionsOnlyWatch) {
    RawPeer old, watcher;
    rawPeers = {&old};
    everySecond = [] { return frame("0|1,0,0,0,0,1,0,0,0,0,1,0,-5,0,0,1") + frame("1|0,0,0"); };
    ASSERT_TRUE(old.connectTo(match->port()) && tellHost(frame("2|!")));
    ASSERT_TRUE(play(100, [&] { return old.received.find("~2|") != std::string::npos; }));
    const auto owners = [&] { return countOf(old.received, "~4|"); };
    const int32_t held = hostSide().ownStars();
    ASSERT_TRUE(tellHost(frame("3|0")) && play(50, [&] { return hostSide().ownStars() == held - 1; }));
    const size_t sent = owners();
    ASSERT_TRUE(tellHost(frame("3|0")));  // its own already: nothing changes, the owners come at once
    ASSERT_TRUE(play(50, [&] { return owners() > sent; }));
    ASSERT_TRUE(play(12000, [&] { return owners() > sent + 1; }));  // the next periodic ones
    ASSERT_TRUE(tellHost(frame("3|1")));  // sent before those owners reached it
    ASSERT_TRUE(play(50, [&] { return owners() > sent + 2; }));
    EXPECT_TRUE(hostSide().ownStars() == held - 2 && old.received.rfind("~4|2,2,") != std::string::npos);

    ASSERT_TRUE(watcher.connectTo(match->port()) && match->settle([&] { return match->host().network().peerCount() == 2; }));
    rawPeers.push_back(&watcher);
    ASSERT_TRUE(tellHost(frame("2|!") + frame("3|2") + frame("0|1,0,0,0,0,1,0,0,0,0,1,0,5,0,0,1"), &watcher));
    ASSERT_TRUE(play(100, [&] { return watcher.received.find("~2|") != std::string::npos; }));
    EXPECT_EQ(hostSide().ownStars(), held - 2);  // the watcher's notice changed nothing
    EXPECT_NEAR(match->host().remotePlayer().ship().frame.position[0], -5, 0.01f);  // nor did its ship

    ASSERT_NO_FATAL_FAILURE(hostTakesEveryStar());
    ASSERT_TRUE(play(30000, [&] { return hostSide().isMatchOver(); }));
    EXPECT_EQ(hostSide().opponentEnergy(), 0);
    ASSERT_TRUE(play(50, [&] { return old.received.find(",0\0", old.received.rfind("~5|")) != std::string::npos; }));
    EXPECT_TRUE(match->host().connected() && match->host().friendVersion() == 1);
    EXPECT_NE(watcher.received.find("~5|"), std::string::npos);  // it is sent what the guest is sent
}

// A guest says hello again when it has taken the host's field: a notice that
// comes before that was sent on the field before, and changes nothing.
TEST_F(MatchTest, ANoticeSentBeforeTheGuestTookTheFieldIsOfTheFieldBefore) {
    RawPeer guest;
    rawPeers = {&guest};
    everySecond = [] { return frame("1|0,0,0"); };
    ASSERT_TRUE(guest.connectTo(match->port()) && tellHost(frame("6|starhold,2") + frame("2|!")));
    ASSERT_TRUE(play(100, [&] { return guest.received.find("~2|") != std::string::npos; }));
    const int32_t held = hostSide().ownStars();
    ASSERT_TRUE(tellHost(frame("3|0")));
    play(100);
    EXPECT_EQ(hostSide().ownStars(), held);
    ASSERT_TRUE(tellHost(frame("6|starhold,2") + frame("3|0")));
    play(100);
    EXPECT_EQ(hostSide().ownStars(), held - 1);
    ASSERT_TRUE(match->host().startNewMatch() && tellHost(frame("3|1")));  // on its way as the field left
    play(100);
    EXPECT_EQ(hostSide().ownStars(), hostSide().starCount() / 2);
}
