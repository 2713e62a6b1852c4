#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <tuple>

#include "tests/world/world_fixture.h"

namespace {

bool sameStars(const std::vector<Star>& a, const std::vector<Star>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const Star& s = a[i];
        const Star& t = b[i];
        if (std::tie(s.x, s.y, s.z, s.r, s.g, s.b, s.owner) != std::tie(t.x, t.y, t.z, t.r, t.g, t.b, t.owner)) {
            return false;
        }
    }
    return true;
}

}  // namespace

TEST_F(WorldTest, MatchesPlaceAnEvenNumberOfStarsOnDistinctLatticePoints) {
    PlayerState state(true);
    for (unsigned seed = 1; seed <= 25; ++seed) {
        std::srand(seed);
        state.newMatch();
        const int32_t n = state.starCount();
        EXPECT_EQ(n % 2, 0);
        EXPECT_GE(n, 30);
        EXPECT_LE(n, 50);
        ASSERT_EQ(state.stars().size(), static_cast<size_t>(n));
        std::set<std::tuple<float, float, float>> places;
        for (const Star& star : state.stars()) {
            for (float c : {star.x, star.y, star.z}) {
                EXPECT_EQ(c, std::floor(c));
                EXPECT_LE(std::fabs(c), 20.0f);
            }
            EXPECT_GE(star.r, 0.3f);
            EXPECT_LE(star.r, 0.8f);
            EXPECT_LE(star.g, star.r);
            EXPECT_EQ(star.b, 0.0f);
            EXPECT_EQ(star.owner, 0.0f);
            places.insert({star.x, star.y, star.z});
        }
        EXPECT_EQ(places.size(), static_cast<size_t>(n)) << "seed " << seed;
    }
}

TEST_F(WorldTest, StarRangeAndArenaSizeBoundTheField) {
    PlayerState state(true);
    state.setStarRange(30, 31);
    state.setMapSize(10);
    for (unsigned seed = 1; seed <= 10; ++seed) {
        std::srand(seed);
        state.newMatch();
        EXPECT_EQ(state.starCount(), 30);
        for (const Star& star : state.stars()) {
            EXPECT_LE(std::max({std::fabs(star.x), std::fabs(star.y), std::fabs(star.z)}), 10.0f);
        }
    }
    state.setStarRange(-40, -20);  // nonsense never yields a negative count
    state.newMatch();
    EXPECT_EQ(state.starCount(), 0);
    EXPECT_TRUE(state.stars().empty());
}

TEST_F(WorldTest, TheSameSeedGivesTheSameField) {
    PlayerState first(true);
    PlayerState second(true);
    std::srand(77);
    first.newMatch();
    std::srand(77);
    second.newMatch();
    EXPECT_TRUE(sameStars(first.stars(), second.stars()));
    std::srand(78);
    second.newMatch();
    EXPECT_FALSE(sameStars(first.stars(), second.stars()));
}

TEST_F(WorldTest, SplitGivesEachSideHalfTheField) {
    PlayerState state(true);
    std::srand(5);
    state.newMatch();
    state.splitStars();
    const int32_t n = state.starCount();
    EXPECT_EQ(state.ownStars(), n / 2);
    EXPECT_EQ(state.opponentStars(), n / 2);
    EXPECT_EQ(state.ownEnergy(), 500);
    for (int32_t i = 0; i < n; ++i) {
        const Star& star = state.stars()[static_cast<size_t>(i)];
        const bool own = i < n / 2;
        EXPECT_EQ(star.owner, own ? 1.0f : 2.0f);
        EXPECT_EQ(star.g, own ? 1.0f : 0.0f);
        EXPECT_EQ(star.b, own ? 0.0f : 1.0f);
    }
}

TEST_F(WorldTest, TheRemoteMirrorHoldsNoStarsAndResetsItsCounters) {
    PlayerState mirror(false);
    mirror.addVelocity(3, 0, 0);
    mirror.newMatch();
    EXPECT_TRUE(mirror.stars().empty());
    EXPECT_EQ(mirror.ownStars(), 0);
    EXPECT_EQ(mirror.opponentEnergy(), 500);
    EXPECT_EQ(mirror.ship().vx, 0.0f);
    EXPECT_EQ(mirror.ship().vz, 1e-8f);
    EXPECT_FALSE(mirror.isLocal());
    EXPECT_FALSE(mirror.alternateSkin());
    mirror.toggleSkin();
    EXPECT_TRUE(mirror.alternateSkin());
}

TEST_F(WorldTest, TheMatchClockRunsUntilTheMatchIsOver) {
    PlayerState state(true);
    clock.advance(1234);
    EXPECT_EQ(state.matchTime(), 1234);
    EXPECT_FALSE(state.isMatchOver());
    state.setMatchOverTime(900);
    clock.advance(500);
    EXPECT_TRUE(state.isMatchOver());
    EXPECT_EQ(state.matchTime(), 900);
    state.setMatchOverTime(0);
    state.restartMatchClock();
    clock.advance(40);
    EXPECT_EQ(state.matchTime(), 40);
}
