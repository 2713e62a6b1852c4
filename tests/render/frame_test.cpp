#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>

#include "render/frame.h"
#include "tests/support/gl_window.h"

namespace {

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(openTestWindow()); }
};

void expectVec(const float* v, float x, float y, float z) {
    EXPECT_NEAR(v[0], x, 1e-5f);
    EXPECT_NEAR(v[1], y, 1e-5f);
    EXPECT_NEAR(v[2], z, 1e-5f);
}

// The eye coordinates of a world point under the current modelview matrix.
void eyeOf(float x, float y, float z, float out[3]) {
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int r = 0; r < 3; ++r) {
        out[r] = m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r];
    }
}

}  // namespace

TEST(Frame, ResetGivesTheDefaultOrientation) {
    Frame frame(1, 2, 3);
    expectVec(frame.xAxis, 1, 0, 0);
    expectVec(frame.yAxis, 0, 1, 0);
    expectVec(frame.zAxis, 0, 0, -1);
    expectVec(frame.position, 1, 2, 3);
    EXPECT_EQ(frame.matrix[15], 1.0f);
}

TEST(Frame, CopiesPointAtTheirOwnMatrix) {
    Frame a(1, 2, 3);
    Frame b(a);
    Frame c;
    c = a;
    EXPECT_EQ(b.position, b.matrix + 12);
    EXPECT_EQ(c.zAxis, c.matrix + 8);
    b.setPosition(9, 9, 9, 123.0f);
    expectVec(a.position, 1, 2, 3);
    expectVec(b.position, 9, 9, 9);
}

TEST(Frame, MovesAlongItsOwnAndTheWorldAxes) {
    Frame local;
    local.moveLocal(0, 0, -20, 1);
    expectVec(local.position, 0, 0, 20);
    Frame world;
    world.moveWorld(0, 0, -20, 1);
    expectVec(world.position, 0, 0, -20);
    world.moveWorld(1, 2, 3, 0.5f);
    expectVec(world.position, 0.5f, 1, -18.5f);
}

TEST_F(FrameTest, RotateLocalTurnsAboutItsOwnAxis) {
    Frame frame(4, 5, 6);
    frame.rotateLocal(180, 0, 1, 0);
    expectVec(frame.zAxis, 0, 0, 1);
    expectVec(frame.xAxis, -1, 0, 0);
    expectVec(frame.yAxis, 0, 1, 0);
    expectVec(frame.position, 4, 5, 6);
}

TEST_F(FrameTest, RotateWorldMatchesLocalTurnAboutTheMappedAxis) {
    Frame world, local;
    world.rotateWorld(30, 0, 0, 1);
    local.rotateLocal(30, 0, 0, -1);
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(world.matrix[i], local.matrix[i], 1e-5f) << i;
    }
    // A turn about world Y, whatever the frame's own tilt, keeps every axis's height.
    Frame turned;
    turned.rotateLocal(35, 1, 0, 0);
    const float heights[3] = {turned.xAxis[1], turned.yAxis[1], turned.zAxis[1]};
    turned.rotateWorld(70, 0, 1, 0);
    EXPECT_NEAR(turned.xAxis[1], heights[0], 1e-5f);
    EXPECT_NEAR(turned.yAxis[1], heights[1], 1e-5f);
    EXPECT_NEAR(turned.zAxis[1], heights[2], 1e-5f);
    EXPECT_GT(std::fabs(turned.xAxis[2]), 0.5f);
}

TEST_F(FrameTest, RotationsLeaveTheMatrixStackAsFound) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1, 2, 3);
    Frame frame;
    frame.rotateLocal(45, 1, 1, 0);
    frame.rotateWorld(10, 0, 0, 1);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[12], 1.0f);
    EXPECT_FLOAT_EQ(m[14], 3.0f);
}

TEST_F(FrameTest, ViewPutsTheOriginInFrontOfTheCamera) {
    Frame camera(0, 0, 20);
    camera.applyAsView();
    float eye[3];
    eyeOf(0, 0, 0, eye);
    expectVec(eye, 0, 0, -20);
    eyeOf(1, 2, 20, eye);
    expectVec(eye, 1, 2, 0);
}

TEST_F(FrameTest, ModelIsMultipliedOntoTheView) {
    Frame camera(0, 0, 20);
    Frame ship(3, 0, 0);
    camera.applyAsView();
    ship.applyAsModel();
    float eye[3];
    eyeOf(0, 0, 0, eye);  // the ship's own origin
    expectVec(eye, 3, 0, -20);
}
