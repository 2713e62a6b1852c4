// What needs no real OpenGL: the window's start-up failures and font files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "render/draw_surface.h"
#include "render/font.h"

namespace {

const char* const kDiagonal = "3 3\n65 0 0\n1 0 0\n0 1 0\n0 0 1";

std::string fontFile(const std::string& text) {
    static int count = 0;
    const std::string path = testing::TempDir() + "/font" + std::to_string(++count) + ".fnt";
    std::ofstream(path) << text;
    return path;
}

}  // namespace

TEST(SurfaceVideo, StartUpFailuresPrintTheirReason) {
    DrawSurface3D surface;
    surface.setResolution(800, 600);
    const std::pair<const char*, const char*> cases[] = {{"no-such-driver", "Video initialization failed: "},
                                                         {"dummy", "Video mode set failed: "}};  // dummy has no GL
    for (const auto& [driver, message] : cases) {
        setenv("SDL_VIDEODRIVER", driver, 1);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(surface.initialise());
        EXPECT_EQ(testing::internal::GetCapturedStderr().rfind(message, 0), 0u) << driver;
    }
}

TEST(Font, LoadingRefusesWhatItCannotUseAndStopsAtTheFirstBadNumber) {
    FontManager fonts;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(fonts.loadFont(testing::TempDir() + "/characters.fnt", "font"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), testing::TempDir() + "/characters.fnt: no such file\n");
    testing::internal::CaptureStderr();
    ASSERT_TRUE(fonts.loadFont(fontFile("64 64"), "widest"));  // the README's limit: 64 cells a side
    for (const char* grid : {"0 3", "3 65", "65 3", "x y", "100000000000 2"})
        EXPECT_FALSE(fonts.loadFont(fontFile(grid), "font")) << grid;
    EXPECT_EQ(fonts.getFont("font"), nullptr);
    ASSERT_TRUE(fonts.loadFont(fontFile("1 1\n65 0 0 1\n300 0 0 1\n-129 0 0 1\n66 0 0 1"), "codes"));
    EXPECT_NE(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(fonts.getFont("codes")->glyphs.size(), 2u);  // out-of-range codes are skipped, not the rest
    EXPECT_EQ(fonts.getFont("codes")->glyphs.count(66), 1u);

    using Cells = std::vector<std::vector<int16_t>>;
    ASSERT_TRUE(fonts.loadFont(fontFile(std::string(kDiagonal) + "\n\n  \n"), "font"));  // a final line break
    EXPECT_EQ(fonts.getFont("font")->glyphs.at(65).cells, (Cells{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}));
    EXPECT_FALSE(fonts.loadFont(fontFile("1 1\n66 0 0 1"), "font"));  // the name is taken
    EXPECT_EQ(fonts.getFont("font")->glyphs.count(66), 0u);

    ASSERT_TRUE(fonts.loadFont(fontFile("1 2\n65 0 0 1 70000\n66 0 0 1 1"), "cells"));  // 70000 is no cell
    EXPECT_EQ(fonts.getFont("cells")->glyphs.at(65).cells, (Cells{{1, 0}}));
    EXPECT_EQ(fonts.getFont("cells")->glyphs.count(66), 0u);
    EXPECT_FALSE(fonts.buildLetterTextures("font", "-x", 1, 1, 1, 1, 1));  // no surface to draw them with
}
