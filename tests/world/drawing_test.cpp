#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <iterator>

#include "render/draw_surface.h"
#include "textures/texture_manager.h"
#include "tests/world/world_fixture.h"
#include "world/arena.h"

namespace {

void expectColour(const DrawRecord& rec, float r, float g, float b) {
    EXPECT_FLOAT_EQ(rec.r, r);
    EXPECT_FLOAT_EQ(rec.g, g);
    EXPECT_FLOAT_EQ(rec.b, b);
    EXPECT_FLOAT_EQ(rec.a, 1.0f);
}

void expectCorner(const Quad& q, int corner, float x, float y, float z) {
    EXPECT_NEAR(q.x[corner], x, 1e-5f);
    EXPECT_NEAR(q.y[corner], y, 1e-5f);
    EXPECT_NEAR(q.z[corner], z, 1e-5f);
}

// The colour at the window's centre after drawing `state`'s ship, seen from its chase camera.
void centrePixel(PlayerState& state, float rgb[3]) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, 1.0, 0.01, 1024.0);
    glDisable(GL_DEPTH_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    state.followCamera();
    state.drawShip();
    glReadPixels(400, 300, 1, 1, GL_RGB, GL_FLOAT, rgb);
}

}  // namespace

TEST_F(WorldTest, TheArenaIsAGridBandCentreCrossesAndYellowEdges) {
    DrawSurface3D surface;
    buildArena(surface, 10);
    EXPECT_EQ(surface.recordList().size(), 160u + 4u + 12u);
    buildArena(surface, 20);  // replaces, never adds
    const std::list<DrawRecord>& records = surface.recordList();
    ASSERT_EQ(records.size(), 320u + 4u + 12u);
    EXPECT_FALSE(surface.isRecording());
    auto rec = records.begin();
    expectCorner(rec->quad, 0, -20, -20, 10);
    expectCorner(rec->quad, 3, -20, -20, -10);
    for (int i = 0; i < 320; ++i, ++rec) {
        EXPECT_EQ(rec->kind, LineRecord);
        expectColour(*rec, 0.5f, 0.5f, 0.6f);
        // Each line lies on a face and crosses the face's middle band from H to -H.
        const Quad& q = rec->quad;
        EXPECT_EQ(std::fmax(std::fabs(q.x[0]), std::fabs(q.y[0])), 20.0f);
        const float* ends[3][2] = {{&q.x[0], &q.x[3]}, {&q.y[0], &q.y[3]}, {&q.z[0], &q.z[3]}};
        int moving = 0;
        for (auto& axis : ends) {
            if (*axis[0] != *axis[1]) {
                ++moving;
                EXPECT_EQ(std::fabs(*axis[0]), 10.0f);
                EXPECT_EQ(*axis[1], -*axis[0]);
            }
        }
        EXPECT_EQ(moving, 1);
    }
    expectCorner(rec->quad, 0, 0, -20, -20);
    expectCorner(rec->quad, 3, 0, 20, -20);
    for (int i = 0; i < 4; ++i, ++rec) {
        expectColour(*rec, 0.6f, 0.6f, 0.8f);
    }
    for (int i = 0; i < 12; ++i, ++rec) {
        expectColour(*rec, 1.0f, 1.0f, 0.0f);
        const Quad& q = rec->quad;
        const float length = std::fabs(q.x[3] - q.x[0]) + std::fabs(q.y[3] - q.y[0]) + std::fabs(q.z[3] - q.z[0]);
        EXPECT_EQ(length, 40.0f);
    }
    std::advance(rec, -12);
    expectCorner(rec->quad, 0, -20, -20, -20);
    expectCorner(rec->quad, 3, -20, 20, -20);
}

TEST_F(WorldTest, EachStarIsTwoCrossedSquaresInItsColour) {
    DrawSurface3D surface;
    PlayerState state(true);
    state.drawStars();  // no surface: nothing to draw into, nothing happens
    state.setSurface(&surface);
    ASSERT_TRUE(state.applyStarListText("20,2,3,-7,12,2,0,0,0,1"));
    state.drawStars();
    const std::list<DrawRecord>& records = surface.recordList();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_FALSE(surface.isRecording());
    const DrawRecord& upright = records.front();
    const DrawRecord& flat = *std::next(records.begin());
    EXPECT_EQ(upright.kind, QuadRecord);
    EXPECT_FALSE(upright.textured);
    expectCorner(upright.quad, 0, 2.8f, -7.2f, 12);
    expectCorner(upright.quad, 3, 3.2f, -6.8f, 12);
    expectColour(upright, 0, 1, 0);
    expectCorner(flat.quad, 0, 2.8f, -7, 12.2f);
    expectCorner(flat.quad, 3, 3.2f, -7, 11.8f);
    expectColour(flat, 0.2f, 1, 0);
    expectColour(records.back(), 0.2f, 0, 1);
}

TEST_F(WorldTest, TheCameraFollowsFifteenUnitsBehindTheShip) {
    Frame camera;
    PlayerState state(true);
    state.followCamera();  // no camera wired: nothing happens
    state.setCamera(&camera);
    placeShip(state, 3, -4, 5);
    state.followCamera();
    EXPECT_FLOAT_EQ(camera.position[0], 3);
    EXPECT_FLOAT_EQ(camera.position[1], -4);
    EXPECT_FLOAT_EQ(camera.position[2], 20);
    EXPECT_FLOAT_EQ(camera.zAxis[2], -1);
}

TEST_F(WorldTest, ShipsWearTheirSkinAndAreDrawnWhiteWithoutTextures) {
    Frame camera;
    TextureManager textures;
    PlayerState state(false);
    state.setCamera(&camera);
    step(state, 20);  // turns the tail towards the camera
    float rgb[3];
    centrePixel(state, rgb);  // no texture manager at all
    EXPECT_GT(rgb[0] + rgb[1] + rgb[2], 2.9f);

    ASSERT_NE(textures.createBlankTexture("Ship Burner", 4, 4), 0u);  // black
    state.setTextures(&textures);
    state.loadShipTextures();  // the images are not there: nothing is added
    EXPECT_EQ(textures.getTexture("Ship Top"), nullptr);
    centrePixel(state, rgb);
    EXPECT_LT(rgb[0] + rgb[1] + rgb[2], 0.1f);  // the tail is the burner, textured
    state.toggleSkin();
    centrePixel(state, rgb);
    EXPECT_GT(rgb[0] + rgb[1] + rgb[2], 2.9f);  // "Ship2 Burner" is missing
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
