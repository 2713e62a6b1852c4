// How the world looks: the arena's lines, the star markers and the ships, drawn
// through GL in a real window.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "render/draw_surface.h"
#include "render/frame.h"
#include "tests/support/gl_window.h"
#include "textures/texture_manager.h"
#include "world/arena.h"
#include "world/player_state.h"
#include "world/world_drawing.h"

namespace {

class WorldDrawingTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(openTestWindow()); }

    ManualClock clock{1000};
    RandomSource random{1};
};

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

TEST_F(WorldDrawingTest, TheArenaIsLinesUpToItsYellowEdgesAndEachStarTwoCrossedSquares) {
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

    PlayerState state(true, clock, random);  // each star is two crossed squares in its colour
    Star held, theirs;
    held.x = 3, held.y = -7, held.z = 12, held.owner = 2;  // the host's 2: this side's
    theirs.owner = 1;
    state.applyField(20, {held, theirs});
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

TEST_F(WorldDrawingTest, ShipsWearTheirSkinAndAreDrawnWhiteWithoutTextures) {
    Frame camera;
    TextureManager textures;
    PlayerState state(false, clock, random);
    WorldEvents events;
    state.update(MatchRole::Alone, events);
    clock.advance(20);
    state.update(MatchRole::Alone, events);  // turns the tail towards the camera
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
