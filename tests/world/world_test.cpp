// The world's rules through PlayerState's public interface: fields, texts from
// the peer, motion, captures, energies and drawing. A GL context is open (ship
// turns use GL's matrix stack) and the clock is the test's.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <set>
#include <string>
#include <tuple>
#include <utility>

#include "base/text.h"
#include "net/connection.h"
#include "render/draw_surface.h"
#include "render/frame.h"
#include "tests/support/waiting.h"
#include "tests/support/fake_clock.h"
#include "tests/support/gl_window.h"
#include "textures/texture_manager.h"
#include "world/arena.h"
#include "world/player_state.h"
#include "world/steering.h"
#include "world/world_drawing.h"
#include "world/world_sounds.h"

namespace {

// The sounds the world asked for, by name, in order.
struct HeardSounds : WorldSounds {
    void play(const char* name) override { heard += std::string(heard.empty() ? "" : " ") + name; }
    std::string take() { return std::exchange(heard, ""); }
    std::string heard;
};

class WorldTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(openTestWindow()); }

    // One motion step of `ms`: the first update arms the step timer, the second moves.
    void step(PlayerState& state, uint32_t ms) {
        state.update();
        clock.advance(ms);
        state.update();
    }

    FakeClock clock;
    HeardSounds sounds;
};

void placeShip(PlayerState& state, float x, float y, float z, const std::string& velocity = "0,0,0") {
    state.applyFrameText(frameToText(Frame(x, y, z)));
    state.applyVelocityText(velocity);
}

// A field of 30 away from the ship's start, `held` of them on this side.
void holdStars(PlayerState& state, int held) {
    std::string list = "20,30";
    for (int i = 0; i < 30; ++i) list += "," + toText(i - 15) + ",10,10," + (i < held ? "2" : "1");
    ASSERT_TRUE(state.applyStarListText(list));
}

bool near(float a, float b) { return std::fabs(a - b) < 1e-5f; }

bool hasColour(const DrawRecord& rec, float r, float g, float b) {
    return near(rec.r, r) && near(rec.g, g) && near(rec.b, b) && rec.a == 1.0f;
}

bool hasCorner(const Quad& q, int corner, float x, float y, float z) {
    return near(q.x[corner], x) && near(q.y[corner], y) && near(q.z[corner], z);
}

// The brightness at the window's centre after drawing `state`'s ship from its chase
// camera under the game's projection.
float centreBrightness(const PlayerState& state, Frame& camera, TextureManager& textures) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, 1.0, 0.01, 1024.0);
    glDisable(GL_DEPTH_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    float rgb[3];
    followCamera(state, camera);
    drawShip(state, camera, textures);
    glReadPixels(400, 300, 1, 1, GL_RGB, GL_FLOAT, rgb);
    return rgb[0] + rgb[1] + rgb[2];
}


}  // namespace

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

    const auto countFor = [&](int32_t fewest, int32_t most) {
        state.setStarRange(fewest, most);
        state.newMatch();
        return state.starCount();
    };
    EXPECT_EQ(countFor(30, 31), 30);
    EXPECT_EQ(countFor(-40, -20), 0);  // nonsense never yields a negative count
    EXPECT_LE(countFor(30, INT32_MIN), 30);  // UBSan watches the bound below the lowest int
}

TEST_F(WorldTest, TextsTravelBothWaysWithTheClientMirroringTheServer) {
    PlayerState server(true), client(true);
    holdStars(server, 18);
    server.applyScoreText("12,377,420");  // as a client reads it: energies swapped
    EXPECT_EQ(server.scoreText(), "18,420,377");
    holdStars(client, 1);
    client.applyScoreText(server.scoreText());
    EXPECT_TRUE(client.scoreText() == "12,377,420" && client.opponentStars() == 18);
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
    EXPECT_TRUE(!client.applyStarListText("20,1000" + std::string(20000000, ',')) && client.starListText() == field);

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
    EXPECT_TRUE(mirror.frameText() == local.frameText() && mirror.velocityText() == "1.5,-2,4");
    mirror.applyVelocityText("99,-1e30,7");
    EXPECT_EQ(mirror.velocityText(), "15,-15,7");
    mirror.applyVelocityText("3");  // a short text repeats its last field
    EXPECT_EQ(mirror.velocityText(), "3,3,3");
}

TEST_F(WorldTest, ShipsWrapAtEachFaceOnlyWhenFlyingOutwards) {
    using Place = std::array<float, 3>;  // from, the velocity, to, the sounds heard, and whether in the second skin
    const std::tuple<Place, const char*, Place, const char*, bool> cases[] = {
        {{-20.3f, 0, 0}, "-2,0,0", {19.8f, 0, 0}, "wh1", false},
        {{-20.3f, 0, 0}, "2,0,0", {-20.1f, 0, 0}, "", false},
        {{20.3f, 0, 0}, "2,0,0", {-19.8f, 0, 0}, "wh1", false},
        {{0, -20.3f, 0}, "0,-2,0", {0, 19.8f, 0}, "wh1", false},
        {{0, 20.3f, 0}, "0,2,0", {0, -19.8f, 0}, "wh1", false},
        {{0, 20.3f, 0}, "0,-2,0", {0, 20.1f, 0}, "", false},
        {{0, 0, -20.3f}, "0,0,2", {0, 0, 19.8f}, "wh1", false},  // a positive vz flies towards -Z
        {{0, 0, 20.3f}, "0,0,-2", {0, 0, -19.8f}, "wh1", false},
        {{0, 0, 20.3f}, "0,0,2", {0, 0, 20.1f}, "", false},
        {{-20.3f, 20.4f, -20.5f}, "-1,1,1", {19.9f, -19.9f, 19.9f}, "wh1 wh1 wh1", false},
        {{30, 0, 0}, "1,0,0", {-19.9f, 0, 0}, "wh2", true},  // the second skin's own sound
    };
    for (const auto& [from, velocity, to, heard, secondSkin] : cases) {
        PlayerState ship(false);
        ship.setSounds(&sounds);
        if (secondSkin) ship.toggleSkin();
        placeShip(ship, from[0], from[1], from[2], velocity);
        step(ship, 100);
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_NEAR(ship.ship().frame.position[axis], to[axis], 1e-4f) << from[0] << "," << from[1];
        EXPECT_EQ(sounds.take(), heard) << "from " << from[0] << "," << from[1] << "," << from[2];
    }
}

TEST_F(WorldTest, CapturesWithinOneAndAHalfUnitsAndOpponentCapturesOfValidStars) {
    PlayerState state(true);
    state.setSounds(&sounds);
    // Free at 1.49 and at 1.5, the opponent's at 1.2, already ours at 1, one far away.
    ASSERT_TRUE(state.applyStarListText("20,5,1.49,0,0,0,0,1.5,0,0,0,0,-1.2,1,0,0,1,2,10,10,10,0"));
    placeShip(state, 0, 0, 0);
    step(state, 20);
    EXPECT_EQ(state.ownersText(), "1,0,1,1,0");
    EXPECT_TRUE(state.ownStars() == 3 && state.stars()[2].g == 1.0f && !state.isMatchOver());
    EXPECT_EQ(sounds.take(), "pop1 pop1");  // one for each, no notice without a peer

    for (int32_t bad : {-1, 5, 1 << 30}) state.starTakenByOpponent(bad);
    EXPECT_TRUE(state.ownStars() == 3 && sounds.take().empty());
    state.starTakenByOpponent(1);  // a free star: still counts
    state.starTakenByOpponent(0);
    EXPECT_TRUE(state.ownersText() == "2,2,1,1,0" && state.ownStars() == 1 && state.stars()[0].b == 1.0f);
    EXPECT_EQ(sounds.take(), "pop2 pop2");
}

TEST_F(WorldTest, EachHeldKeyThrustsAlongItsAxisBySensitivityPerSecondHeld) {
    const std::pair<bool Steering::*, const char*> keys[] = {
        {&Steering::forward, "0,0,0.05"}, {&Steering::back, "0,0,-0.05"}, {&Steering::left, "-0.05,0,0"},
        {&Steering::right, "0.05,0,0"},   {&Steering::up, "0,0.05,0"},    {&Steering::down, "0,-0.05,0"}};
    for (const auto& [key, velocity] : keys) {
        PlayerState ship(false);
        ship.applyVelocityText("0,0,0");
        Steering held;
        held.*key = true;
        steerShip(ship, held, 2.5f, 20);
        EXPECT_EQ(ship.velocityText(), velocity);
    }
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

TEST_F(WorldTest, TheArenaIsLinesUpToItsYellowEdgesAndEachStarTwoCrossedSquares) {
    DrawSurface3D surface;
    buildArena(surface, 10);
    buildArena(surface, 20);  // replaces, never adds
    EXPECT_FALSE(surface.isRecording());
    int edges = 0;
    for (const DrawRecord& rec : surface.recordList()) {
        const Quad& q = rec.quad;
        EXPECT_EQ(rec.kind, LineRecord);
        const float span = std::fabs(q.x[3] - q.x[0]) + std::fabs(q.y[3] - q.y[0]) + std::fabs(q.z[3] - q.z[0]);
        edges += hasColour(rec, 1, 1, 0) && span == 40.0f;
    }
    EXPECT_TRUE(edges == 12 && surface.recordList().size() == 336) << edges;

    PlayerState state(true);  // each star is two crossed squares in its colour
    ASSERT_TRUE(state.applyStarListText("20,2,3,-7,12,2,0,0,0,1"));
    surface.clearRecording();
    drawStars(state, surface);
    const std::list<DrawRecord>& records = surface.recordList();
    ASSERT_EQ(records.size(), 4u);
    const DrawRecord& upright = records.front();
    const DrawRecord& flat = *std::next(records.begin());
    EXPECT_TRUE(upright.kind == QuadRecord && !upright.textured && hasColour(upright, 0, 1, 0));
    EXPECT_TRUE(hasCorner(upright.quad, 0, 2.8f, -7.2f, 12) && hasCorner(upright.quad, 3, 3.2f, -6.8f, 12));
    EXPECT_TRUE(hasCorner(flat.quad, 0, 2.8f, -7, 12.2f) && hasCorner(flat.quad, 3, 3.2f, -7, 11.8f));
    EXPECT_TRUE(hasColour(flat, 0.2f, 1, 0) && hasColour(records.back(), 0.2f, 0, 1));
}

TEST_F(WorldTest, ShipsWearTheirSkinAndAreDrawnWhiteWithoutTextures) {
    Frame camera;
    TextureManager textures;
    PlayerState state(false);
    step(state, 20);  // turns the tail towards the camera
    EXPECT_GT(centreBrightness(state, camera, textures), 2.9f);  // no textures at all
    EXPECT_FLOAT_EQ(camera.position[2], state.ship().frame.position[2] + 15.0f);  // chase camera

    ASSERT_NE(textures.createBlankTexture("Ship Burner", 4, 4), 0u);  // black
    loadShipTextures(textures);  // the images are not there: nothing is added
    EXPECT_EQ(textures.getTexture("Ship Top"), nullptr);
    EXPECT_LT(centreBrightness(state, camera, textures), 0.1f);  // the tail is the burner, textured
    state.toggleSkin();
    EXPECT_GT(centreBrightness(state, camera, textures), 2.9f);  // "Ship2 Burner" is missing
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(WorldTest, TheHostDrainsWhoeverHoldsFewerThanHalfEachFullSecondDownToZero) {
    Connection server, client;  // a host on a free loopback port; no peer until its client connects
    ASSERT_TRUE(server.startNetworking());
    const int port = onFreePort([&](int candidate) { return server.startServer(candidate); });
    PlayerState alone(true);  // listening with nobody there: no race yet
    alone.setConnection(&server);
    holdStars(alone, 0);
    step(alone, 5000);
    EXPECT_TRUE(alone.ownEnergy() == 500 && !alone.isMatchOver());

    ASSERT_TRUE(client.connectTo("localhost", port));
    ASSERT_TRUE(waitUntil([&] { return server.pumpNetEvents() && server.peerCount() == 1; }, 10000));
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
    EXPECT_EQ(state.scoreText(), "10,0,500");  // no energy left
    EXPECT_EQ(state.matchTime(), 63000);  // the match's length, frozen
}
