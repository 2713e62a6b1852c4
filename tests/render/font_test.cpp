// Font loading, glyph points, meshes and scaled glyphs, with GL calls observed
// through the recording stand-in.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "render/draw_surface.h"
#include "render/font.h"
#include "tests/render/gl_recorder.h"

namespace {

using Calls = std::vector<std::string>;

std::string writeFontFile(const std::string& name, const std::string& text) {
    const std::string path = testing::TempDir() + "/" + name;
    std::ofstream(path) << text;
    return path;
}

const char* const kDiagonal = "3 3\n65 0 0\n1 0 0\n0 1 0\n0 0 1";

size_t meshSize(const FontManager& fonts, const std::string& name, int code) {
    const Font* font = fonts.getFont(name);
    const auto mesh = font->meshes.find(code);
    return mesh == font->meshes.end() ? 0 : mesh->second.vertices.size();
}

class FontCalls : public ::testing::Test {
protected:
    void SetUp() override {
        clearRecordedCalls();
        fonts.setSurface(&flat);
    }
    DrawSurface2D flat;
    FontManager fonts;
};

}  // namespace

TEST_F(FontCalls, GlyphPointsAreOneUnitPerFilledCell) {
    ASSERT_TRUE(fonts.loadFont(writeFontFile("diagonal.fnt", kDiagonal), "font"));
    fonts.drawGlyphPoints("font", 65, 100, 10, 1, 0.5f, 0, 1);
    EXPECT_EQ(recordedCalls(), (Calls{"glColor4f(1,0.5,0,1)", "glVertex3f(100,10,0)", "glColor4f(1,0.5,0,1)",
                                      "glVertex3f(101,11,0)", "glColor4f(1,0.5,0,1)", "glVertex3f(102,12,0)"}));
    clearRecordedCalls();
    fonts.drawGlyphPoints("font", 66, 0, 0, 1, 1, 1, 1);
    fonts.drawGlyphPoints("other", 65, 0, 0, 1, 1, 1, 1);
    EXPECT_TRUE(recordedCalls().empty());
}

TEST_F(FontCalls, TextLinesAdvanceSeventeenUnitsPerCharacter) {
    ASSERT_TRUE(fonts.loadFont(writeFontFile("ab.fnt", "1 1\n97 0 0 1\n98 0 0 1\n-23 0 0 1"), "font"));
    drawTextLine(fonts, "a b\xe9", 34, 10, 0, 1, 0);
    EXPECT_EQ(recordedCallsStartingWith({"glVertex"}),
              (Calls{"glVertex3f(34,10,0)", "glVertex3f(68,10,0)", "glVertex3f(85,10,0)"}));
    EXPECT_EQ(recordedCalls()[0], "glColor4f(0,1,0,1)");
}

TEST_F(FontCalls, LoadingRefusesWhatItCannotUse) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(fonts.loadFont(testing::TempDir() + "/no-such-font.fnt", "font"));
    EXPECT_EQ(fonts.getFont("font"), nullptr);
    for (const char* grid : {"0 3", "3 65", "-1 -1", "x y", "", "100000000000 2"}) {
        EXPECT_FALSE(fonts.loadFont(writeFontFile("grid.fnt", grid), "font")) << grid;
        EXPECT_EQ(fonts.getFont("font"), nullptr) << grid;
    }
    testing::internal::GetCapturedStderr();

    ASSERT_TRUE(fonts.loadFont(writeFontFile("first.fnt", kDiagonal), "font"));
    EXPECT_FALSE(fonts.loadFont(writeFontFile("second.fnt", "1 1\n66 0 0 1"), "font"));
    EXPECT_EQ(fonts.getFont("font")->rows, 3);
    EXPECT_EQ(fonts.getFont("font")->glyphs.count(66), 0u);
}

TEST_F(FontCalls, ReadingStopsAtTheEndOrTheFirstBadNumber) {
    // A final line break keeps the last glyph; a short entry leaves the rest of its cells empty.
    ASSERT_TRUE(fonts.loadFont(writeFontFile("tail.fnt", std::string(kDiagonal) + "\n\n  \n"), "tail"));
    const Glyph& last = fonts.getFont("tail")->glyphs.at(65);
    EXPECT_EQ(last.cells, (std::vector<std::vector<int16_t>>{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}));

    ASSERT_TRUE(fonts.loadFont(writeFontFile("short.fnt", "2 2\n65 7 -3 1 0 0 1\n66 0 0 1 1 1"), "short"));
    const Font* shortFont = fonts.getFont("short");
    EXPECT_EQ(shortFont->glyphs.at(65).extraValue, 7);
    EXPECT_EQ(shortFont->glyphs.at(65).yOffset, -3);
    EXPECT_EQ(shortFont->glyphs.at(66).cells, (std::vector<std::vector<int16_t>>{{1, 1}, {1, 0}}));

    testing::internal::CaptureStderr();
    ASSERT_TRUE(fonts.loadFont(writeFontFile("codes.fnt", "1 1\n65 0 0 1\n300 0 0 1\n66 0 0 1"), "codes"));
    EXPECT_NE(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(fonts.getFont("codes")->glyphs.size(), 1u);

    ASSERT_TRUE(fonts.loadFont(writeFontFile("cells.fnt", "1 2\n65 0 0 1 70000\n66 0 0 1 1"), "cells"));
    EXPECT_EQ(fonts.getFont("cells")->glyphs.at(65).cells[0], (std::vector<int16_t>{1, 0}));
    EXPECT_EQ(fonts.getFont("cells")->glyphs.count(66), 0u);
}

TEST_F(FontCalls, MeshesBridgeDiagonalStrokes) {
    const std::string file = writeFontFile("mesh.fnt",
                                           "3 3\n"
                                           "65 0 0 1 0 0 0 1 0 0 0 1\n"   // the diagonal
                                           "66 0 0 1 1 0 0 0 0 0 0 0\n"   // two side by side
                                           "67 0 0 0 0 0 0 6 0 0 0 0\n"   // asks for an up-left bridge
                                           "68 0 0 0 0 0 0 0 0 0 0 0\n"   // empty
                                           "-5 0 0 1 0 0 0 0 0 0 0 0\n");  // negative codes get no mesh
    ASSERT_TRUE(fonts.loadFont(file, "plain"));
    ASSERT_TRUE(fonts.loadFont(file, "smooth"));
    EXPECT_FALSE(fonts.buildGlyphMeshes("missing", true));
    EXPECT_EQ(fonts.getFont("missing"), nullptr);

    ASSERT_TRUE(fonts.buildGlyphMeshes("plain", false));
    EXPECT_EQ(meshSize(fonts, "plain", 65), 18u);
    EXPECT_EQ(meshSize(fonts, "plain", 66), 12u);
    EXPECT_EQ(meshSize(fonts, "plain", 68), 0u);
    EXPECT_EQ(fonts.getFont("plain")->meshes.count(-5), 0u);

    ASSERT_TRUE(fonts.buildGlyphMeshes("smooth", true));
    EXPECT_EQ(meshSize(fonts, "smooth", 65), 30u);
    EXPECT_EQ(meshSize(fonts, "smooth", 66), 12u);
    ASSERT_EQ(meshSize(fonts, "smooth", 67), 9u);
    const Vertex& bridge = fonts.getFont("smooth")->meshes.at(67).vertices[8];
    EXPECT_EQ(bridge.x, -1.0f);  // (2j - 3, 2i - 1) for the cell (1, 1)
    EXPECT_EQ(bridge.y, 1.0f);

    ASSERT_TRUE(fonts.buildGlyphMeshes("plain", false));
    EXPECT_EQ(meshSize(fonts, "plain", 65), 36u);  // meshes are appended to
}

TEST_F(FontCalls, ScaledGlyphsGoThroughTheSurfaceInOneColour) {
    ASSERT_TRUE(fonts.loadFont(writeFontFile("scaled.fnt", "2 2\n65 0 1 1 0 0 0"), "font"));
    ASSERT_TRUE(fonts.buildGlyphMeshes("font", false));
    fonts.drawGlyph("font", 65, 10, 20, 2, 0, 0, 1, 1);
    fonts.drawGlyph("font", 66, 10, 20, 2, 0, 0, 1, 1);
    flat.endBatch();
    // (v - 1) * 2 + 2 + x, and y further down by yOffset * scale
    EXPECT_EQ(recordedCallsStartingWith({"glBegin", "glColor", "glVertex"}),
              (Calls{"glBegin(GL_TRIANGLES)", "glColor4f(0,0,1,1)", "glVertex3f(8,20,0)", "glVertex3f(8,24,0)",
                     "glVertex3f(12,24,0)", "glVertex3f(12,24,0)", "glVertex3f(12,20,0)", "glVertex3f(8,20,0)"}));
}

TEST(FontFile, TheGameFontHasEveryPrintableCharacter) {
    const char* root = std::getenv("STARHOLD_SOURCE_DIR");
    ASSERT_NE(root, nullptr);
    FontManager fonts;
    ASSERT_TRUE(fonts.loadFont(std::string(root) + "/data/characters.fnt", "font"));
    const Font* font = fonts.getFont("font");
    EXPECT_EQ(font->rows, 16);
    EXPECT_EQ(font->columns, 16);
    EXPECT_EQ(font->glyphs.size(), 95u);
    for (int code = 32; code <= 126; ++code) {
        ASSERT_EQ(font->glyphs.count(code), 1u) << code;
        int filled = 0;
        for (const auto& row : font->glyphs.at(code).cells) {
            for (int16_t cell : row) {
                filled += cell != 0;
            }
        }
        EXPECT_EQ(filled == 0, code == ' ') << static_cast<char>(code);
    }
}
