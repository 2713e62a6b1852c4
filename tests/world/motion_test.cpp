#include <SDL_mixer.h>

#include <cmath>
#include <cstdlib>
#include <functional>

#include "net/connection.h"
#include "tests/net/net_test_support.h"
#include "sound/sound_manager.h"
#include "tests/world/world_fixture.h"

namespace {

// A real sound manager on SDL's dummy driver with long sounds (the 38 s music),
// so a sound played is still on its channel when the test counts them. "wh2" is not loaded.
class SoundingWorldTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        ASSERT_TRUE(sounds.openAudio());
        const char* root = std::getenv("STARHOLD_SOURCE_DIR");
        const std::string music = std::string(root ? root : ".") + "/data/audio/drx.ogg";
        for (const char* name : {"wh1", "pop1", "pop2"}) ASSERT_TRUE(sounds.loadSound(music, name));
    }
    static int playing() { return Mix_Playing(-1); }

    SoundManager sounds;
};

}  // namespace

TEST_F(SoundingWorldTest, ShipsWrapAtEachFaceOnlyWhenFlyingOutwards) {
    struct {
        float from[3], velocity[3], to[3];
        int sounds;
        bool secondSkin;
    } const cases[] = {
        {{-20.3f, 0, 0}, {-2, 0, 0}, {19.8f, 0, 0}, 1, false}, {{-20.3f, 0, 0}, {2, 0, 0}, {-20.1f, 0, 0}, 0, false},
        {{20.3f, 0, 0}, {2, 0, 0}, {-19.8f, 0, 0}, 1, false},  {{0, -20.3f, 0}, {0, -2, 0}, {0, 19.8f, 0}, 1, false},
        {{0, 20.3f, 0}, {0, 2, 0}, {0, -19.8f, 0}, 1, false},  {{0, 20.3f, 0}, {0, -2, 0}, {0, 20.1f, 0}, 0, false},
        {{0, 0, -20.3f}, {0, 0, 2}, {0, 0, 19.8f}, 1, false},  // a positive vz flies towards -Z
        {{0, 0, 20.3f}, {0, 0, -2}, {0, 0, -19.8f}, 1, false}, {{0, 0, 20.3f}, {0, 0, 2}, {0, 0, 20.1f}, 0, false},
        {{-20.3f, 20.4f, -20.5f}, {-1, 1, 1}, {19.9f, -19.9f, 19.9f}, 3, false},
        {{30, 0, 0}, {1, 0, 0}, {-19.9f, 0, 0}, 0, true},  // the second skin's "wh2" is missing
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
        EXPECT_EQ(playing(), c.sounds) << "from " << c.from[0] << "," << c.from[1] << "," << c.from[2];
        Mix_HaltChannel(-1);
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
    EXPECT_EQ(playing(), 2);  // "pop1" for each, no notice without a peer
    Mix_HaltChannel(-1);

    for (int32_t bad : {-1, 5, 1 << 30}) state.starTakenByOpponent(bad);
    EXPECT_TRUE(state.ownStars() == 3 && playing() == 0);
    state.starTakenByOpponent(1);  // a free star: still counts
    state.starTakenByOpponent(0);
    EXPECT_EQ(state.ownersText(), "2,2,1,1,0");
    EXPECT_TRUE(state.ownStars() == 1 && state.stars()[0].b == 1.0f && playing() == 2);
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

// A listening connection on a free loopback port; no peer until one connects.
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
    static bool pumpUntil(Connection& pump, const std::function<bool()>& done) {
        return waitUntil([&] { pump.pumpNetEvents(); return done(); }, 10000);
    }

    Connection server, client;
    int port = 0;
};

}  // namespace

TEST_F(NetPlayTest, TheServerDrainsWhoeverHoldsFewerThanHalfEachFullSecond) {
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
        for (int second = 2; second <= 25 && d[0] == 0; ++second) {
            clock.advance(1000);
            state.update();
            EXPECT_EQ(state.isMatchOver(), second >= 20) << second;
        }
    }
}

TEST_F(NetPlayTest, WithAPeerCapturesAreAnnouncedAndNewMatchesSent) {
    ASSERT_TRUE(client.connectTo("localhost", port));
    ASSERT_TRUE(pumpUntil(server, [this] { return server.peerCount() == 1; }));
    PlayerState host(true);
    host.setConnection(&server);
    host.newMatch();  // with a peer: split and sent
    EXPECT_EQ(host.ownStars(), host.starCount() / 2);
    ASSERT_TRUE(pumpUntil(client, [this] { return !client.inbox().empty(); }));
    EXPECT_EQ(client.inbox().front().text, "2|" + host.starListText());

    PlayerState guest(true);
    guest.setConnection(&client);
    ASSERT_TRUE(guest.applyStarListText("20,3,1,0,0,0,0,1,0,1,-1,0,0,1"));
    guest.resetShip();
    step(guest, 20);
    EXPECT_EQ(guest.ownStars(), 3);  // the last star taken
    EXPECT_FALSE(guest.isMatchOver());  // with a peer only the energies end a match
    ASSERT_TRUE(pumpUntil(server, [this] { return server.inbox().size() == 3; }));
    EXPECT_EQ(server.inbox().front().text, "3|0");
    EXPECT_EQ(server.inbox().back().text, "3|2");
    guest.applyScoreText("1,500,0");  // the server says this side's energy is gone
    clock.advance(1000);
    guest.update();
    EXPECT_TRUE(guest.isMatchOver() && guest.ownEnergy() == 0);
}
