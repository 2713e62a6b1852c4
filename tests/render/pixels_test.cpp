// What the 3-D surface and the font put on screen, read back from a real OpenGL context.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "render/draw_surface.h"
#include "render/font.h"
#include "render/frame.h"
#include "render/frame_gl.h"
#include "render/pixel_view.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

using Rgba = std::array<int, 4>;
const Rgba kBlack = {0, 0, 0, 0}, kGreen = {0, 255, 0, 255};

// The window's RGBA pixels as GL reads them, bottom row first; addressed from the top row.
struct Image {
    Image() { glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data()); }
    Rgba at(int x, int y) const {
        const unsigned char* p = &bytes[((kHeight - 1 - y) * kWidth + x) * 4];
        return {p[0], p[1], p[2], p[3]};
    }
    bool lit(int x, int y) const { return at(x, y)[0] + at(x, y)[1] + at(x, y)[2] > 0; }
    int litAlong(int x, int y, int dx, int dy, int n) const {
        int count = 0;
        for (int i = 0; i < n; ++i) count += lit(x + i * dx, y + i * dy);
        return count;
    }
    std::vector<unsigned char> bytes = std::vector<unsigned char>(kWidth * kHeight * 4);
};

struct Box {  // around what is lit
    int left = kWidth, top = kHeight, right = -1, bottom = -1;
};

Box litBox(const Image& image, int top, int bottom) {
    Box box;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (image.lit(x, y))
                box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x), std::max(box.bottom, y)};
    return box;
}

// An L fills its left column and its bottom row, and little of its top row and right column.
void expectUprightL(const Image& image, const Box& box) {
    ASSERT_GE(box.right, 0);
    const int w = box.right - box.left + 1, h = box.bottom - box.top + 1;
    EXPECT_GE(image.litAlong(box.left, box.top, 0, 1, h), h * 3 / 4);
    EXPECT_GE(image.litAlong(box.left, box.bottom, 1, 0, w), w * 3 / 4);
    EXPECT_LE(image.litAlong(box.left, box.top, 1, 0, w), w / 2);
    EXPECT_LE(image.litAlong(box.right, box.top, 0, 1, h), h / 2);
}

class Pixels : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        window.setResolution(kWidth, kHeight);
        windowOpen = window.initialise();
    }
    void SetUp() override {
        ASSERT_TRUE(windowOpen);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    void TearDown() override { EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)); }  // no invalid hint or other call

    static inline DrawSurface3D window;
    static inline bool windowOpen = false;
};

}  // namespace

TEST_F(Pixels, TheWindowDrawsInPerspectiveWithItsOwnAspect) {
    window.initialise();
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST) && glIsEnabled(GL_ALPHA_TEST));

    window.beginFrame();
    Quad kept, cut;  // the alpha test keeps what is more than two thirds opaque
    kept.setCorners(-1, 1, -5, 0, -1, -5);
    cut.setCorners(0, 1, -5, 1, -1, -5);
    window.drawQuad3(kept, 1, 0, 0, 0.7f, false);
    window.drawQuad3(cut, 1, 0, 0, 0.6f, false);
    window.drawLine3(-2, -1.5f, -5, 2, -1.5f, -5, 0, 1, 0, 1);
    window.endBatch();
    const Image image;
    EXPECT_TRUE(image.at(350, 300)[0] == 255 && image.at(350, 300)[1] == 0);
    EXPECT_EQ(image.at(450, 300), kBlack);
    const Box red = litBox(image, 150, 450);  // one unit at distance 5 is ~104 pixels either way: not stretched
    EXPECT_NEAR(red.right - red.left + 1, 104, 1);
    EXPECT_NEAR(red.bottom - red.top + 1, 208, 1);
    // y = -1.5 at distance 5 under a 60 degree view: 156 pixels below the centre
    EXPECT_TRUE(image.at(400, 455) == kGreen || image.at(400, 456) == kGreen);
}

// Runs of recorded quads and lines replay as vertex arrays: the picture must be
// immediate drawing's, pixel for pixel, replay after replay.
TEST_F(Pixels, ReplayedRunsOfQuadsAndLinesDrawWhatImmediateDrawingDoes) {
    window.initialise();
    auto scene = [&](float shift) {
        for (int i = 0; i < 3; ++i) {
            Quad quad;
            quad.setCorners(i - 2 + shift, -1, -5, i - 1.5f + shift, 1, -6);
            window.drawQuad3(quad, 0.3f * i, 1, 0.5f, 1, false);
        }
        window.drawLine3(-2, -1.5f, -5, 2, -1.5f, -5, 1, 1, 0, 1);
        window.drawLine3(-2 + shift, -2, -5, 2, -1.2f, -7, 0.5f, 0.5f, 0.6f, 1);
        window.endBatch();
    };
    auto replayed = [&](float shift, bool clearAfter, int times) {
        window.clearRecording();
        window.beginRecording();
        scene(shift);
        window.endRecording();
        for (int i = 0; i < times; ++i) {
            window.beginFrame();
            window.flush(clearAfter, false);
        }
        return Image().bytes;
    };
    for (float shift : {0.0f, 0.7f}) {
        window.beginFrame();
        scene(shift);
        const std::vector<unsigned char> immediate = Image().bytes;
        EXPECT_TRUE(replayed(shift, true, 1) == immediate) << shift;
        EXPECT_TRUE(replayed(shift, false, 2) == immediate) << shift;
    }
    window.clearRecording();
}

// Text over the world is drawn in window pixels: one glyph cell lights one pixel.
TEST_F(Pixels, TheHeadsUpLineReadsUprightLeftToRightOnePixelACell) {
    FontManager fonts;
    ASSERT_TRUE(fonts.loadFont(std::string(std::getenv("STARHOLD_SOURCE_DIR")) + "/data/characters.fnt", "font"));
    EXPECT_EQ(fonts.getFont("font")->glyphs.size(), 95u);  // every printable character, from ' ' to '~'
    int cellsOfL = 0;
    for (const auto& row : fonts.getFont("font")->glyphs.at('L').cells)
        cellsOfL += int(std::count_if(row.begin(), row.end(), [](int16_t cell) { return cell != 0; }));

    window.initialise();
    window.beginFrame();
    {
        const PixelView pixels(kWidth, kHeight);
        EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST) || glIsEnabled(GL_TEXTURE_2D));
        glTranslatef(0.5f, 0.5f, 0);  // on the pixels' centres
        glBegin(GL_POINTS);
        drawTextLine(fonts, "12/14", 0, 10, 0, 1, 0);
        drawTextLine(fonts, "19.25", 510, 10, 1, 1, 0);
        drawTextLine(fonts, "L", 0, 70, 1, 1, 1);
        glEnd();
    }
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST) && glIsEnabled(GL_ALPHA_TEST));  // the 3-D state is back
    const Image image;

    const Box first = litBox(image, 0, 30);
    EXPECT_TRUE(first.top >= 10 && first.bottom < 26);
    EXPECT_TRUE(first.left < 17 && first.right > 510 + 4 * 17 && first.right < 510 + 5 * 17);
    const Box letter = litBox(image, 56, kHeight);  // y grows downwards, x to the right
    expectUprightL(image, letter);
    int lit = 0;
    for (int y = letter.top; y <= letter.bottom; ++y) lit += image.litAlong(letter.left, y, 1, 0, 17);
    EXPECT_EQ(lit, cellsOfL);
}
