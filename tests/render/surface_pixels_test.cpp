// What the drawing surfaces put on screen and into textures, read back from a
// real OpenGL context.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <vector>

#include "render/draw_surface.h"
#include "textures/texture_manager.h"

namespace {

using Rgba = std::array<int, 4>;

constexpr int kWidth = 800;
constexpr int kHeight = 600;

// Pixel at (x, y) with y counted from the top, as the 2-D surface counts.
Rgba pixelAt(int x, int y) {
    unsigned char p[4] = {0, 0, 0, 0};
    glReadPixels(x, kHeight - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2], p[3]};
}

std::vector<unsigned char> wholeScreen() {
    std::vector<unsigned char> pixels(kWidth * kHeight * 4);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

std::vector<unsigned char> textureImage(GLuint texture, int w, int h) {
    std::vector<unsigned char> pixels(w * h * 4);
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

Rgba texel(const std::vector<unsigned char>& image, int w, int x, int y) {
    const unsigned char* p = &image[(y * w + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

const Rgba kBlack = {0, 0, 0, 0};
const Rgba kRed = {255, 0, 0, 255};
const Rgba kGreen = {0, 255, 0, 255};
const Rgba kBlue = {0, 0, 255, 255};

class SurfacePixels : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        window.setResolution(kWidth, kHeight);
        windowOpen = window.initialise();
    }

    void SetUp() override {
        ASSERT_TRUE(windowOpen);
        flat.setTextureManager(&textures);
        flat.setResolution(kWidth, kHeight);
        flat.resize(kWidth, kHeight);
        flat.beginFrame();
    }

    static DrawSurface3D window;
    static bool windowOpen;
    DrawSurface2D flat;
    TextureManager textures;
};

DrawSurface3D SurfacePixels::window;
bool SurfacePixels::windowOpen = false;

}  // namespace

TEST_F(SurfacePixels, WindowGetsTheThreeDimensionalState) {
    window.initialise();
    float projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_FLOAT_EQ(projection[0], projection[5]);  // 800 x 600 is drawn with aspect 1
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], kWidth);
    EXPECT_EQ(viewport[3], kHeight);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));  // no invalid hint or other rejected call
}

TEST_F(SurfacePixels, FlatPrimitivesAndTheirReplayLandOnTheirPixels) {
    auto scene = [this] {
        flat.drawRect(10, 20, 30, 40, 0, 1, 0, 0, 1);
        flat.drawTriangle(100, 100, 140, 100, 100, 140, 0, 0, 1, 0, 1);
        flat.drawLine(200, 50, 300, 50, 0, 0, 0, 1);
        flat.endBatch();
    };
    scene();
    EXPECT_EQ(pixelAt(20, 30), kRed);
    EXPECT_EQ(pixelAt(9, 30), kBlack);
    EXPECT_EQ(pixelAt(20, 41), kBlack);
    EXPECT_EQ(pixelAt(105, 105), kGreen);
    EXPECT_EQ(pixelAt(135, 135), kBlack);
    EXPECT_EQ(pixelAt(250, 50), kBlue);
    const std::vector<unsigned char> immediate = wholeScreen();

    flat.beginRecording();
    scene();
    flat.endRecording();
    for (int pass = 0; pass < 2; ++pass) {
        flat.beginFrame();
        flat.flush(pass == 1, false);
        EXPECT_EQ(wholeScreen(), immediate) << "pass " << pass;
    }
    EXPECT_TRUE(flat.recordList().empty());
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(SurfacePixels, ATargetIsCopiedIntoItsTexture) {
    const GLuint t = textures.createBlankTexture("target", 64, 32);
    ASSERT_NE(t, 0u);
    flat.beginTarget(0, 0, 64, 32, t, 0, 0, 0, 0);
    flat.drawRect(0, 0, 32, 32, 0, 0, 1, 0, 1);  // inside a target y grows upwards
    flat.drawRect(32, 0, 64, 8, 0, 1, 0, 0, 1);
    flat.endTarget();
    EXPECT_EQ(flat.activeTargetDepth(), -1);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], kWidth);
    EXPECT_EQ(viewport[3], kHeight);

    const std::vector<unsigned char> image = textureImage(t, 64, 32);
    EXPECT_EQ(texel(image, 64, 5, 20), kGreen);
    EXPECT_EQ(texel(image, 64, 40, 2), kRed);    // texture row 0 is the target's bottom row
    EXPECT_EQ(texel(image, 64, 40, 20), kBlack);  // transparent where nothing was drawn
}

TEST_F(SurfacePixels, NestedTargetsEachReceiveTheirOwnRectangle) {
    const GLuint outer = textures.createBlankTexture("outer", 64, 32);
    const GLuint inner = textures.createBlankTexture("inner", 16, 16);
    flat.beginTarget(0, 0, 64, 32, outer, 1, 0, 0, 1);
    flat.beginTarget(64, 0, 16, 16, inner, 0, 0, 1, 1);  // clearing blue also covers the outer rectangle
    flat.drawRect(64, 0, 80, 16, 0, 0, 1, 0, 1);
    flat.endTarget();
    EXPECT_EQ(flat.activeTargetDepth(), 0);
    flat.endTarget();
    EXPECT_EQ(texel(textureImage(inner, 16, 16), 16, 8, 8), kGreen);
    EXPECT_EQ(texel(textureImage(outer, 64, 32), 64, 30, 10), kBlue);
}

TEST_F(SurfacePixels, ThreeDimensionalQuadsDrawInPerspective) {
    const GLuint t = textures.createBlankTexture("solid", 2, 2);
    const unsigned char blue[16] = {0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255};
    glBindTexture(GL_TEXTURE_2D, t);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 2, 2, GL_RGBA, GL_UNSIGNED_BYTE, blue);

    window.initialise();
    window.beginFrame();
    Quad plain;
    plain.setCorners(-1, 1, -5, 0, -1, -5);
    window.drawQuad3(plain, 1, 0, 0, 1, false);
    Quad textured;
    textured.setCorners(0, 1, -5, 1, -1, -5);
    textured.texture = t;
    window.drawQuad3(textured, 1, 1, 1, 1, true);
    window.drawLine3(-2, -1.5f, -5, 2, -1.5f, -5, 0, 1, 0, 1);
    window.endBatch();

    EXPECT_EQ(pixelAt(350, 300), kRed);
    EXPECT_EQ(pixelAt(450, 300), kBlue);
    EXPECT_EQ(pixelAt(400, 100), kBlack);
    // y = -1.5 at distance 5 under a 60 degree view: 156 pixels below the centre
    EXPECT_TRUE(pixelAt(400, 455) == kGreen || pixelAt(400, 456) == kGreen);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
