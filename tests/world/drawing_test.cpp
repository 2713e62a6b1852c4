#include <GL/gl.h>
#include <GL/glu.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <vector>

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
    for (int i = 0; i < 320; ++i, ++rec) {
        EXPECT_EQ(rec->kind, LineRecord);
        expectColour(*rec, 0.5f, 0.5f, 0.6f);
        // Each grid line lies on a face and crosses its middle band from H to -H.
        const Quad& q = rec->quad;
        EXPECT_EQ(std::fmax(std::fabs(q.x[0]), std::fabs(q.y[0])), 20.0f);
        const float across = (q.x[0] - q.x[3]) + (q.y[0] - q.y[3]) + (q.z[0] - q.z[3]);
        EXPECT_EQ(std::fabs(across), 20.0f);
    }
    for (int i = 0; i < 4; ++i, ++rec) {
        expectColour(*rec, 0.6f, 0.6f, 0.8f);
    }
    for (int i = 0; i < 12; ++i, ++rec) {
        expectColour(*rec, 1.0f, 1.0f, 0.0f);
        const Quad& q = rec->quad;
        const float length = std::fabs(q.x[3] - q.x[0]) + std::fabs(q.y[3] - q.y[0]) + std::fabs(q.z[3] - q.z[0]);
        EXPECT_EQ(length, 40.0f);
    }
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

TEST_F(WorldTest, ShipsWearTheirSkinAndAreDrawnWhiteWithoutTextures) {
    Frame camera;
    TextureManager textures;
    PlayerState state(false);
    state.followCamera();  // no camera wired: nothing happens
    state.setCamera(&camera);
    step(state, 20);  // turns the tail towards the camera
    float rgb[3];
    centrePixel(state, rgb);  // no texture manager at all
    EXPECT_GT(rgb[0] + rgb[1] + rgb[2], 2.9f);
    EXPECT_FLOAT_EQ(camera.position[2], state.ship().frame.position[2] + 15.0f);  // chase camera

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

// Not a check: with STARHOLD_WORLD_SCENE set to a .png path, draws the arena, a
// star field and both ships as the game shows them, for a person to look at.
TEST_F(WorldTest, SceneForViewing) {
    const char* out = std::getenv("STARHOLD_WORLD_SCENE");
    const char* source = std::getenv("STARHOLD_SOURCE_DIR");
    if (out == nullptr || source == nullptr || chdir((std::string(source) + "/data").c_str()) != 0) {
        GTEST_SKIP() << "set STARHOLD_WORLD_SCENE to write the picture";
    }
    DrawSurface3D scene, stars;
    TextureManager textures;
    Frame camera;
    PlayerState local(true), remote(false);
    for (PlayerState* p : {&local, &remote}) {
        p->setCamera(&camera);
        p->setTextures(&textures);
        p->setSurface(&stars);
    }
    local.loadShipTextures();
    remote.toggleSkin();
    std::srand(3);
    local.newMatch();
    local.splitStars();
    local.starTakenByOpponent(0);
    buildArena(scene, 20);
    placeShip(local, 2, -1, 4);
    placeShip(remote, -3, 1, -2);
    local.applyVelocityText("2,0.5,6");
    remote.applyVelocityText("4,-1,-3");
    step(local, 20);
    remote.update();
    local.followCamera();
    local.drawStars();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, 1.0, 0.01, 1024.0);
    glEnable(GL_DEPTH_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    camera.applyAsView();
    scene.flush(false, false);
    stars.flush(true, false);
    local.drawShip();
    remote.drawShip();
    std::vector<unsigned char> pixels(800 * 600 * 3);
    glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    const std::string ppm = std::string(out) + ".ppm";
    std::ofstream file(ppm, std::ios::binary);
    file << "P6 800 600 255\n";
    file.write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
    file.close();
    EXPECT_EQ(std::system(("convert -flip " + ppm + " " + out).c_str()), 0);
}
