#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>

#include "net/connection.h"
#include "tests/net/net_test_support.h"
#include "tests/world/world_fixture.h"
#include "world/world_sounds.h"

namespace {

// The sounds the world asked for, by name, in order.
class HeardSounds : public WorldSounds {
public:
    void play(const char* name) override { heard += std::string(heard.empty() ? "" : " ") + name; }
    std::string take() {
        std::string all;
        all.swap(heard);
        return all;
    }

private:
    std::string heard;
};

class SoundingWorldTest : public WorldTest {
protected:
    HeardSounds sounds;
};

}  // namespace

TEST_F(SoundingWorldTest, ShipsWrapAtEachFaceOnlyWhenFlyingOutwards) {
    struct {
        float from[3], velocity[3], to[3];
        const char* sounds;
        bool secondSkin;
    } const cases[] = {
        {{-20.3f, 0, 0}, {-2, 0, 0}, {19.8f, 0, 0}, "wh1", false},
        {{-20.3f, 0, 0}, {2, 0, 0}, {-20.1f, 0, 0}, "", false},
        {{20.3f, 0, 0}, {2, 0, 0}, {-19.8f, 0, 0}, "wh1", false},
        {{0, -20.3f, 0}, {0, -2, 0}, {0, 19.8f, 0}, "wh1", false},
        {{0, 20.3f, 0}, {0, 2, 0}, {0, -19.8f, 0}, "wh1", false},
        {{0, 20.3f, 0}, {0, -2, 0}, {0, 20.1f, 0}, "", false},
        {{0, 0, -20.3f}, {0, 0, 2}, {0, 0, 19.8f}, "wh1", false},  // a positive vz flies towards -Z
        {{0, 0, 20.3f}, {0, 0, -2}, {0, 0, -19.8f}, "wh1", false},
        {{0, 0, 20.3f}, {0, 0, 2}, {0, 0, 20.1f}, "", false},
        {{-20.3f, 20.4f, -20.5f}, {-1, 1, 1}, {19.9f, -19.9f, 19.9f}, "wh1 wh1 wh1", false},
        {{30, 0, 0}, {1, 0, 0}, {-19.9f, 0, 0}, "wh2", true},  // the second skin's own sound
    };
    for (const auto& c : cases) {
        PlayerState ship(false);
        ship.setSounds(&sounds);
        if (c.secondSkin) ship.toggleSkin();
        placeShip(ship, c.from[0], c.from[1], c.from[2]);
        ship.applyVelocityText(toText(c.velocity[0]) + "," + toText(c.velocity[1]) + "," + toText(c.velocity[2]));
        step(ship, 100);
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_NEAR(ship.ship().frame.position[axis], c.to[axis], 1e-4f) << c.from[0] << "," << c.from[1];
        EXPECT_EQ(sounds.take(), c.sounds) << "from " << c.from[0] << "," << c.from[1] << "," << c.from[2];
    }
}

TEST_F(SoundingWorldTest, CapturesWithinOneAndAHalfUnitsAndOpponentCapturesOfValidStars) {
    PlayerState state(true);
    state.setSounds(&sounds);
    // Free at 1.49 and at 1.5, the opponent's at 1.2, already ours at 1, one far away.
    ASSERT_TRUE(state.applyStarListText("20,5,1.49,0,0,0,0,1.5,0,0,0,0,-1.2,1,0,0,1,2,10,10,10,0"));
    placeShip(state, 0, 0, 0);
    state.applyVelocityText("0,0,0");
    step(state, 20);
    EXPECT_EQ(state.ownersText(), "1,0,1,1,0");
    EXPECT_TRUE(state.ownStars() == 3 && state.stars()[2].g == 1.0f && !state.isMatchOver());
    EXPECT_EQ(sounds.take(), "pop1 pop1");  // one for each, no notice without a peer

    for (int32_t bad : {-1, 5, 1 << 30}) state.starTakenByOpponent(bad);
    EXPECT_TRUE(state.ownStars() == 3 && sounds.take().empty());
    state.starTakenByOpponent(1);  // a free star: still counts
    state.starTakenByOpponent(0);
    EXPECT_EQ(state.ownersText(), "2,2,1,1,0");
    EXPECT_TRUE(state.ownStars() == 1 && state.stars()[0].b == 1.0f);
    EXPECT_EQ(sounds.take(), "pop2 pop2");
}

TEST_F(WorldTest, ASoloMatchEndsAtTheLastCaptureWithItsTimeFrozen) {
    PlayerState state(true);
    ASSERT_TRUE(state.applyStarListText("20,2,1,0,0,0,-1,0,0,0"));
    state.resetShip();
    state.restartMatchClock();
    step(state, 750);
    EXPECT_TRUE(state.ownStars() == 2 && state.isMatchOver());
    EXPECT_EQ(state.matchTime(), 750);
    clock.advance(5000);
    state.update();
    EXPECT_EQ(state.matchTime(), 750);
}

TEST_F(WorldTest, TheShipTurnsAlongItsVelocityAndKeepsItsHeadingWhenStill) {
    PlayerState ship(false);
    const float d = std::sqrt(0.5f);
    const char* velocities[] = {"0,0,5", "5,0,0", "5,0,5", "-5,0,5", "-5,0,-5", "5,0,-5", "0,5,0", "0,0,0"};
    const float tails[][3] = {{0, 0, 1}, {-1, 0, 0}, {-d, 0, d},  {d, 0, d},
                              {d, 0, -d}, {-d, 0, -d}, {0, -1, 0}, {0, -1, 0}};
    for (int i = 0; i < 8; ++i) {  // the ship's Z axis points at its tail
        ship.applyVelocityText(velocities[i]);
        step(ship, 20);
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_NEAR(ship.ship().frame.zAxis[axis], tails[i][axis], 1e-5f) << velocities[i];
    }
}

namespace {

// A host listening on a free loopback port; no peer until its client connects.
class NetPlayTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        ASSERT_TRUE(server.startNetworking());
        port = onFreePort([this](int candidate) { return server.startServer(candidate); });
        ASSERT_NE(port, -1);
    }
    void TearDown() override {
        server.disconnect();
        client.disconnect();
        server.stopNetworking();
    }

    Connection server, client;
    int port = 0;
};

}  // namespace

TEST_F(NetPlayTest, TheHostDrainsWhoeverHoldsFewerThanHalfEachFullSecondDownToZero) {
    PlayerState alone(true);  // listening with nobody there: no race yet
    alone.setConnection(&server);
    holdStars(alone, 0);
    step(alone, 5000);
    EXPECT_TRUE(alone.ownEnergy() == 500 && !alone.isMatchOver());

    ASSERT_TRUE(client.connectTo("localhost", port));
    ASSERT_TRUE(waitUntil([this] { return server.pumpNetEvents() && server.peerCount() == 1; }, 10000));
    const int drains[][3] = {{0, 475, 500}, {10, 492, 500}, {14, 499, 500}, {15, 500, 500}, {16, 500, 499}};
    for (const auto& d : drains) {  // stars held, then both energies a second later
        PlayerState state(true);
        state.setConnection(&server);
        holdStars(state, d[0]);
        state.update();  // arms the one-second tick
        clock.advance(999);
        state.update();
        EXPECT_EQ(state.ownEnergy(), 500);
        clock.advance(1);
        state.update();
        EXPECT_TRUE(state.ownEnergy() == d[1] && state.opponentEnergy() == d[2]) << d[0] << " held";
    }
    PlayerState state(true);  // 8 a second from 500: the last tick would overshoot
    state.setConnection(&server);
    holdStars(state, 10);
    state.restartMatch();
    for (int second = 1; second <= 70; ++second) {
        clock.advance(1000);
        state.update();
        EXPECT_EQ(state.isMatchOver(), second >= 63) << second;
    }
    EXPECT_EQ(state.ownEnergy(), 0);
    EXPECT_EQ(state.scoreText(), "10,0,500");
    EXPECT_EQ(state.matchTime(), 63000);  // the match's length, frozen
}
