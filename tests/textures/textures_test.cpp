#include <gtest/gtest.h>

#include <SDL_image.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "tests/support/gl_window.h"
#include "textures/image_loader.h"
#include "textures/texture_manager.h"

namespace {

using Bytes = std::vector<unsigned char>;

const char* const kHeader = "starhold Vyrn Texture Manager File\n";

// Level 0 of a texture as RGBA bytes, top row first.
Bytes readTexture(GLuint name) {
    glBindTexture(GL_TEXTURE_2D, name);
    GLint width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    Bytes pixels(static_cast<size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

Bytes texel(const Bytes& pixels, int width, int x, int y) {
    const auto at = pixels.begin() + (static_cast<size_t>(y) * width + x) * 4;
    return {at, at + 4};
}

// Every test gets the GL window, a private scratch folder and a 64x32 sheet.png.
class Textures : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(openTestWindow());
        char pattern[] = "/tmp/starhold-textures.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        ASSERT_TRUE(convert("-size 64x32 xc:'rgba(9,8,7,1)'", "PNG32:", "sheet.png"));
        sheet = path("sheet.png");
    }
    void TearDown() override {
        if (!root.empty() && std::system(("rm -rf '" + root + "'").c_str()) != 0) {
            ADD_FAILURE() << "could not remove " << root;
        }
    }

    std::string path(const std::string& file) const { return root + "/" + file; }
    bool convert(const std::string& arguments, const std::string& prefix, const std::string& file) const {
        return std::system(("convert " + arguments + " '" + prefix + path(file) + "'").c_str()) == 0;
    }
    bool write(const std::string& file, const std::string& text) const {
        std::ofstream out(path(file), std::ios::binary);
        return static_cast<bool>(out << text);
    }
    std::string read(const std::string& file) const {
        std::ifstream in(path(file), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string root;
    std::string sheet;
    TextureManager manager;
};

}  // namespace

TEST_F(Textures, RgbaImageKeepsAlphaAndPutsTheTopRowFirst) {
    ASSERT_TRUE(convert("-size 64x64 xc:'rgba(200,100,50,0.2)' -fill 'rgb(10,20,30)' -draw 'point 5,5' "
                        "-fill 'rgb(0,0,255)' -draw 'point 0,63'",
                        "PNG32:", "rgba.png"));
    TextureInfo info;
    ASSERT_TRUE(loadImageIntoTexture(path("rgba.png"), info, false));
    EXPECT_NE(info.glName, 0u);
    EXPECT_EQ(info.width, 64);
    EXPECT_EQ(info.height, 64);
    const Bytes pixels = readTexture(info.glName);
    ASSERT_EQ(pixels.size(), 64u * 64u * 4u);
    EXPECT_EQ(texel(pixels, 64, 0, 0), (Bytes{200, 100, 50, 51}));
    EXPECT_EQ(texel(pixels, 64, 0, 63), (Bytes{0, 0, 255, 255}));
    EXPECT_EQ(texel(pixels, 64, 5, 5), (Bytes{10, 20, 30, 255}));

    GLint wrap = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
    EXPECT_EQ(wrap, GL_CLAMP);
    ASSERT_TRUE(loadImageIntoTexture(path("rgba.png"), info, true));
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap);
    EXPECT_EQ(wrap, GL_REPEAT);
}

TEST_F(Textures, RgbAndPalettisedImagesBecomeOpaqueRgba) {
    const std::string draw = "-size 32x16 xc:'rgb(1,2,3)' -fill 'rgb(250,128,7)' -draw 'point 31,15'";
    ASSERT_TRUE(convert(draw, "PNG24:", "rgb.png"));
    ASSERT_TRUE(convert(draw, "PNG8:", "palette.png"));
    SDL_Surface* decoded = IMG_Load(path("palette.png").c_str());
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(decoded->format->BitsPerPixel, 8);
    SDL_FreeSurface(decoded);

    for (const char* file : {"rgb.png", "palette.png"}) {
        SCOPED_TRACE(file);
        TextureInfo info;
        ASSERT_TRUE(loadImageIntoTexture(path(file), info, false));
        const Bytes pixels = readTexture(info.glName);
        ASSERT_EQ(pixels.size(), 32u * 16u * 4u);
        EXPECT_EQ(texel(pixels, 32, 0, 0), (Bytes{1, 2, 3, 255}));
        EXPECT_EQ(texel(pixels, 32, 31, 15), (Bytes{250, 128, 7, 255}));
    }
}

TEST_F(Textures, RefusedImageSizesAreKeptWithoutATexture) {
    ASSERT_TRUE(convert("-size 100x64 xc:red", "PNG32:", "odd.png"));
    // A header claiming 65536 x 8192 is refused before anything is decoded.
    std::string bytes = read("sheet.png");
    ASSERT_GT(bytes.size(), 24u);
    std::memcpy(&bytes[16], "\x00\x01\x00\x00\x00\x00\x20\x00", 8);
    ASSERT_TRUE(write("huge.png", bytes));

    const std::pair<const char*, TextureInfo> cases[] = {{"odd.png", {0, 100, 64}}, {"huge.png", {0, 65536, 8192}}};
    for (const auto& [file, expected] : cases) {
        SCOPED_TRACE(file);
        TextureInfo info;
        EXPECT_FALSE(loadImageIntoTexture(path(file), info, false));
        EXPECT_EQ(info.glName, 0u);
        EXPECT_EQ(info.width, expected.width);
        EXPECT_EQ(info.height, expected.height);
    }
}

TEST_F(Textures, UnreadableImagesLeaveTheInfoUntouched) {
    const std::string whole = read("sheet.png");
    ASSERT_TRUE(write("cut.png", whole.substr(0, whole.size() / 2)));
    ASSERT_TRUE(write("text.png", "not an image at all"));
    ASSERT_TRUE(convert("-size 64x64 xc:red", "BMP3:", "bitmap.png"));

    for (const char* file : {"missing.png", "cut.png", "text.png", "bitmap.png"}) {
        SCOPED_TRACE(file);
        TextureInfo info{7, 3, 5};
        EXPECT_FALSE(loadImageIntoTexture(path(file), info, false));
        EXPECT_EQ(info.glName, 7u);
        EXPECT_EQ(info.width, 3);
        EXPECT_EQ(info.height, 5);
    }
}

TEST_F(Textures, BlankTexturesNeedPowerOfTwoSides) {
    for (uint32_t side : {0u, 3u, 96u, 100u, 8192u}) {
        EXPECT_EQ(manager.createBlankTexture("bad", side, 4), 0u) << side;
        EXPECT_EQ(manager.createBlankTexture("bad", 4, side), 0u) << side;
    }
    EXPECT_EQ(manager.getEntry("bad"), nullptr);
    for (uint32_t side : {1u, 2u, 256u}) {
        ASSERT_NE(manager.createBlankTexture("blank", side, 2), 0u) << side;
        EXPECT_EQ(manager.getTexture("blank")->width, static_cast<int32_t>(side));
    }
    const TextureEntry* entry = manager.getEntry("blank");
    EXPECT_EQ(entry->file, "none");
    EXPECT_TRUE(entry->generated);
    EXPECT_EQ(readTexture(entry->info.glName), Bytes(256 * 2 * 4, 0));
}

TEST_F(Textures, ReplacingAnEntryKeepsItsNodeAndDropsSubTextures) {
    ASSERT_TRUE(manager.loadTexture("Ship Top", sheet, false));
    const TextureEntry* before = manager.getEntry("Ship Top");
    EXPECT_EQ(before->file, sheet);
    EXPECT_FALSE(before->generated);
    ASSERT_TRUE(manager.addSubTexture("Ship Top", "nose", 0, 0, 16, 8));
    const GLuint oldName = before->info.glName;

    EXPECT_FALSE(manager.loadTexture("Ship Top", path("missing.png"), false));
    EXPECT_EQ(manager.subTextureCount("Ship Top"), 1);

    const GLuint newName = manager.createBlankTexture("Ship Top", 16, 128);
    EXPECT_NE(newName, oldName);
    EXPECT_EQ(manager.getEntry("Ship Top"), before);
    EXPECT_EQ(before->info.glName, newName);
    EXPECT_EQ(before->info.height, 128);
    EXPECT_EQ(manager.subTextureCount("Ship Top"), 0);
    EXPECT_EQ(manager.getEntryAt(1), nullptr);
}

TEST_F(Textures, SubTexturesAreNormalisedAgainstTheirSheet) {
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

TEST_F(Textures, PositionsFollowTheByteOrderOfNames) {
    for (const char* name : {"Ship2 Top", "Ship", "Ship Bot"}) {
        ASSERT_NE(manager.createBlankTexture(name, 64, 32), 0u);
    }
    for (const char* sub : {"zeta", "alpha", "mid"}) {
        ASSERT_TRUE(manager.addSubTexture("Ship Bot", sub, 1, 2, 3, 4));
    }
    EXPECT_EQ(manager.getEntryAt(0)->name, "Ship");
    EXPECT_EQ(manager.getEntryAt(2)->name, "Ship2 Top");
    EXPECT_EQ(manager.getEntryAt(3), nullptr);
    EXPECT_EQ(manager.getEntryAt(-1), nullptr);

    EXPECT_EQ(manager.getSubTexture(1, 0)->name, "alpha");
    EXPECT_EQ(manager.getSubTexture("Ship Bot", 2)->name, "zeta");
    EXPECT_EQ(manager.getSubTexture(manager.getEntry("Ship Bot"), 1)->name, "mid");
    EXPECT_EQ(manager.getSubTexture("Ship Bot", 3), nullptr);
    EXPECT_EQ(manager.getSubTexture(0, 0), nullptr);
    EXPECT_TRUE(manager.hasSubTexture(1, "mid"));
    EXPECT_FALSE(manager.hasSubTexture(2, "mid"));
    EXPECT_EQ(manager.subTextureCount(1), 3);
    EXPECT_EQ(manager.subTextureCount(7), 0);

    EXPECT_FALSE(manager.removeSubTexture(1, 3));
    EXPECT_TRUE(manager.removeSubTexture(1, 1));
    EXPECT_TRUE(manager.removeSubTexture("Ship Bot", 0));
    EXPECT_EQ(manager.getSubTexture(1, 0)->name, "zeta");
    EXPECT_TRUE(manager.removeTexture(0));
    EXPECT_FALSE(manager.removeTexture(2));
    EXPECT_TRUE(manager.removeTexture("Ship2 Top"));
    EXPECT_FALSE(manager.removeTexture("Ship2 Top"));
    EXPECT_EQ(manager.getEntryAt(0)->name, "Ship Bot");
}

TEST_F(Textures, SavedFilesListLoadedTexturesAndReadBack) {
    EXPECT_FALSE(manager.saveDefinitions(path("empty.txt")));
    EXPECT_EQ(read("empty.txt"), kHeader);
    manager.createBlankTexture("screen", 4, 4);
    EXPECT_TRUE(manager.saveDefinitions(path("blank.txt")));
    EXPECT_EQ(read("blank.txt"), std::string(kHeader) + "____\n");

    ASSERT_TRUE(manager.loadTexture("shiptop", sheet, false));
    ASSERT_TRUE(manager.loadTexture("a", sheet, false));
    manager.addSubTexture("shiptop", "nose", 0, 0, 16, 8);
    manager.addSubTexture("shiptop", "fin", -3, 7, 2, 1);
    EXPECT_TRUE(manager.saveDefinitions(path("defs.txt")));
    EXPECT_EQ(read("defs.txt"), std::string(kHeader) + "Name: a\nFile: " + sheet + "\n_\n___\n" +
                                    "Name: shiptop\nFile: " + sheet + "\n_\n" +
                                    "SubName: fin\nSubLeftX: -3\nSubTopY: 7\nSubWidth: 2\nSubHeight: 1\n__\n" +
                                    "SubName: nose\nSubLeftX: 0\nSubTopY: 0\nSubWidth: 16\nSubHeight: 8\n__\n" +
                                    "___\n____\n");

    TextureManager copy;
    EXPECT_TRUE(copy.loadDefinitions(path("defs.txt")));
    EXPECT_EQ(copy.getEntry("screen"), nullptr);
    ASSERT_NE(copy.getSubTexture("shiptop", "fin"), nullptr);
    EXPECT_EQ(copy.getSubTexture("shiptop", "fin")->leftX, -3);
    EXPECT_TRUE(copy.saveDefinitions(path("again.txt")));
    EXPECT_EQ(read("again.txt"), read("defs.txt"));
}

TEST_F(Textures, ReadingCarriesValuesOverAndSplitsNamesAtBlanks) {
    ASSERT_TRUE(manager.loadTexture("Ship Top", sheet, false));
    ASSERT_TRUE(manager.saveDefinitions(path("ship.txt")));
    TextureManager copy;
    EXPECT_TRUE(copy.loadDefinitions(path("ship.txt")));
    EXPECT_NE(copy.getEntry("Ship"), nullptr);
    EXPECT_EQ(copy.getEntryAt(1), nullptr);

    // The long header's tail is read as words; "__" without a sub name adds
    // nothing; the next block reuses the texture name and the four integers.
    ASSERT_TRUE(write("tail.txt", std::string(1024, 'x') + " Name: tail File: " + sheet +
                                      "\n_\n__\nSubName: one SubLeftX: 8 SubTopY: 4 SubWidth: 32 "
                                      "SubHeight: 16 __\nSubName: two __\n___\n____\nName: after\n"));
    TextureManager tail;
    EXPECT_TRUE(tail.loadDefinitions(path("tail.txt")));
    EXPECT_EQ(tail.subTextureCount("tail"), 2);
    EXPECT_FLOAT_EQ(tail.getSubTexture("tail", "two")->texWidth, 0.5f);
    EXPECT_EQ(tail.getEntryAt(1), nullptr);
}

TEST_F(Textures, BrokenDefinitionFilesStopTheRead) {
    EXPECT_FALSE(manager.loadDefinitions(path("missing.txt")));
    ASSERT_TRUE(write("cut.txt", std::string(kHeader) + "Name: cut\nFile: " + sheet + "\n_\nSubName: s\n"));
    EXPECT_FALSE(manager.loadDefinitions(path("cut.txt")));
    EXPECT_NE(manager.getEntry("cut"), nullptr);

    const std::string bodies[] = {
        "Name:",
        "Name: n File: " + sheet + " _ SubName: s SubLeftX: left __ ____",
        "Name: " + std::string(5000, 'n') + " ____",
    };
    for (const std::string& body : bodies) {
        ASSERT_TRUE(write("bad.txt", std::string(kHeader) + body));
        TextureManager broken;
        EXPECT_FALSE(broken.loadDefinitions(path("bad.txt"))) << body.substr(0, 40);
        EXPECT_FALSE(broken.hasSubTexture("n", "s"));
    }
}

TEST_F(Textures, ShippedShipImagesLoadWithTransparentSurroundings) {
    const char* source = std::getenv("STARHOLD_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    for (const char* file : {"shiptop", "shipbottom", "shipburner", "ship2top", "ship2bottom", "ship2burner"}) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(manager.loadTexture(file, std::string(source) + "/data/images/" + file + ".png", false));
        const TextureInfo* info = manager.getTexture(file);
        const Bytes pixels = readTexture(info->glName);
        EXPECT_EQ(pixels[3], 0);
        EXPECT_EQ(pixels.back(), 0);
        EXPECT_EQ(texel(pixels, info->width, info->width / 2, info->height / 2)[3], 255);
    }
}
