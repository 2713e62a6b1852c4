#include <cstdlib>
#include <string>

#include "tests/world/world_fixture.h"

TEST_F(WorldTest, ScoreTextsCarryTheServersViewAndTheClientMirrorsIt) {
    PlayerState server(true);
    holdStars(server, 18);
    server.applyScoreText("12,377,420");  // as a client would read it: energies swapped
    ASSERT_EQ(server.ownEnergy(), 420);
    EXPECT_EQ(server.scoreText(), "18,420,377");

    PlayerState client(true);
    holdStars(client, 1);
    client.applyScoreText(server.scoreText());
    EXPECT_EQ(client.ownStars(), 12);
    EXPECT_EQ(client.opponentStars(), 18);
    EXPECT_EQ(client.ownEnergy(), 377);
    EXPECT_EQ(client.opponentEnergy(), 420);
    client.applyScoreText("-2147483648,1,2");  // saturates instead of overflowing
    EXPECT_EQ(client.ownStars(), 2147483647);
}

TEST_F(WorldTest, StarListsTravelWithTheOwnersSwapped) {
    PlayerState server(true);
    ASSERT_TRUE(server.applyStarListText("20,3,3,-7,12,2,0,5,-20,1,0.5,1,2,0"));
    EXPECT_EQ(server.starListText(), "20,3,3,-7,12,1,0,5,-20,2,0.5,1,2,0");
    EXPECT_EQ(server.ownersText(), "1,2,0");
    const Star& free = server.stars()[2];  // a free star gets a warm colour
    EXPECT_TRUE(free.r >= 0.3f && free.r <= 1.0f && free.g <= free.r && free.b == 0.0f);

    std::srand(4);
    server.setMapSize(30);
    server.newMatch();
    server.splitStars();
    PlayerState client(true);
    ASSERT_TRUE(client.applyStarListText(server.starListText()));
    EXPECT_EQ(client.mapSize(), 30);
    ASSERT_EQ(client.starCount(), server.starCount());
    EXPECT_EQ(client.ownStars(), server.opponentStars());
    for (size_t i = 0; i < client.stars().size(); ++i) {
        const Star& mine = client.stars()[i];
        const Star& theirs = server.stars()[i];
        EXPECT_EQ(mine.x, theirs.x);
        EXPECT_EQ(mine.z, theirs.z);
        EXPECT_EQ(mine.owner, 3.0f - theirs.owner);
    }
}

TEST_F(WorldTest, OwnersTextsRecolourOnlyTheStarsTheyName) {
    PlayerState client(true);
    ASSERT_TRUE(client.applyStarListText("20,4,1,1,1,0,2,2,2,0,3,3,3,0,4,4,4,0"));
    const Star untouched = client.stars()[2];
    client.applyOwnersText("1,2,0");  // a short text leaves the rest alone
    EXPECT_EQ(client.ownersText(), "2,1,0,0");
    EXPECT_EQ(client.stars()[0].b, 1.0f);
    EXPECT_EQ(client.stars()[1].g, 1.0f);
    EXPECT_EQ(client.stars()[2].r, untouched.r);
    client.applyOwnersText("2,2,2,2,2,2,2,2");  // a long text touches only stars that exist
    EXPECT_EQ(client.ownersText(), "1,1,1,1");
    EXPECT_EQ(client.ownStars(), 0);  // not recounted
}

TEST_F(WorldTest, FramesAndVelocitiesRoundTripAndHostileOnesAreIgnored) {
    PlayerState local(true);
    local.addVelocity(1.5f, -2, 4);
    local.rotateShip(30, 0, 1, 0);
    PlayerState mirror(false);
    mirror.applyFrameText(local.frameText());
    mirror.applyVelocityText(local.velocityText());
    EXPECT_EQ(mirror.frameText(), local.frameText());
    EXPECT_EQ(mirror.velocityText(), "1.5,-2,4");

    const std::string before = mirror.frameText();
    for (const char* hostile : {"nan", "1,inf,0", "1e999", "x"}) {
        mirror.applyFrameText(hostile);
        mirror.applyVelocityText(hostile);
    }
    EXPECT_EQ(mirror.frameText(), before);
    EXPECT_EQ(mirror.velocityText(), "1.5,-2,4");
    mirror.applyVelocityText("99,-1e30,7");
    EXPECT_EQ(mirror.velocityText(), "15,-15,7");
    mirror.applyVelocityText("3");  // a short text repeats its last field
    EXPECT_EQ(mirror.velocityText(), "3,3,3");
}

TEST_F(WorldTest, HostileStarListsAreRefusedWithoutAnyChange) {
    PlayerState client(true);
    std::srand(12);
    client.newMatch();
    const std::string before = client.starListText();
    const std::string hostile[] = {
        "",           "20",         "9,1,0,0,0,1",      "201,1,0,0,0,1",  "20,0",
        "20,-1",      "20,1001",    "20,2,0,0,0,1",     "20,1,0,0,0,1,5", "20,1,0,nan,0,1",
        "20,1,0,x,0,1", "20,1,0,1e999,0,1", "x,1,0,0,0,1", "20,2147483647,1",
    };
    for (const std::string& text : hostile) {
        EXPECT_FALSE(client.applyStarListText(text)) << text;
    }
    // Millions of fields announced as a small list are counted once and refused.
    EXPECT_FALSE(client.applyStarListText("20,1000" + std::string(20000000, ',')));
    EXPECT_EQ(client.starListText(), before);
}
