#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/gl_window.h"
#include "tests/textures/texture_files.h"
#include "textures/texture_manager.h"

namespace {

const char* const kHeader = "starhold Vyrn Texture Manager File\n";

class TextureManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(openTestWindow());
        ASSERT_TRUE(dir.convert("-size 64x32 xc:'rgba(9,8,7,1)'", "PNG32:", "sheet.png"));
        sheet = dir.path("sheet.png");
    }

    ScratchDir dir;
    std::string sheet;
    TextureManager manager;
};

}  // namespace

TEST_F(TextureManagerTest, BlankTexturesNeedPowerOfTwoSides) {
    for (uint32_t side : {0u, 3u, 96u, 100u, 8192u}) {
        EXPECT_EQ(manager.createBlankTexture("bad", side, 4), 0u) << side;
        EXPECT_EQ(manager.createBlankTexture("bad", 4, side), 0u) << side;
    }
    EXPECT_EQ(manager.getEntry("bad"), nullptr);

    for (uint32_t side : {1u, 2u, 256u}) {
        const GLuint name = manager.createBlankTexture("blank", side, 2);
        ASSERT_NE(name, 0u) << side;
        EXPECT_EQ(manager.getTexture("blank")->width, static_cast<int32_t>(side));
    }
    const TextureEntry* entry = manager.getEntry("blank");
    EXPECT_EQ(entry->file, "none");
    EXPECT_TRUE(entry->generated);
    for (unsigned char byte : readTexture(entry->info.glName)) {
        ASSERT_EQ(byte, 0);
    }
}

TEST_F(TextureManagerTest, ReplacingAnEntryKeepsItsNodeAndDropsSubTextures) {
    ASSERT_TRUE(manager.loadTexture("Ship Top", sheet, false));
    const TextureEntry* before = manager.getEntry("Ship Top");
    EXPECT_EQ(before->info.width, 64);
    EXPECT_EQ(before->file, sheet);
    EXPECT_FALSE(before->generated);
    ASSERT_TRUE(manager.addSubTexture("Ship Top", "nose", 0, 0, 16, 8));
    const GLuint oldName = before->info.glName;

    EXPECT_FALSE(manager.loadTexture("Ship Top", dir.path("missing.png"), false));
    EXPECT_EQ(manager.subTextureCount("Ship Top"), 1);

    const GLuint newName = manager.createBlankTexture("Ship Top", 16, 128);
    EXPECT_NE(newName, oldName);
    EXPECT_EQ(manager.getEntry("Ship Top"), before);
    EXPECT_EQ(before->info.glName, newName);
    EXPECT_EQ(before->info.height, 128);
    EXPECT_EQ(manager.subTextureCount("Ship Top"), 0);
    EXPECT_EQ(manager.getEntryAt(1), nullptr);
}

TEST_F(TextureManagerTest, SubTexturesAreNormalisedAgainstTheirSheet) {
    EXPECT_FALSE(manager.addSubTexture("absent", "a", 0, 0, 1, 1));
    ASSERT_TRUE(manager.loadTexture("sheet", sheet, true));
    ASSERT_TRUE(manager.addSubTexture("sheet", "b", 0, 0, 1, 1));
    ASSERT_TRUE(manager.addSubTexture("sheet", "b", 16, 0, 16, 16));
    const SubTexture* sub = manager.getSubTexture("sheet", "b");
    ASSERT_NE(sub, nullptr);
    EXPECT_FLOAT_EQ(sub->texLeft, 0.25f);
    EXPECT_FLOAT_EQ(sub->texTop, 0.0f);
    EXPECT_FLOAT_EQ(sub->texWidth, 0.25f);
    EXPECT_FLOAT_EQ(sub->texHeight, 0.5f);
    EXPECT_EQ(sub->sheetHeight, 32);
    EXPECT_EQ(sub->sheetWidth, 64);
    EXPECT_EQ(manager.getSubTextureInfo("sheet", "b"), manager.getTexture("sheet"));
    EXPECT_EQ(manager.subTextureCount("sheet"), 1);
}

TEST_F(TextureManagerTest, PositionsFollowByteOrderOfNames) {
    for (const char* name : {"Ship2 Top", "Ship", "Ship Bot"}) {
        ASSERT_NE(manager.createBlankTexture(name, 64, 32), 0u);
    }
    for (const char* sub : {"zeta", "alpha", "mid"}) {
        ASSERT_TRUE(manager.addSubTexture("Ship Bot", sub, 1, 2, 3, 4));
    }
    EXPECT_EQ(manager.getEntryAt(0)->name, "Ship");
    EXPECT_EQ(manager.getEntryAt(1)->name, "Ship Bot");
    EXPECT_EQ(manager.getEntryAt(2)->name, "Ship2 Top");
    EXPECT_EQ(manager.getEntryAt(3), nullptr);
    EXPECT_EQ(manager.getEntryAt(-1), nullptr);

    EXPECT_EQ(manager.getSubTexture(1, 0)->name, "alpha");
    EXPECT_EQ(manager.getSubTexture("Ship Bot", 2)->name, "zeta");
    EXPECT_EQ(manager.getSubTexture(manager.getEntry("Ship Bot"), 1)->name, "mid");
    EXPECT_EQ(manager.getSubTexture("Ship Bot", 3), nullptr);
    EXPECT_EQ(manager.getSubTexture(0, 0), nullptr);
    EXPECT_EQ(manager.getSubTexture(nullptr, "alpha"), nullptr);
    EXPECT_TRUE(manager.hasSubTexture(1, "mid"));
    EXPECT_FALSE(manager.hasSubTexture(2, "mid"));
    EXPECT_EQ(manager.subTextureCount(1), 3);
    EXPECT_EQ(manager.subTextureCount(7), 0);

    EXPECT_FALSE(manager.removeSubTexture(1, 3));
    EXPECT_TRUE(manager.removeSubTexture(1, 1));
    EXPECT_TRUE(manager.removeSubTexture("Ship Bot", 0));
    EXPECT_FALSE(manager.removeSubTexture("nothing", 0));
    EXPECT_EQ(manager.getSubTexture(1, 0)->name, "zeta");

    EXPECT_TRUE(manager.removeTexture(0));
    EXPECT_FALSE(manager.removeTexture(2));
    EXPECT_TRUE(manager.removeTexture("Ship2 Top"));
    EXPECT_FALSE(manager.removeTexture("Ship2 Top"));
    EXPECT_EQ(manager.getEntryAt(0)->name, "Ship Bot");
}

TEST_F(TextureManagerTest, SavedFilesListLoadedTexturesOnly) {
    EXPECT_FALSE(manager.saveDefinitions(dir.path("empty.txt")));
    EXPECT_EQ(dir.read("empty.txt"), kHeader);

    manager.createBlankTexture("screen", 4, 4);
    EXPECT_TRUE(manager.saveDefinitions(dir.path("blank.txt")));
    EXPECT_EQ(dir.read("blank.txt"), std::string(kHeader) + "____\n");

    ASSERT_TRUE(manager.loadTexture("shiptop", sheet, false));
    ASSERT_TRUE(manager.loadTexture("a", sheet, false));
    manager.addSubTexture("shiptop", "nose", 0, 0, 16, 8);
    manager.addSubTexture("shiptop", "fin", -3, 7, 2, 1);
    EXPECT_TRUE(manager.saveDefinitions(dir.path("defs.txt")));
    EXPECT_EQ(dir.read("defs.txt"), std::string(kHeader) + "Name: a\nFile: " + sheet + "\n_\n___\n" +
                                        "Name: shiptop\nFile: " + sheet + "\n_\n" +
                                        "SubName: fin\nSubLeftX: -3\nSubTopY: 7\nSubWidth: 2\nSubHeight: 1\n__\n" +
                                        "SubName: nose\nSubLeftX: 0\nSubTopY: 0\nSubWidth: 16\nSubHeight: 8\n__\n" +
                                        "___\n____\n");

    TextureManager copy;
    EXPECT_TRUE(copy.loadDefinitions(dir.path("defs.txt")));
    EXPECT_EQ(copy.getEntry("screen"), nullptr);
    ASSERT_NE(copy.getEntry("a"), nullptr);
    EXPECT_EQ(copy.getEntry("shiptop")->file, sheet);
    const SubTexture* fin = copy.getSubTexture("shiptop", "fin");
    ASSERT_NE(fin, nullptr);
    EXPECT_EQ(fin->leftX, -3);
    EXPECT_EQ(fin->topY, 7);
    EXPECT_EQ(copy.getSubTexture("shiptop", "nose")->width, 16);
    EXPECT_TRUE(copy.saveDefinitions(dir.path("again.txt")));
    EXPECT_EQ(dir.read("again.txt"), dir.read("defs.txt"));
}

TEST_F(TextureManagerTest, ReadingCarriesValuesAndSplitsNamesAtBlanks) {
    ASSERT_TRUE(manager.loadTexture("Ship Top", sheet, false));
    ASSERT_TRUE(manager.saveDefinitions(dir.path("ship.txt")));
    TextureManager copy;
    EXPECT_TRUE(copy.loadDefinitions(dir.path("ship.txt")));
    EXPECT_NE(copy.getEntry("Ship"), nullptr);
    EXPECT_EQ(copy.getEntry("Ship Top"), nullptr);
    EXPECT_EQ(copy.getEntry("Top"), nullptr);

    // The long header's tail is read as words; "__" without a sub name adds
    // nothing; the next block reuses the texture name and the four integers.
    const std::string longHeader(1024, 'x');
    ASSERT_TRUE(dir.write("tail.txt", longHeader + " Name: tail File: " + sheet +
                                          "\n_\n__\nSubName: one SubLeftX: 8 SubTopY: 4 SubWidth: 32 "
                                          "SubHeight: 16 __\nSubName: two __\n___\n____\nName: after\n"));
    TextureManager tail;
    EXPECT_TRUE(tail.loadDefinitions(dir.path("tail.txt")));
    EXPECT_EQ(tail.subTextureCount("tail"), 2);
    EXPECT_EQ(tail.getSubTexture("tail", "two")->height, 16);
    EXPECT_FLOAT_EQ(tail.getSubTexture("tail", "two")->texWidth, 0.5f);
    EXPECT_EQ(tail.getEntryAt(1), nullptr);
}

TEST_F(TextureManagerTest, BrokenDefinitionFilesStopTheRead) {
    EXPECT_FALSE(manager.loadDefinitions(dir.path("missing.txt")));

    ASSERT_TRUE(dir.write("cut.txt", std::string(kHeader) + "Name: cut\nFile: " + sheet + "\n_\nSubName: s\n"));
    EXPECT_FALSE(manager.loadDefinitions(dir.path("cut.txt")));
    EXPECT_NE(manager.getEntry("cut"), nullptr);

    const std::string bodies[] = {
        "Name:",
        "Name: n File: " + sheet + " _ SubName: s SubLeftX: left __ ____",
        "Name: " + std::string(5000, 'n') + " ____",
    };
    for (const std::string& body : bodies) {
        ASSERT_TRUE(dir.write("bad.txt", std::string(kHeader) + body));
        TextureManager broken;
        EXPECT_FALSE(broken.loadDefinitions(dir.path("bad.txt"))) << body.substr(0, 40);
        EXPECT_FALSE(broken.hasSubTexture("n", "s"));
    }
}

TEST_F(TextureManagerTest, ShippedShipImagesLoadWithTransparentCorners) {
    const char* root = std::getenv("STARHOLD_SOURCE_DIR");
    ASSERT_NE(root, nullptr);
    for (const char* file : {"shiptop", "shipbottom", "shipburner", "ship2top", "ship2bottom", "ship2burner"}) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(manager.loadTexture(file, std::string(root) + "/data/images/" + file + ".png", false));
        const TextureInfo* info = manager.getTexture(file);
        const std::vector<unsigned char> pixels = readTexture(info->glName);
        const size_t centre = (static_cast<size_t>(info->height / 2) * info->width + info->width / 2) * 4;
        EXPECT_EQ(pixels[3], 0);
        EXPECT_EQ(pixels[pixels.size() - 1], 0);
        EXPECT_EQ(pixels[centre + 3], 255);
    }
}
