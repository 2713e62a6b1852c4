#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>

#include "render/frame.h"
#include "tests/support/gl_window.h"

namespace {

void expectVec(const float* v, float x, float y, float z) {
    EXPECT_NEAR(v[0], x, 1e-5f);
    EXPECT_NEAR(v[1], y, 1e-5f);
    EXPECT_NEAR(v[2], z, 1e-5f);
}

// The eye coordinates of a world point under the current modelview matrix.
void expectEye(float x, float y, float z, float ex, float ey, float ez) {
    float m[16], eye[3];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int r = 0; r < 3; ++r) {
        eye[r] = m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r];
    }
    expectVec(eye, ex, ey, ez);
}

class FrameGl : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(openTestWindow()); }
};

}  // namespace

TEST(Frame, StartsFacingDownWorldZAndCopiesPointAtTheirOwnMatrix) {
    Frame a(1, 2, 3);
    expectVec(a.xAxis, 1, 0, 0);
    expectVec(a.yAxis, 0, 1, 0);
    expectVec(a.zAxis, 0, 0, -1);
    expectVec(a.position, 1, 2, 3);
    EXPECT_EQ(a.matrix[15], 1.0f);
    Frame b(a), c;
    c = a;
    EXPECT_EQ(b.position, b.matrix + 12);
    EXPECT_EQ(c.zAxis, c.matrix + 8);
    b.setPosition(9, 9, 9, 123.0f);
    expectVec(a.position, 1, 2, 3);
    expectVec(b.position, 9, 9, 9);
}

TEST(Frame, MovesAlongItsOwnAndTheWorldAxes) {
    Frame local, world;
    local.moveLocal(0, 0, -20, 1);
    expectVec(local.position, 0, 0, 20);
    world.moveWorld(0, 0, -20, 1);
    world.moveWorld(1, 2, 3, 0.5f);
    expectVec(world.position, 0.5f, 1, -18.5f);
}

TEST_F(FrameGl, RotationsTurnAboutTheirAxesAndLeaveTheMatrixStackAsFound) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1, 2, 3);
    Frame frame(4, 5, 6);
    frame.rotateLocal(180, 0, 1, 0);
    expectVec(frame.xAxis, -1, 0, 0);
    expectVec(frame.yAxis, 0, 1, 0);
    expectVec(frame.zAxis, 0, 0, 1);
    expectVec(frame.position, 4, 5, 6);

    Frame world, local;  // world Z is the default frame's -Z
    world.rotateWorld(30, 0, 0, 1);
    local.rotateLocal(30, 0, 0, -1);
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(world.matrix[i], local.matrix[i], 1e-5f) << i;
    }
    Frame turned;  // a turn about world Y, whatever the tilt, keeps every axis's height
    turned.rotateLocal(35, 1, 0, 0);
    const float heights[3] = {turned.xAxis[1], turned.yAxis[1], turned.zAxis[1]};
    turned.rotateWorld(70, 0, 1, 0);
    EXPECT_NEAR(turned.xAxis[1], heights[0], 1e-5f);
    EXPECT_NEAR(turned.yAxis[1], heights[1], 1e-5f);
    EXPECT_NEAR(turned.zAxis[1], heights[2], 1e-5f);
    EXPECT_GT(std::fabs(turned.xAxis[2]), 0.5f);

    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    expectEye(0, 0, 0, 1, 2, 3);
}

TEST_F(FrameGl, ViewPutsTheWorldBeforeTheCameraAndModelsMultiplyOntoIt) {
    Frame camera(0, 0, 20);
    camera.applyAsView();
    expectEye(0, 0, 0, 0, 0, -20);
    expectEye(1, 2, 20, 1, 2, 0);
    Frame(3, 0, 0).applyAsModel();
    expectEye(0, 0, 0, 3, 0, -20);  // the ship's own origin
}
