#include <climits>
#include <cmath>
#include <cstdlib>
#include <set>
#include <tuple>

#include "tests/world/world_fixture.h"

TEST_F(WorldTest, MatchesPlaceASeededEvenFieldOnDistinctLatticePointsAndSplitIt) {
    PlayerState state(true);
    for (unsigned seed = 1; seed <= 12; ++seed) {
        std::srand(seed);
        state.setMapSize(seed % 2 ? 10 : 20);
        state.newMatch();
        const int32_t n = state.starCount();
        EXPECT_TRUE(n % 2 == 0 && n >= 30 && n <= 50 && state.stars().size() == size_t(n)) << n;
        std::set<std::tuple<float, float, float>> places;
        for (const Star& s : state.stars()) {
            for (float c : {s.x, s.y, s.z}) EXPECT_TRUE(c == std::floor(c) && std::fabs(c) <= state.mapSize()) << c;
            EXPECT_TRUE(s.owner == 0 && s.r >= 0.3f && s.r <= 0.8f && s.g <= s.r && s.b == 0);
            places.insert({s.x, s.y, s.z});
        }
        EXPECT_EQ(places.size(), state.stars().size()) << "seed " << seed;
    }
    state.splitStars();
    const int32_t n = state.starCount();
    EXPECT_TRUE(state.ownStars() == n / 2 && state.opponentStars() == n / 2);
    const Star& lastOwn = state.stars()[size_t(n / 2 - 1)];
    const Star& firstTheirs = state.stars()[size_t(n / 2)];
    EXPECT_TRUE(lastOwn.owner == 1 && lastOwn.g == 1 && lastOwn.b == 0);
    EXPECT_TRUE(firstTheirs.owner == 2 && firstTheirs.g == 0 && firstTheirs.b == 1);

    state.setStarRange(30, 31);
    state.newMatch();
    EXPECT_EQ(state.starCount(), 30);
    state.setStarRange(-40, -20);  // nonsense never yields a negative count
    state.newMatch();
    EXPECT_EQ(state.starCount(), 0);
    state.setStarRange(30, INT32_MIN);  // UBSan watches the bound below the lowest int
    state.newMatch();
    EXPECT_LE(state.starCount(), 30);
}

TEST_F(WorldTest, TextsTravelBothWaysWithTheClientMirroringTheServer) {
    PlayerState server(true), client(true);
    holdStars(server, 18);
    server.applyScoreText("12,377,420");  // as a client reads it: energies swapped
    EXPECT_EQ(server.scoreText(), "18,420,377");
    holdStars(client, 1);
    client.applyScoreText(server.scoreText());
    EXPECT_TRUE(client.ownStars() == 12 && client.opponentStars() == 18);
    EXPECT_TRUE(client.ownEnergy() == 377 && client.opponentEnergy() == 420);
    client.applyScoreText("-2147483648,1,2");  // bounded by the field, so a capture cannot overflow it
    EXPECT_EQ(client.ownStars(), 2 * client.starCount());

    ASSERT_TRUE(client.applyStarListText("20,3,3,-7,12,2,0,5,-20,1,0.5,1,2,0"));
    EXPECT_EQ(client.starListText(), "20,3,3,-7,12,1,0,5,-20,2,0.5,1,2,0");  // owners swapped
    const Star& free = client.stars()[2];  // a free star gets a warm colour
    EXPECT_TRUE(free.r >= 0.3f && free.r <= 1.0f && free.g <= free.r && free.b == 0.0f);
    std::srand(4);
    server.setMapSize(30);
    server.newMatch();
    server.splitStars();
    ASSERT_TRUE(client.applyStarListText(server.starListText()));
    EXPECT_TRUE(client.mapSize() == 30 && client.ownStars() == server.opponentStars());

    ASSERT_TRUE(client.applyStarListText("20,4,1,1,1,0,2,2,2,0,3,3,3,0,4,4,4,0"));
    const float untouched = client.stars()[2].r;
    client.applyOwnersText("1,2,0");  // a short text leaves the rest alone
    EXPECT_EQ(client.ownersText(), "2,1,0,0");
    EXPECT_TRUE(client.stars()[0].b == 1 && client.stars()[1].g == 1 && client.stars()[2].r == untouched);
    client.applyOwnersText("2,2,2,2,2,2,2,2");  // a long text touches only stars that exist
    EXPECT_EQ(client.ownersText(), "1,1,1,1");
}

TEST_F(WorldTest, HostileTextsChangeNothing) {
    PlayerState client(true);
    std::srand(12);
    client.newMatch();
    const std::string field = client.starListText();
    const std::string hostile[] = {"", "20", "9,1,0,0,0,1", "1001,1,0,0,0,1", "x,1,0,0,0,1", "20,1,1e30,0,0,0",
                                   "20,-1", "20,1,0,-20.5,0,1", "20,8193", "20,2147483647,1", "20,2,0,0,0,1",
                                   "20,1,0,0,0,1,5", "20,1,0,nan,0,1", "20,1,0,x,0,1", "20,1,0,1e999,0,1"};
    for (const std::string& text : hostile) EXPECT_FALSE(client.applyStarListText(text)) << text;
    // Millions of fields announced as a small list are counted once and refused.
    EXPECT_FALSE(client.applyStarListText("20,1000" + std::string(20000000, ',')));
    EXPECT_EQ(client.starListText(), field);

    PlayerState mirror(false);
    mirror.addVelocity(20, -3, 0);  // our own steering is clamped too
    EXPECT_EQ(mirror.velocityText(), "15,-3,1e-08");
    PlayerState local(true);
    local.addVelocity(1.5f, -2, 4);
    local.rotateShip(30, 0, 1, 0);
    mirror.applyFrameText(local.frameText());
    mirror.applyVelocityText(local.velocityText());
    EXPECT_EQ(mirror.frameText(), local.frameText());
    for (const char* text : {"nan", "1,inf,0", "1e999", "x"}) {
        mirror.applyFrameText(text);
        mirror.applyVelocityText(text);
    }
    EXPECT_EQ(mirror.frameText(), local.frameText());
    EXPECT_EQ(mirror.velocityText(), "1.5,-2,4");
    mirror.applyVelocityText("99,-1e30,7");
    EXPECT_EQ(mirror.velocityText(), "15,-15,7");
    mirror.applyVelocityText("3");  // a short text repeats its last field
    EXPECT_EQ(mirror.velocityText(), "3,3,3");
}
