#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <cmath>

#include "render/frame.h"
#include "tests/support/gl_window.h"

namespace {

// Column-major: the X, Y and Z axes, then the position.
void expectMatrix(const Frame& frame, const std::array<float, 16>& expected) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(frame.matrix[i], expected[i], 1e-5f) << i;
}

}  // namespace

TEST(Frame, StartsFacingDownWorldZMovesAndCopiesPointAtTheirOwnMatrix) {
    Frame a(1, 2, 3);
    expectMatrix(a, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 1, 2, 3, 1});
    Frame b(a), c;
    c = a;
    EXPECT_TRUE(b.position == b.matrix + 12 && c.zAxis == c.matrix + 8);
    b.setPosition(9, 9, 9, 123.0f);
    EXPECT_TRUE(a.position[0] == 1.0f && b.position[0] == 9.0f);
    a.moveLocal(0, 0, -20, 1);
    EXPECT_EQ(a.position[2], 23.0f);
    c.moveWorld(1, 2, -20, 0.5f);
    expectMatrix(c, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 1.5f, 3, -7, 1});
}

TEST(Frame, RotationsTurnAboutTheirAxesWithoutAnyGlContext) {
    Frame frame(4, 5, 6);
    frame.rotateLocal(180, 0, 1, 0);
    expectMatrix(frame, {-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 4, 5, 6, 1});

    Frame world, local;  // world Z is the default frame's -Z
    world.rotateWorld(30, 0, 0, 1);
    local.rotateLocal(30, 0, 0, -1);
    std::array<float, 16> turned;
    std::copy(local.matrix, local.matrix + 16, turned.begin());
    expectMatrix(world, turned);

    Frame tilted;  // a turn about world Y, whatever the tilt, keeps every axis's height
    tilted.rotateLocal(35, 1, 0, 0);
    const float heights[3] = {tilted.xAxis[1], tilted.yAxis[1], tilted.zAxis[1]};
    tilted.rotateWorld(70, 0, 1, 0);
    for (int axis = 0; axis < 3; ++axis) EXPECT_NEAR(tilted.matrix[4 * axis + 1], heights[axis], 1e-5f) << axis;
    EXPECT_GT(std::fabs(tilted.xAxis[2]), 0.5f);

    Frame still(1, 2, 3);  // an axis without a direction turns nothing
    still.rotateLocal(90, 0, 0, 0);
    expectMatrix(still, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 1, 2, 3, 1});
}

TEST(FrameGl, RotationsTurnAsGlRotateDoes) {
    ASSERT_TRUE(openTestWindow());
    const float turns[][4] = {{33, 1, 2, 3}, {-120, 0, 0, 1}, {0.25f, 0, 1, 0}, {271, -4, 0.5f, 2}};
    Frame frame(7, -2, 5);
    frame.rotateLocal(20, 1, 1, 0);
    for (const auto& t : turns) {
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixf(frame.matrix);
        glRotatef(t[0], t[1], t[2], t[3]);
        std::array<float, 16> expected;
        glGetFloatv(GL_MODELVIEW_MATRIX, expected.data());
        frame.rotateLocal(t[0], t[1], t[2], t[3]);
        expectMatrix(frame, expected);
    }
}
