#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <tuple>

#include "tests/world/world_fixture.h"

TEST_F(WorldTest, MatchesPlaceAnEvenNumberOfStarsOnDistinctLatticePoints) {
    PlayerState state(true);
    for (unsigned seed = 1; seed <= 25; ++seed) {
        std::srand(seed);
        state.setMapSize(seed % 2 == 0 ? 20 : 10);
        state.newMatch();
        const int32_t n = state.starCount();
        EXPECT_TRUE(n % 2 == 0 && n >= 30 && n <= 50) << n;
        ASSERT_EQ(state.stars().size(), static_cast<size_t>(n));
        std::set<std::tuple<float, float, float>> places;
        for (const Star& star : state.stars()) {
            for (float c : {star.x, star.y, star.z}) {
                EXPECT_EQ(c, std::floor(c));
                EXPECT_LE(std::fabs(c), static_cast<float>(state.mapSize()));
            }
            EXPECT_TRUE(star.r >= 0.3f && star.r <= 0.8f && star.g <= star.r && star.b == 0.0f);
            EXPECT_EQ(star.owner, 0.0f);
            places.insert({star.x, star.y, star.z});
        }
        EXPECT_EQ(places.size(), static_cast<size_t>(n)) << "seed " << seed;
    }
    state.setStarRange(30, 31);
    state.newMatch();
    EXPECT_EQ(state.starCount(), 30);
    state.setStarRange(-40, -20);  // nonsense never yields a negative count
    state.newMatch();
    EXPECT_EQ(state.starCount(), 0);
}

TEST_F(WorldTest, TheSameSeedGivesTheSameField) {
    PlayerState first(true);
    PlayerState second(true);
    auto colours = [](const PlayerState& s) {
        std::vector<float> c;
        for (const Star& star : s.stars()) {
            c.insert(c.end(), {star.r, star.g});
        }
        return c;
    };
    std::srand(77);
    first.newMatch();
    std::srand(77);
    second.newMatch();
    EXPECT_EQ(first.starListText(), second.starListText());
    EXPECT_EQ(colours(first), colours(second));
    std::srand(78);
    second.newMatch();
    EXPECT_NE(first.starListText(), second.starListText());
}

TEST_F(WorldTest, SplitGivesEachSideHalfTheField) {
    PlayerState state(true);
    std::srand(5);
    state.newMatch();
    state.splitStars();
    const int32_t n = state.starCount();
    EXPECT_EQ(state.ownStars(), n / 2);
    EXPECT_EQ(state.opponentStars(), n / 2);
    for (int32_t i = 0; i < n; ++i) {
        const Star& star = state.stars()[static_cast<size_t>(i)];
        const bool own = i < n / 2;
        EXPECT_EQ(star.owner, own ? 1.0f : 2.0f);
        EXPECT_EQ(star.g, own ? 1.0f : 0.0f);
        EXPECT_EQ(star.b, own ? 0.0f : 1.0f);
    }
}

TEST_F(WorldTest, TheRemoteMirrorHoldsNoStarsAndResetsItsShip) {
    PlayerState mirror(false);
    mirror.addVelocity(3, 0, 0);
    mirror.newMatch();
    EXPECT_TRUE(mirror.stars().empty());
    EXPECT_EQ(mirror.ownEnergy(), 500);
    EXPECT_EQ(mirror.ship().vx, 0.0f);
    EXPECT_EQ(mirror.ship().vz, 1e-8f);
}
