// The font on a real OpenGL context: letter textures drawn back, and the
// heads-up line drawn as the game draws it.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "render/draw_surface.h"
#include "render/font.h"
#include "render/frame.h"
#include "textures/texture_manager.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

// The screen as rows from the top, one bool per pixel: lit or not.
std::vector<std::vector<bool>> litScreen() {
    std::vector<unsigned char> pixels(kWidth * kHeight * 4);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    std::vector<std::vector<bool>> lit(kHeight, std::vector<bool>(kWidth));
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const unsigned char* p = &pixels[((kHeight - 1 - y) * kWidth + x) * 4];
            lit[y][x] = p[0] + p[1] + p[2] > 0;
        }
    }
    return lit;
}

struct Box {
    int left = kWidth, top = kHeight, right = -1, bottom = -1;
    bool empty() const { return right < 0; }
};

Box litBox(const std::vector<std::vector<bool>>& lit, int x0, int y0, int x1, int y1) {
    Box box;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            if (lit[y][x]) {
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y);
            }
        }
    }
    return box;
}

// Lit pixels from (x, y) for n steps of (dx, dy).
int litAlong(const std::vector<std::vector<bool>>& lit, int x, int y, int dx, int dy, int n) {
    int count = 0;
    for (int i = 0; i < n; ++i) {
        count += lit[y + i * dy][x + i * dx];
    }
    return count;
}

// An L fills its left column and its bottom row, and little of its top row.
void expectUprightL(const std::vector<std::vector<bool>>& lit, const Box& box) {
    ASSERT_FALSE(box.empty());
    const int w = box.right - box.left + 1;
    const int h = box.bottom - box.top + 1;
    EXPECT_GE(litAlong(lit, box.left, box.top, 0, 1, h), h * 3 / 4);
    EXPECT_GE(litAlong(lit, box.left, box.bottom, 1, 0, w), w * 3 / 4);
    EXPECT_LE(litAlong(lit, box.left, box.top, 1, 0, w), w / 2);
    EXPECT_LE(litAlong(lit, box.right, box.top, 0, 1, h), h / 2);
}

void saveScreenshot(const char* name) {
    const char* dir = std::getenv("STARHOLD_SCREENSHOT_DIR");
    if (dir == nullptr) {
        return;
    }
    std::vector<unsigned char> pixels(kWidth * kHeight * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    std::ofstream out(std::string(dir) + "/" + name, std::ios::binary);
    out << "P6\n" << kWidth << " " << kHeight << "\n255\n";
    for (int y = kHeight - 1; y >= 0; --y) {
        out.write(reinterpret_cast<const char*>(&pixels[y * kWidth * 3]), kWidth * 3);
    }
}

std::string gameFontPath() {
    const char* root = std::getenv("STARHOLD_SOURCE_DIR");
    return std::string(root == nullptr ? "." : root) + "/data/characters.fnt";
}

class FontPixels : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        window.setResolution(kWidth, kHeight);
        windowOpen = window.initialise();
    }
    void SetUp() override { ASSERT_TRUE(windowOpen); }

    static DrawSurface3D window;
    static bool windowOpen;
};

DrawSurface3D FontPixels::window;
bool FontPixels::windowOpen = false;

}  // namespace

TEST_F(FontPixels, TheHeadsUpLineReadsUprightLeftToRight) {
    FontManager fonts;
    ASSERT_TRUE(fonts.loadFont(gameFontPath(), "font"));
    Frame hudCamera;
    hudCamera.rotateLocal(180, 0, 1, 0);
    hudCamera.moveLocal(-320, 340, -600, 1);
    hudCamera.rotateLocal(180, 0, 0, 1);

    window.initialise();
    window.beginFrame();
    glLoadIdentity();
    hudCamera.applyAsView();
    glBegin(GL_POINTS);
    drawTextLine(fonts, "12", 0, 10, 0, 1, 0);
    drawTextLine(fonts, "/", 34, 10, 1, 1, 1);
    drawTextLine(fonts, "14", 51, 10, 1, 0, 0);
    drawTextLine(fonts, "37.4", 289, 10, 1, 1, 0);
    drawTextLine(fonts, "19.25", 510, 10, 1, 1, 1);
    drawTextLine(fonts, "Legible: Ag Wq {~}", 0, 40, 1, 1, 1);
    drawTextLine(fonts, "L", 0, 70, 1, 1, 1);
    glEnd();
    saveScreenshot("hud_text.ppm");

    // Lines 30 units apart come out about 26 pixels apart, the first near the top.
    const auto lit = litScreen();
    const Box first = litBox(lit, 0, 0, kWidth, 30);
    ASSERT_FALSE(first.empty());
    EXPECT_LT(first.bottom - first.top, 16);
    EXPECT_GT(first.right - first.left, 600);  // from x 0 to the end of the text at x 510
    EXPECT_TRUE(litBox(lit, 0, 30, kWidth, 34).empty());

    // The "L" on the third line, drawn upright: y grows downwards, x to the right.
    const Box letter = litBox(lit, 0, 56, kWidth, kHeight);
    ASSERT_FALSE(letter.empty());
    expectUprightL(lit, letter);
    EXPECT_LT(letter.right - letter.left, 16);  // 10 units at about 1.15 pixels each
    EXPECT_LT(letter.bottom - letter.top, 14);  // 14 units at about 0.87 pixels each
}

TEST_F(FontPixels, LetterTexturesDrawTheGlyphBack) {
    TextureManager textures;
    DrawSurface2D flat;
    flat.setTextureManager(&textures);
    flat.setResolution(kWidth, kHeight);
    FontManager fonts;
    fonts.setSurface(&flat);
    fonts.setTextureManager(&textures);
    const std::string path = testing::TempDir() + "/letter.fnt";
    std::ofstream(path) << "4 4\n76 0 0\n1 0 0 0\n1 0 0 0\n1 0 0 0\n1 1 1 1\n";
    ASSERT_TRUE(fonts.loadFont(path, "font"));
    ASSERT_TRUE(fonts.buildGlyphMeshes("font", true));

    flat.resize(kWidth, kHeight);
    ASSERT_TRUE(fonts.buildLetterTextures("font", "white", 4, 1, 1, 1, 1));
    ASSERT_NE(textures.getSubTexture("font|76|white", "letter"), nullptr);
    EXPECT_EQ(textures.getTexture("font|76|white")->width, 32);

    flat.resize(kWidth, kHeight);
    flat.beginFrame();
    fonts.drawLetter("font", "white", 76, 100, 200, 4, 1, 1, 1, 1);
    fonts.drawLetter("font", "white", 77, 300, 200, 4, 1, 1, 1, 1);  // no such letter: nothing
    flat.endBatch();
    saveScreenshot("letter.ppm");

    const auto lit = litScreen();
    const Box box = litBox(lit, 0, 0, kWidth, kHeight);
    EXPECT_GE(box.left, 100);
    EXPECT_LE(box.right, 132);
    EXPECT_GE(box.top, 200);
    EXPECT_LE(box.bottom, 232);
    expectUprightL(lit, box);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
