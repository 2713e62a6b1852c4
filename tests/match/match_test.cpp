// Whole matches as two players live them: a host and a guest, two match cores
// in one process talking over loopback, flown by the keys a player would hold,
// on a clock the test moves. Every check looks at both sides.
//
// Game time moves only in play(), a pass at a time. Waiting for what the other
// side was sent (settle) moves it a millisecond per try, so a message that is
// due at a moment is checked at that moment, whatever the machine's load.

#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "match/match_core.h"
#include "tests/net/net_test_support.h"
#include "tests/support/fake_clock.h"

namespace {

// The keys a player holds to fly to (x, y, z) and slow down there.
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

// The keys a player holds to bring the ship to a stop where it is.
Steering stopped(const PlayerState& player) {
    const Ship& ship = player.ship();
    Steering keys;
    keys.left = ship.vx > 0.2f;
    keys.right = ship.vx < -0.2f;
    keys.down = ship.vy > 0.2f;
    keys.up = ship.vy < -0.2f;
    keys.back = ship.vz > 0.2f;
    keys.forward = ship.vz < -0.2f;
    return keys;
}

// The same stars in the same places, each held by the other side.
bool mirrored(const PlayerState& a, const PlayerState& b) {
    if (a.stars().size() != b.stars().size() || a.mapSize() != b.mapSize()) return false;
    for (size_t i = 0; i < a.stars().size(); ++i) {
        const Star& s = a.stars()[i];
        const Star& t = b.stars()[i];
        if (s.x != t.x || s.y != t.y || s.z != t.z) return false;
        if (!((s.owner == 1 && t.owner == 2) || (s.owner == 2 && t.owner == 1))) return false;
    }
    return true;
}

class MatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);  // SDL's event queue, no window
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
        GameSettings settings;
        settings.minStars = 4;  // four stars in a small arena: short flights
        settings.maxStars = 5;
        settings.mapDimensions = 10;
        host = std::make_unique<MatchCore>();
        guest = std::make_unique<MatchCore>();
        host->configure(settings);
        guest->configure(settings);
        ASSERT_TRUE(host->startNetworking());
        std::srand(7);  // the same fields every run
        port = onFreePort([this](int candidate) { return host->host(candidate); });
        ASSERT_NE(port, -1);
    }
    void TearDown() override {
        guest.reset();
        host.reset();
        SDL_Quit();
    }

    PlayerState& hostSide() { return host->localPlayer(); }
    PlayerState& guestSide() { return guest->localPlayer(); }

    // One pass of each side at the present time.
    void pass() {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            host->handleEvent(event);
            if (!(event.type == SDL_USEREVENT && net2EventKind(event) == NET2_ACCEPTEVENT)) guest->handleEvent(event);
        }
        const Steering hostKeys = hostGoal ? towards(hostSide(), *hostGoal) : stopped(hostSide());
        const Steering guestKeys = guestGoal ? towards(guestSide(), *guestGoal) : stopped(guestSide());
        host->runPass(&hostKeys);
        guest->runPass(&guestKeys);
    }
    // Waits, a millisecond of game time per try, for what one side sent the other.
    bool settle(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (pass(); !done(); pass()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            clock.advance(1);
            SDL_Delay(1);
        }
        return true;
    }
    // Plays on, a pass every 11 ms of game time, until `done` or `ms` have gone by.
    bool play(int ms, const std::function<bool()>& done = [] { return false; }) {
        for (int t = 0; t < ms; t += 11) {
            if (done()) return true;
            clock.advance(11);
            pass();
        }
        return done();
    }
    bool joinTheHost() {
        return guest->join("127.0.0.1", port) && settle([&] { return mirrored(hostSide(), guestSide()); });
    }
    // The host flies through every star the guest holds, then the guest loses
    // energy until the host ends the match; then the guest hears of it.
    void hostTakesTheField() {
        guestGoal = parkingSpot(guestSide());
        const auto notHeld = [&] {
            const std::vector<Star>& stars = hostSide().stars();
            return std::find_if(stars.begin(), stars.end(), [](const Star& s) { return s.owner != 1; });
        };
        for (int flights = 0; notHeld() != hostSide().stars().end(); ++flights) {
            ASSERT_LT(flights, 20);
            const size_t i = static_cast<size_t>(notHeld() - hostSide().stars().begin());
            hostGoal = hostSide().stars()[i];
            ASSERT_TRUE(play(20000, [&] { return hostSide().stars()[i].owner == 1; })) << "star " << i;
        }
        hostGoal.reset();
        ASSERT_TRUE(settle([&] { return mirrored(hostSide(), guestSide()); }));
        ASSERT_TRUE(play(30000, [&] { return hostSide().isMatchOver(); }))
            << hostSide().scoreText() << " " << hostSide().ownersText() << " " << host->connected();
        ASSERT_TRUE(settle([&] { return guestSide().isMatchOver(); }));
    }
    void expectClocksAgree() {
        EXPECT_LE(std::abs(hostSide().matchTime() - guestSide().matchTime()), 200)
            << hostSide().matchTime() << " against " << guestSide().matchTime();
    }
    void expectFreshMatch() {
        for (PlayerState* side : {&hostSide(), &guestSide()}) {
            EXPECT_FALSE(side->isMatchOver());
            EXPECT_TRUE(side->ownEnergy() == 500 && side->opponentEnergy() == 500);
            EXPECT_EQ(side->ownStars(), side->starCount() / 2);
            EXPECT_LT(side->matchTime(), 200);
        }
        EXPECT_TRUE(mirrored(hostSide(), guestSide()));
        expectClocksAgree();
    }

    FakeClock clock;
    std::unique_ptr<MatchCore> host;
    std::unique_ptr<MatchCore> guest;
    std::optional<Star> hostGoal;  // where each side flies to; none: it stops where it is
    std::optional<Star> guestGoal;
    int port = -1;
};

}  // namespace

TEST_F(MatchTest, AMatchPlaysToItsEndOnBothSidesAndEveryRematchStartsAfresh) {
    ASSERT_TRUE(joinTheHost());
    expectFreshMatch();

    // The guest takes one of the host's stars; the host hears of it at once.
    guestGoal = guestSide().stars()[0];
    ASSERT_TRUE(play(20000, [&] { return guestSide().stars()[0].owner == 1; }));
    guestGoal.reset();
    ASSERT_TRUE(settle([&] { return hostSide().stars()[0].owner == 2; }));
    EXPECT_TRUE(mirrored(hostSide(), guestSide()));

    for (int match = 0; match < 4; ++match) {
        SCOPED_TRACE("match " + std::to_string(match));
        ASSERT_NO_FATAL_FAILURE(hostTakesTheField());
        for (PlayerState* side : {&hostSide(), &guestSide()}) {
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
        const std::string guestField = guestSide().starListText();
        EXPECT_TRUE(guest->joinedToHost());
        EXPECT_FALSE(guest->startNewMatch());
        play(3000);
        EXPECT_TRUE(hostSide().matchTime() == hostTime && guestSide().matchTime() == guestTime);
        EXPECT_EQ(guestSide().starListText(), guestField);

        ASSERT_TRUE(host->startNewMatch());
        ASSERT_TRUE(settle([&] { return guestSide().starListText() != guestField; }));
        expectFreshMatch();
        play(1500);  // a second and more of the new match: nothing ends it yet
        EXPECT_FALSE(hostSide().isMatchOver() || guestSide().isMatchOver());
    }
}

TEST_F(MatchTest, ClocksAgreeFromTheMomentTheGuestHasTheFieldHoweverLongTheHostWaited) {
    play(6700);
    EXPECT_GT(hostSide().matchTime(), 6000);
    ASSERT_TRUE(joinTheHost());
    expectFreshMatch();
    play(2000);
    expectClocksAgree();
    EXPECT_TRUE(hostSide().ownEnergy() == 500 && guestSide().ownEnergy() == 500);
}

TEST_F(MatchTest, ListeningAgainChangesNothingAndAFailedListenLeavesTheField) {
    ASSERT_TRUE(joinTheHost());
    hostGoal = hostSide().stars().back();
    ASSERT_TRUE(play(20000, [&] { return hostSide().stars().back().owner == 1; }));
    hostGoal.reset();
    play(2000);
    const std::string field = hostSide().starListText();
    const std::string score = hostSide().scoreText();
    const int32_t time = hostSide().matchTime();

    EXPECT_TRUE(host->host(port));  // the port already hosted
    RawPeer squatter;
    const int busy = squatter.listen(1);
    EXPECT_FALSE(host->host(busy));
    pass();
    EXPECT_TRUE(hostSide().starListText() == field && hostSide().scoreText() == score);
    EXPECT_EQ(hostSide().matchTime(), time);
    EXPECT_EQ(host->hostedPort(), port);
    EXPECT_TRUE(host->connected() && guest->joinedToHost());

    host->leave();  // alone, a new listen starts a fresh match
    ASSERT_TRUE(settle([&] { return !guest->connected(); }));
    hostSide().setMatchOverTime(4000);
    ASSERT_TRUE(host->host(port));
    EXPECT_FALSE(hostSide().isMatchOver());
    EXPECT_NE(hostSide().starListText(), field);
    EXPECT_EQ(hostSide().ownStars(), hostSide().starCount() / 2);
}

TEST_F(MatchTest, AGuestWhoseHostLeftStartsItsOwnMatches) {
    ASSERT_TRUE(joinTheHost());
    const std::string field = guestSide().starListText();
    EXPECT_FALSE(guest->startNewMatch());
    EXPECT_EQ(guestSide().starListText(), field);
    host->leave();
    ASSERT_TRUE(settle([&] { return !guest->connected(); }));
    EXPECT_FALSE(guest->joinedToHost());
    EXPECT_TRUE(guest->startNewMatch());
    EXPECT_NE(guestSide().starListText(), field);
    EXPECT_TRUE(guestSide().ownStars() == 0 && !guestSide().isMatchOver());
}
