#include <SDL_mixer.h>

#include <cmath>
#include <cstdlib>
#include <fstream>

#include "sound/sound_manager.h"
#include "tests/world/world_fixture.h"

std::string writeSilentWav(int seconds) {
    const std::string path = testing::TempDir() + "starhold_world_silence.wav";
    const uint32_t bytes = 22050u * 2u * static_cast<uint32_t>(seconds);
    const uint32_t header[] = {0x46464952u, 36 + bytes, 0x45564157u, 0x20746d66u, 16, 0x00010001u,
                               22050,       44100,      0x00100002u, 0x61746164u, bytes};  // RIFF, mono 16-bit
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header), sizeof header);
    out.write(std::string(bytes, '\0').data(), bytes);
    return path;
}

namespace {

// A real sound manager on SDL's dummy driver: a sound played is still on a
// channel when the test counts them. Only "wh1", "pop1" and "pop2" exist.
class SoundingWorldTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        ASSERT_TRUE(sounds.openAudio());
        const std::string wav = writeSilentWav(20);
        for (const char* name : {"wh1", "pop1", "pop2"}) {
            ASSERT_TRUE(sounds.loadSound(wav, name));
        }
    }
    static int playing() { return Mix_Playing(-1); }

    SoundManager sounds;
};

struct WrapCase {
    float x, y, z, vx, vy, vz;
    float ex, ey, ez;
    int sounds;
    bool secondSkin;
};

}  // namespace

TEST_F(WorldTest, VelocityIsClampedOnEachAxis) {
    PlayerState state(true);
    state.addVelocity(20, -3, 0);
    EXPECT_EQ(state.velocityText(), "15,-3,1e-08");
    state.addVelocity(-40, -30, 0);
    EXPECT_EQ(state.velocityText(), "-15,-15,1e-08");
}

TEST_F(SoundingWorldTest, ShipsWrapAtEachFaceOnlyWhenFlyingOutwards) {
    const WrapCase cases[] = {
        {-20.3f, 0, 0, -2, 0, 0, 19.8f, 0, 0, 1, false},
        {-20.3f, 0, 0, 2, 0, 0, -20.1f, 0, 0, 0, false},
        {20.3f, 0, 0, 2, 0, 0, -19.8f, 0, 0, 1, false},
        {0, -20.3f, 0, 0, -2, 0, 0, 19.8f, 0, 1, false},
        {0, 20.3f, 0, 0, 2, 0, 0, -19.8f, 0, 1, false},
        {0, 20.3f, 0, 0, -2, 0, 0, 20.1f, 0, 0, false},
        {0, 0, -20.3f, 0, 0, 2, 0, 0, 19.8f, 1, false},  // positive vz flies towards -Z
        {0, 0, 20.3f, 0, 0, -2, 0, 0, -19.8f, 1, false},
        {0, 0, 20.3f, 0, 0, 2, 0, 0, 20.1f, 0, false},
        {-20.3f, 20.4f, -20.5f, -1, 1, 1, 19.9f, -19.9f, 19.9f, 3, false},
        {30, 0, 0, 1, 0, 0, -19.9f, 0, 0, 0, true},  // plays "wh2", which is not loaded
    };
    for (const WrapCase& c : cases) {
        PlayerState ship(false);
        ship.setSounds(&sounds);
        if (c.secondSkin) {
            ship.toggleSkin();
        }
        placeShip(ship, c.x, c.y, c.z);
        ship.applyVelocityText(toText(c.vx) + "," + toText(c.vy) + "," + toText(c.vz));
        step(ship, 100);
        expectPosition(ship, c.ex, c.ey, c.ez);
        EXPECT_EQ(playing(), c.sounds) << "from " << c.x << "," << c.y << "," << c.z;
        Mix_HaltChannel(-1);
    }
}

TEST_F(SoundingWorldTest, CapturesWithinOneAndAHalfUnitsSeveralAtOnce) {
    PlayerState state(true);
    state.setSounds(&sounds);
    // Free at 1.49 and at 1.5, the opponent's at 1.2, already ours at 1, one far away.
    ASSERT_TRUE(state.applyStarListText("20,5,1.49,0,0,0,0,1.5,0,0,0,0,-1.2,1,0,0,1,2,10,10,10,0"));
    placeShip(state, 0, 0, 0);
    state.applyVelocityText("0,0,0");
    step(state, 20);
    EXPECT_EQ(state.ownersText(), "1,0,1,1,0");
    EXPECT_EQ(state.stars()[2].g, 1.0f);
    EXPECT_EQ(state.ownStars(), 3);
    EXPECT_EQ(playing(), 2);
    EXPECT_FALSE(state.isMatchOver());
}

TEST_F(SoundingWorldTest, OpponentCapturesTakeValidStarsOnly) {
    PlayerState state(true);
    state.setSounds(&sounds);
    std::srand(9);
    state.newMatch();
    state.splitStars();
    const int32_t held = state.ownStars();
    for (int32_t bad : {-1, state.starCount(), 1 << 30}) {
        state.starTakenByOpponent(bad);
    }
    EXPECT_EQ(state.ownStars(), held);
    EXPECT_EQ(playing(), 0);
    state.starTakenByOpponent(state.starCount() - 1);  // already the opponent's: still counts
    state.starTakenByOpponent(0);
    EXPECT_EQ(state.ownStars(), held - 2);
    EXPECT_EQ(state.stars()[0].owner, 2.0f);
    EXPECT_EQ(state.stars()[0].b, 1.0f);
    EXPECT_EQ(playing(), 2);
}

TEST_F(WorldTest, ASoloMatchEndsAtTheLastCaptureWithItsTimeFrozen) {
    PlayerState state(true);
    ASSERT_TRUE(state.applyStarListText("20,2,1,0,0,0,-1,0,0,0"));
    state.resetShip();
    state.restartMatchClock();
    step(state, 750);
    EXPECT_EQ(state.ownStars(), 2);
    EXPECT_TRUE(state.isMatchOver());
    EXPECT_EQ(state.matchTime(), 750);
    clock.advance(5000);
    state.update();
    EXPECT_EQ(state.matchTime(), 750);
}

TEST_F(WorldTest, TheShipTurnsAlongItsVelocityAndKeepsItsHeadingWhenStill) {
    PlayerState ship(false);
    struct Heading {
        const char* velocity;
        float zx, zy, zz;  // the ship's Z axis points at its tail
    };
    const Heading headings[] = {{"0,0,5", 0, 0, 1}, {"5,0,0", -1, 0, 0}, {"0,5,0", 0, -1, 0}, {"0,0,0", 0, -1, 0}};
    for (const Heading& h : headings) {
        ship.applyVelocityText(h.velocity);
        step(ship, 20);
        const float* z = ship.ship().frame.zAxis;
        EXPECT_NEAR(z[0], h.zx, 1e-5f) << h.velocity;
        EXPECT_NEAR(z[1], h.zy, 1e-5f) << h.velocity;
        EXPECT_NEAR(z[2], h.zz, 1e-5f) << h.velocity;
    }
}
