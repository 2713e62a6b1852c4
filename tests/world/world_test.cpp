// The world's rules as steps from given inputs to expected events and state:
// no window, no sockets, the clock and the random source the test's own.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "world/player_state.h"
#include "world/steering.h"

namespace {

class WorldTest : public ::testing::Test {
protected:
    PlayerState player(bool local = true) { return PlayerState(local, clock, random); }

    // One motion step of `ms`: the first update arms the step timer, the second moves.
    WorldEvents step(PlayerState& state, uint32_t ms, MatchRole role = MatchRole::Alone) {
        WorldEvents events;
        state.update(role, events);
        clock.advance(ms);
        state.update(role, events);
        return events;
    }

    ManualClock clock{1000};
    RandomSource random{4};
};

Star star(float x, float y, float z, float owner) {
    Star s;
    s.x = x;
    s.y = y;
    s.z = z;
    s.owner = owner;
    return s;
}

void placeShip(PlayerState& state, float x, float y, float z, Velocity velocity = {}) {
    state.applyFrame(Frame(x, y, z));
    state.applyVelocity(velocity);
}

// The host's field of 30 away from the ship's start, `held` of them this side's.
void holdStars(PlayerState& state, int held) {
    std::vector<Star> stars;
    for (int i = 0; i < 30; ++i) stars.push_back(star(static_cast<float>(i - 15), 10, 10, i < held ? 2.0f : 1.0f));
    state.applyField(20, stars);
}

std::string owners(const PlayerState& state) {
    std::string text;
    for (const Star& s : state.stars()) text += std::to_string(static_cast<int>(s.owner));
    return text;
}

std::vector<WorldEvent::Kind> kinds(const WorldEvents& events) {
    std::vector<WorldEvent::Kind> all;
    for (const WorldEvent& e : events) all.push_back(e.kind);
    return all;
}

}  // namespace

TEST_F(WorldTest, MatchesPlaceASeededEvenFieldOnDistinctLatticePointsAndSplitIt) {
    PlayerState state = player();
    for (int round = 1; round <= 12; ++round) {
        state.setMapSize(round % 2 ? 10 : 20);
        state.newMatch();
        const int32_t n = state.starCount();
        EXPECT_TRUE(n % 2 == 0 && n >= 30 && n <= 50 && state.stars().size() == size_t(n)) << n;
        std::set<std::tuple<float, float, float>> places;
        for (const Star& s : state.stars()) {
            for (float c : {s.x, s.y, s.z}) EXPECT_TRUE(c == std::floor(c) && std::fabs(c) <= state.mapSize()) << c;
            EXPECT_GE(std::hypot(s.x, s.y, s.z), 1.5f);  // out of reach of the ships at the start
            EXPECT_TRUE(s.owner == 0 && s.r >= 0.3f && s.r <= 0.8f && s.g <= s.r && s.b == 0);
            places.insert({s.x, s.y, s.z});
        }
        EXPECT_EQ(places.size(), state.stars().size()) << "round " << round;
    }
    state.setMapSize(1);  // an arena whose only places out of the ships' reach are its corners
    state.newMatch();
    for (const Star& s : state.stars()) EXPECT_TRUE(std::fabs(s.x) == 1 && std::fabs(s.y) == 1 && std::fabs(s.z) == 1);
    state.splitStars();
    const int32_t n = state.starCount();
    EXPECT_TRUE(state.ownStars() == n / 2 && state.opponentStars() == n / 2);
    const Star& lastOwn = state.stars()[size_t(n / 2 - 1)];
    const Star& firstTheirs = state.stars()[size_t(n / 2)];
    EXPECT_TRUE(lastOwn.owner == 1 && lastOwn.g == 1 && lastOwn.b == 0);
    EXPECT_TRUE(firstTheirs.owner == 2 && firstTheirs.g == 0 && firstTheirs.b == 1);

    const auto countFor = [&](int32_t fewest, int32_t most) {
        state.setStarRange(fewest, most);
        state.newMatch();
        return state.starCount();
    };
    EXPECT_EQ(countFor(30, 31), 30);
    EXPECT_EQ(countFor(-40, -20), 0);  // nonsense never yields a negative count
    EXPECT_LE(countFor(30, INT32_MIN), 30);  // UBSan watches the bound below the lowest int
}

// Two matches side by side, each on its own source; the same seed, the same fields.
TEST_F(WorldTest, AFieldReplaysFromItsSeedWhateverElseDraws) {
    RandomSource first(99), second(99), busy(1);
    PlayerState a(true, clock, first), b(true, clock, second), other(true, clock, busy);
    for (int round = 0; round < 3; ++round) {
        a.newMatch();
        other.newMatch();
        b.newMatch();
        ASSERT_EQ(a.starCount(), b.starCount());
        for (size_t i = 0; i < a.stars().size(); ++i)
            EXPECT_TRUE(a.stars()[i].x == b.stars()[i].x && a.stars()[i].z == b.stars()[i].z && a.stars()[i].r == b.stars()[i].r);
    }
}

TEST_F(WorldTest, TheGuestMirrorsTheHostsFieldOwnersAndScore) {
    PlayerState guest = player();
    guest.applyField(20, {star(3, -7, 12, 2), star(0, 5, -20, 1), star(0.5f, 1, 2, 0)});
    EXPECT_TRUE(guest.mapSize() == 20 && owners(guest) == "120" && guest.ownStars() == 1);
    const Star& free = guest.stars()[2];  // a free star gets a warm colour
    EXPECT_TRUE(free.r >= 0.3f && free.r <= 1.0f && free.g <= free.r && free.b == 0.0f);

    guest.applyField(20, {star(1, 1, 1, 0), star(2, 2, 2, 0), star(3, 3, 3, 0), star(4, 4, 4, 0)});
    const float untouched = guest.stars()[2].r;
    guest.applyOwners({1, 2, 0});  // a short list leaves the rest alone
    EXPECT_TRUE(owners(guest) == "2100" && guest.stars()[0].b == 1 && guest.stars()[1].g == 1);
    EXPECT_EQ(guest.stars()[2].r, untouched);
    guest.applyOwners({2, 2, 2, 2, 2, 2, 2, 2});  // a long list touches only stars that exist
    EXPECT_EQ(owners(guest), "1111");
    guest.applyField(20, {star(0, 0, 1, 1), star(5, 5, 5, 1)});
    step(guest, 20, MatchRole::Guest);  // takes the first
    clock.advance(3000);
    guest.applyOwners({1, 1});  // written before the host heard of it, however late: the capture stands
    EXPECT_TRUE(owners(guest) == "12" && guest.ownStars() == 1);
    guest.applyOwners({2, 1});  // the host has heard
    guest.applyOwners({1, 1});  // and took it back
    EXPECT_TRUE(owners(guest) == "22" && guest.ownStars() == 0);

    holdStars(guest, 1);
    WorldEvents events;
    guest.applyScore({18, 420, 377}, events);  // the host's: energies swapped here
    EXPECT_TRUE(guest.ownStars() == 12 && guest.ownEnergy() == 377 && guest.opponentEnergy() == 420);
    guest.applyScore({INT32_MIN, 900, 1}, events);  // bounded by the field and the energies' range
    EXPECT_TRUE(guest.ownStars() == 60 && guest.opponentEnergy() == 500 && events.empty());
    guest.applyScore({15, -3, 200}, events);  // an older host's energy below 0 ends it too
    EXPECT_TRUE(guest.isMatchOver() && guest.opponentEnergy() == 0 && kinds(events) == std::vector{WorldEvent::MatchOver});
    guest.applyScore({15, 0, 200}, events);  // once
    EXPECT_EQ(events.size(), 1u);
}

TEST_F(WorldTest, ShipsWrapAtEachFaceOnlyWhenFlyingOutwards) {
    using Place = std::array<float, 3>;  // from, the velocity, to, and the wraps seen
    const std::tuple<Place, Velocity, Place, size_t> cases[] = {
        {{-20.3f, 0, 0}, {-2, 0, 0}, {19.8f, 0, 0}, 1},   {{-20.3f, 0, 0}, {2, 0, 0}, {-20.1f, 0, 0}, 0},
        {{20.3f, 0, 0}, {2, 0, 0}, {-19.8f, 0, 0}, 1},    {{0, -20.3f, 0}, {0, -2, 0}, {0, 19.8f, 0}, 1},
        {{0, 20.3f, 0}, {0, 2, 0}, {0, -19.8f, 0}, 1},    {{0, 20.3f, 0}, {0, -2, 0}, {0, 20.1f, 0}, 0},
        {{0, 0, -20.3f}, {0, 0, 2}, {0, 0, 19.8f}, 1},    // a positive vz flies towards -Z
        {{0, 0, 20.3f}, {0, 0, -2}, {0, 0, -19.8f}, 1},   {{0, 0, 20.3f}, {0, 0, 2}, {0, 0, 20.1f}, 0},
        {{-20.3f, 20.4f, -20.5f}, {-1, 1, 1}, {19.9f, -19.9f, 19.9f}, 3},
    };
    for (const auto& [from, velocity, to, wraps] : cases) {
        PlayerState ship = player(false);
        placeShip(ship, from[0], from[1], from[2], velocity);
        const WorldEvents events = step(ship, 100);
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_NEAR(ship.ship().frame.position[axis], to[axis], 1e-4f) << from[0] << "," << from[1];
        EXPECT_TRUE(events.size() == wraps && (wraps == 0 || events[0].kind == WorldEvent::Wrapped)) << from[2];
    }
}

TEST_F(WorldTest, CapturesWithinOneAndAHalfUnitsAndAloneTheLastStarEndsTheMatch) {
    PlayerState state = player();
    // Free at 1.49 and at 1.5, the opponent's at 1.2, already ours at 1, one far away.
    state.applyField(20, {star(1.49f, 0, 0, 0), star(0, 1.5f, 0, 0), star(0, 0, -1.2f, 1), star(0, 0, 1, 2),
                          star(10, 10, 10, 0)});
    placeShip(state, 0, 0, 0);
    WorldEvents events = step(state, 20, MatchRole::Host);
    EXPECT_TRUE(owners(state) == "10110" && state.ownStars() == 3 && state.stars()[2].g == 1.0f);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_TRUE(events[0].star == 0 && events[1].star == 2 && events[1].kind == WorldEvent::Captured);

    for (int32_t bad : {-1, 5, 1 << 30}) EXPECT_FALSE(state.starTakenByOpponent(bad));
    EXPECT_TRUE(state.starTakenByOpponent(1) && state.starTakenByOpponent(0));  // a free star, then one of ours
    EXPECT_TRUE(owners(state) == "22110" && state.ownStars() == 2 && state.stars()[0].b == 1.0f);
    EXPECT_FALSE(state.starTakenByOpponent(0));  // theirs already: a notice that crossed changes nothing
    EXPECT_EQ(state.ownStars(), 2);

    state.applyField(20, {star(1, 0, 0, 0), star(5, 5, 5, 2)});
    placeShip(state, 0, 0, 0);
    EXPECT_TRUE(step(state, 20, MatchRole::Guest).size() == 1 && !state.isMatchOver());  // only the host ends it
    state.applyField(20, {star(1, 0, 0, 0), star(5, 5, 5, 2)});
    EXPECT_EQ(kinds(step(state, 20)), (std::vector{WorldEvent::Captured, WorldEvent::MatchOver}));
    EXPECT_TRUE(state.isMatchOver() && state.matchTime() > 0);
}

TEST_F(WorldTest, EachHeldKeyThrustsAlongItsAxisBySensitivityPerSecondHeldUpToTheTopSpeed) {
    const std::pair<bool Steering::*, Velocity> keys[] = {
        {&Steering::forward, {0, 0, 0.05f}}, {&Steering::back, {0, 0, -0.05f}}, {&Steering::left, {-0.05f, 0, 0}},
        {&Steering::right, {0.05f, 0, 0}},   {&Steering::up, {0, 0.05f, 0}},    {&Steering::down, {0, -0.05f, 0}}};
    for (const auto& [key, expected] : keys) {
        PlayerState ship = player(false);
        ship.applyVelocity({});
        Steering held;
        held.*key = true;
        steerShip(ship, held, 2.5f, 20);
        const Velocity v = ship.velocity();
        EXPECT_TRUE(v.x == expected.x && v.y == expected.y && v.z == expected.z);
    }
    PlayerState ship = player(false);
    ship.addVelocity(20, -3, 0);
    ship.applyVelocity({99, -1e30f, 7});  // the peer's too
    EXPECT_TRUE(ship.velocity().x == 15 && ship.velocity().y == -15 && ship.velocity().z == 7);
}

TEST_F(WorldTest, TheShipTurnsAlongItsVelocityAndKeepsItsHeadingWhenStill) {
    PlayerState ship = player(false);
    const float d = std::sqrt(0.5f);
    const Velocity velocities[] = {{0, 0, 5}, {5, 0, 0}, {5, 0, 5}, {-5, 0, 5}, {-5, 0, -5}, {5, 0, -5}, {0, 5, 0}, {0, 0, 0}};
    const float tails[][3] = {{0, 0, 1}, {-1, 0, 0}, {-d, 0, d},  {d, 0, d},
                              {d, 0, -d}, {-d, 0, -d}, {0, -1, 0}, {0, -1, 0}};
    for (int i = 0; i < 8; ++i) {  // the ship's Z axis points at its tail
        ship.applyVelocity(velocities[i]);
        step(ship, 20);
        for (int axis = 0; axis < 3; ++axis) EXPECT_NEAR(ship.ship().frame.zAxis[axis], tails[i][axis], 1e-5f) << i;
    }
}

TEST_F(WorldTest, TheHostDrainsWhoeverHoldsFewerThanHalfEachFullSecondDownToZero) {
    PlayerState alone = player();  // listening with nobody there: no race yet
    holdStars(alone, 0);
    step(alone, 5000);
    EXPECT_TRUE(alone.ownEnergy() == 500 && !alone.isMatchOver());

    const int drains[][3] = {{0, 475, 500}, {10, 492, 500}, {14, 499, 500}, {15, 500, 500}, {16, 500, 499}};
    for (const auto& d : drains) {  // stars held, then both energies a second later
        PlayerState state = player();
        holdStars(state, d[0]);
        state.restartMatch();
        WorldEvents events;
        clock.advance(999);
        state.update(MatchRole::Host, events);
        EXPECT_EQ(state.ownEnergy(), 500);
        clock.advance(1);
        state.update(MatchRole::Host, events);
        EXPECT_TRUE(state.ownEnergy() == d[1] && state.opponentEnergy() == d[2]) << d[0] << " held";
    }
    PlayerState state = player();  // 8 a second from 500: the last tick would overshoot
    holdStars(state, 10);
    state.restartMatch();
    WorldEvents events;
    for (int second = 1; second <= 70; ++second) {
        clock.advance(1000);
        state.update(MatchRole::Host, events);
        EXPECT_EQ(state.isMatchOver(), second >= 63) << second;
    }
    EXPECT_TRUE(state.score().held == 10 && state.score().ownEnergy == 0 && state.score().opponentEnergy == 500);
    EXPECT_EQ(kinds(events), std::vector{WorldEvent::MatchOver});
    EXPECT_EQ(state.matchTime(), 63000);  // the match's length, frozen
}

// The other ship is shown where it is now: a frame is moved on by its age, the
// shown ship closes on it without jumping, the short way through a face, and a
// ship that stops telling stops where it was.
TEST_F(WorldTest, TheOtherShipIsShownWhereItIsNowAndClosesOnErrorsWithoutJumping) {
    PlayerState other = player(false);
    other.applyVelocity({10, 0, 0});
    other.applyFrame(Frame(19, 0, 0), 200);  // sent 200 ms ago at 19: it has crossed the face at 20
    EXPECT_NEAR(other.ship().frame.position[0], -19, 1e-4f);
    other.applyFrame(Frame(-18.5f, 0.6f, 0), 0);  // a correction of 0.6 up and 0.5 on, through no face
    float last[3] = {-19, 0, 0};
    float worst = 0;
    for (int ms = 0; ms < 600; ms += 10) {
        WorldEvents events;
        other.update(MatchRole::Guest, events);
        clock.advance(10);
        const float* p = other.ship().frame.position;
        worst = std::max(worst, std::hypot(p[0] - last[0], p[1] - last[1]));  // 0.1 a step is the flight itself
        std::copy(p, p + 3, last);
    }
    EXPECT_LT(worst, 0.1f + 0.2f);
    EXPECT_TRUE(std::fabs(last[0] - (-18.5f + 5.9f)) < 0.15f && std::fabs(last[1] - 0.6f) < 0.01f) << last[0] << " " << last[1];
    clock.advance(1500);  // silent for longer than a second: it holds its place
    WorldEvents events;
    other.update(MatchRole::Guest, events);
    clock.advance(100);
    other.update(MatchRole::Guest, events);
    EXPECT_NEAR(other.ship().frame.position[0], last[0], 0.15f);
}
