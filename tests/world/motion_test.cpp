#include <SDL_mixer.h>

#include <cmath>
#include <cstdio>
#include <fstream>

#include "sound/sound_manager.h"
#include "tests/world/world_fixture.h"

std::string writeSilentWav(int seconds) {
    const std::string path = testing::TempDir() + "starhold_world_silence.wav";
    const uint32_t rate = 22050;
    const uint32_t bytes = rate * 2 * static_cast<uint32_t>(seconds);
    std::ofstream out(path, std::ios::binary);
    auto put32 = [&out](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto put16 = [&out](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    put32(36 + bytes);
    out.write("WAVEfmt ", 8);
    put32(16);
    put16(1);
    put16(1);
    put32(rate);
    put32(rate * 2);
    put16(2);
    put16(16);
    out.write("data", 4);
    put32(bytes);
    const std::string silence(bytes, '\0');
    out.write(silence.data(), bytes);
    return path;
}

namespace {

// A real sound manager on SDL's dummy driver; a sound that was played is
// still on a channel when the test counts them.
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
    static void silence() { Mix_HaltChannel(-1); }

    SoundManager sounds;
};

struct WrapCase {
    float x, y, z, vx, vy, vz;
    float ex, ey, ez;
    int wraps;
};

}  // namespace

TEST_F(WorldTest, VelocityIsClampedOnEachAxis) {
    PlayerState state(true);
    state.addVelocity(20, -3, 0);
    EXPECT_EQ(state.ship().vx, 15.0f);
    EXPECT_EQ(state.ship().vy, -3.0f);
    state.addVelocity(-40, -30, 0);
    EXPECT_EQ(state.ship().vx, -15.0f);
    EXPECT_EQ(state.ship().vy, -15.0f);
}

TEST_F(SoundingWorldTest, ShipsWrapAtEachFaceOnlyWhenFlyingOutwards) {
    const WrapCase cases[] = {
        {-20.3f, 0, 0, -2, 0, 0, 19.8f, 0, 0, 1},
        {-20.3f, 0, 0, 2, 0, 0, -20.1f, 0, 0, 0},
        {20.3f, 0, 0, 2, 0, 0, -19.8f, 0, 0, 1},
        {0, -20.3f, 0, 0, -2, 0, 0, 19.8f, 0, 1},
        {0, 20.3f, 0, 0, 2, 0, 0, -19.8f, 0, 1},
        {0, 20.3f, 0, 0, -2, 0, 0, 20.1f, 0, 0},
        {0, 0, -20.3f, 0, 0, 2, 0, 0, 19.8f, 1},  // positive vz flies towards -Z
        {0, 0, 20.3f, 0, 0, -2, 0, 0, -19.8f, 1},
        {0, 0, 20.3f, 0, 0, 2, 0, 0, 20.1f, 0},
        {-20.3f, 20.4f, -20.5f, -1, 1, 1, 19.9f, -19.9f, 19.9f, 3},
    };
    for (const WrapCase& c : cases) {
        PlayerState ship(false);
        ship.setSounds(&sounds);
        placeShip(ship, c.x, c.y, c.z);
        ship.applyVelocityText(toText(c.vx) + "," + toText(c.vy) + "," + toText(c.vz));
        step(ship, 100);
        expectPosition(ship, c.ex, c.ey, c.ez);
        EXPECT_EQ(playing(), c.wraps) << "from " << c.x << "," << c.y << "," << c.z;
        silence();
    }
}

TEST_F(SoundingWorldTest, TheSecondSkinWrapsWithItsOwnSound) {
    PlayerState ship(false);
    ship.setSounds(&sounds);
    ship.toggleSkin();
    placeShip(ship, 30, 0, 0);
    ship.applyVelocityText("1,0,0");
    step(ship, 100);
    expectPosition(ship, -19.9f, 0, 0);
    EXPECT_EQ(playing(), 0);  // only "wh1" is loaded
}

TEST_F(SoundingWorldTest, CapturesWithinOneAndAHalfUnitsSeveralAtOnce) {
    PlayerState state(true);
    state.setSounds(&sounds);
    // Free at 1.49 and at 1.5, the opponent's at 1.2, already ours at 1, one far away.
    ASSERT_TRUE(state.applyStarListText("20,5,1.49,0,0,0,0,1.5,0,0,0,0,-1.2,1,0,0,1,2,10,10,10,0"));
    placeShip(state, 0, 0, 0);
    state.applyVelocityText("0,0,0");
    step(state, 20);
    const std::vector<Star>& stars = state.stars();
    EXPECT_EQ(stars[0].owner, 1.0f);
    EXPECT_EQ(stars[0].g, 1.0f);
    EXPECT_EQ(stars[1].owner, 0.0f);
    EXPECT_EQ(stars[2].owner, 1.0f);
    EXPECT_EQ(stars[4].owner, 0.0f);
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
    const int32_t blue = state.starCount() - 1;  // already the opponent's
    state.starTakenByOpponent(blue);
    state.starTakenByOpponent(0);
    EXPECT_EQ(state.ownStars(), held - 2);
    EXPECT_EQ(state.stars()[0].owner, 2.0f);
    EXPECT_EQ(state.stars()[0].b, 1.0f);
    EXPECT_EQ(playing(), 2);
    PlayerState empty(false);
    empty.starTakenByOpponent(0);
    EXPECT_EQ(empty.ownStars(), 0);
}

TEST_F(WorldTest, ASoloMatchEndsAtTheLastCaptureWithItsTimeFrozen) {
    PlayerState state(true);
    ASSERT_TRUE(state.applyStarListText("20,2,1,0,0,0,-1,0,0,0"));
    state.resetShip();
    state.restartMatchClock();
    state.update();
    clock.advance(750);
    state.update();
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
        float zx, zy, zz;  // the ship's Z axis: its tail direction
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
    ship.rotateShip(90, 0, 1, 0);
    for (float element : ship.ship().frame.matrix) {
        EXPECT_TRUE(std::isfinite(element));
    }
}
