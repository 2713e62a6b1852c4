#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <tuple>

#include "tests/support/gl_window.h"
#include "textures/image_loader.h"
#include "textures/texture_manager.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Level 0 of a texture as RGBA bytes, top image row first.
Bytes readTexture(GLuint name) {
    glBindTexture(GL_TEXTURE_2D, name);
    GLint width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    Bytes pixels(size_t(width) * height * 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

void putLittleEndian(std::string& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + i] = char(value >> (8 * i));
}

// A 24-bit BMP, each row its pixels' R, G, B; stored top row first (a negative
// height) unless `bottomUp`.
std::string bmp(const std::vector<Bytes>& rows, bool bottomUp = false) {
    const size_t width = rows[0].size() / 3, stride = (width * 3 + 3) / 4 * 4;
    std::string file = "BM" + std::string(52, '\0');
    putLittleEndian(file, 2, uint32_t(54 + stride * rows.size()));
    putLittleEndian(file, 10, 54);  // where the pixels start
    putLittleEndian(file, 14, 40);  // the size of this header
    putLittleEndian(file, 18, uint32_t(width));
    putLittleEndian(file, 22, uint32_t(bottomUp ? int32_t(rows.size()) : -int32_t(rows.size())));
    file[26] = 1;   // planes
    file[28] = 24;  // bits per pixel
    for (size_t y = 0; y < rows.size(); ++y) {
        const Bytes& row = rows[bottomUp ? rows.size() - 1 - y : y];
        std::string stored(stride, '\0');
        for (size_t x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) stored[x * 3 + c] = char(row[x * 3 + 2 - c]);  // kept as B, G, R
        file += stored;
    }
    return file;
}

Bytes texel(const Bytes& pixels, int width, int x, int y) {
    const auto at = pixels.begin() + (size_t(y) * width + x) * 4;
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
        ASSERT_TRUE(convert("-size 64x32 xc:'rgba(9,8,7,1)'", "PNG32:sheet.png"));
    }
    void TearDown() override { EXPECT_EQ(std::system(("rm -rf '" + root + "'").c_str()), 0); }

    std::string path(const std::string& file) const { return root + "/" + file; }
    // Makes `target`, "FORMAT:file", with ImageMagick.
    bool convert(const std::string& arguments, const std::string& target) const {
        const size_t file = target.find(':') + 1;
        const std::string command = "convert " + arguments + " '" + target.substr(0, file) + path(target.substr(file));
        return std::system((command + "'").c_str()) == 0;
    }
    void write(const std::string& file, const std::string& text) const { std::ofstream(path(file)) << text; }
    std::string read(const std::string& file) const {
        std::ifstream in(path(file));
        return {std::istreambuf_iterator<char>(in), {}};
    }

    std::string root;
    TextureManager manager;
};

}  // namespace

TEST_F(Textures, ImagesBecomeRgbaTexturesTopRowFirst) {
    ASSERT_TRUE(convert("-size 64x64 xc:'rgba(200,100,50,0.2)' -fill 'rgb(10,20,30)' -draw 'point 5,5' "
                        "-fill 'rgb(0,0,255)' -draw 'point 0,63'", "PNG32:rgba.png"));
    TextureInfo info;
    ASSERT_TRUE(loadImageIntoTexture(path("rgba.png"), info, false));
    EXPECT_TRUE(info.glName != 0 && info.width == 64 && info.height == 64);
    const Bytes pixels = readTexture(info.glName);
    EXPECT_EQ(texel(pixels, 64, 0, 0), (Bytes{200, 100, 50, 51}));
    EXPECT_EQ(texel(pixels, 64, 0, 63), (Bytes{0, 0, 255, 255}));
    EXPECT_EQ(texel(pixels, 64, 5, 5), (Bytes{10, 20, 30, 255}));
    for (bool repeat : {false, true}) {  // smoothed when drawn smaller or larger
        ASSERT_TRUE(loadImageIntoTexture(path("rgba.png"), info, repeat));
        GLint wrap = 0, minFilter = 0, magFilter = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
        EXPECT_TRUE(wrap == (repeat ? GL_REPEAT : GL_CLAMP) && minFilter == GL_LINEAR && magFilter == GL_LINEAR);
    }

    // Without alpha, palettised, and in other formats, a BMP stored top row first among them: opaque RGBA.
    const std::string draw = "-size 32x16 xc:'rgb(1,2,3)' -fill 'rgb(250,128,7)' -draw 'point 31,15'";
    for (const char* format : {"PNG24:rgb.png", "PNG8:palette.png", "BMP3:bitmap.bmp"})
        ASSERT_TRUE(convert(draw, format));
    std::vector<Bytes> rows(16);
    for (Bytes& row : rows)
        for (int x = 0; x < 32; ++x) row.insert(row.end(), {1, 2, 3});
    std::copy_n(Bytes{250, 128, 7}.begin(), 3, rows[15].end() - 3);
    write("top-down.bmp", bmp(rows));
    for (const char* file : {"rgb.png", "palette.png", "bitmap.bmp", "top-down.bmp"}) {
        ASSERT_TRUE(loadImageIntoTexture(path(file), info, false)) << file;
        const Bytes opaque = readTexture(info.glName);
        EXPECT_EQ(texel(opaque, 32, 0, 0), (Bytes{1, 2, 3, 255})) << file;
        EXPECT_EQ(texel(opaque, 32, 31, 15), (Bytes{250, 128, 7, 255})) << file;
    }
}

// Any power-of-two side up to GL_MAX_TEXTURE_SIZE, as the GL in use reports it,
// loads; any other is refused with its size kept, a PNG's or BMP's from its
// header alone. (SDL 1.2 makes no surface 16384 pixels wide, and ImageMagick
// writes no PNG that long, so the tall bitmaps carry the limit.) A file that
// cannot be read leaves the size as it was.
TEST_F(Textures, SidesUpToWhatGlTakesLoadAndOtherSidesOrUnreadableFilesAreRefused) {
    GLint reported = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &reported);
    ASSERT_GE(reported, 64);
    const int32_t most = reported, past = 2 * reported, widest = std::min(most, 8192);
    ASSERT_TRUE(convert("-size " + std::to_string(widest) + "x1 xc:red", "PNG32:widest.png"));
    std::string bitmap = bmp(std::vector<Bytes>(size_t(most), Bytes{1, 2, 3}), true);
    write("tallest.bmp", bitmap);
    std::string png = read("sheet.png");  // larger sides declared: IHDR's height is big-endian,
    const uint32_t stored = htonl(uint32_t(past));  // a BMP's little-endian and negative when top-down
    std::memcpy(&png[20], &stored, 4);
    write("past.png", png);
    for (const int32_t height : {past, -past}) {
        std::memcpy(&bitmap[22], &height, 4);
        write(std::to_string(height) + ".bmp", bitmap);
    }
    ASSERT_TRUE(convert("-size 100x64 xc:red", "PNG32:odd.png") && convert("-size 64x96 xc:red", "BMP3:odd.bmp"));
    write("cut.png", read("sheet.png").substr(0, png.size() / 2));
    write("text.png", "not an image at all");
    const std::tuple<std::string, bool, int32_t, int32_t> cases[] = {  // the file, whether it loads, its size
        {"widest.png", true, widest, 1}, {"tallest.bmp", true, 1, most}, {"past.png", false, 64, past},
        {std::to_string(past) + ".bmp", false, 1, past}, {std::to_string(-past) + ".bmp", false, 1, past},
        {"odd.png", false, 100, 64}, {"odd.bmp", false, 64, 96}, {"missing.png", false, 3, 5},
        {"cut.png", false, 3, 5}, {"text.png", false, 3, 5}};
    for (const auto& [file, loads, width, height] : cases) {
        TextureInfo info{0, 3, 5};
        EXPECT_EQ(loadImageIntoTexture(path(file), info, false), loads) << file;
        EXPECT_TRUE((info.glName != 0) == loads && info.width == width && info.height == height) << file;
    }

    EXPECT_NE(manager.createBlankTexture("blank", uint32_t(most), 1), 0u);
    for (const uint32_t side : {uint32_t(most) + 1, uint32_t(past)})
        EXPECT_TRUE(manager.createBlankTexture("blank", 1, side) == 0 && uploadBlankTexture(side, 1) == 0) << side;
    EXPECT_EQ(manager.getTexture("blank")->width, most);
}

// A declared size is checked before anything is decoded: 4096 x 4096 RGBA is
// 64 MiB and may be tried (this file is then no PNG libpng takes), twice that
// is refused with the line a sound too large gets. Only PNG and BMP are read.
TEST_F(Textures, AnImageThatWouldTakeMoreThan64MiBOrIsNeitherPngNorBmpIsRefusedBeforeDecoding) {
    std::string png = read("sheet.png");
    for (const auto& [file, height] : {std::make_pair("square.png", 4096u), std::make_pair("tall.png", 8192u)}) {
        const uint32_t sides[2] = {htonl(4096), htonl(height)};
        std::memcpy(&png[16], sides, 8);
        write(file, png);
    }
    ASSERT_TRUE(convert("-size 64x64 xc:red", "GIF:red.gif"));
    const std::pair<std::string, std::string> cases[] = {
        {"square.png", ""},
        {"tall.png", ": would take more than 64 MiB decoded; not loaded\n"},
        {"red.gif", ": not a PNG or BMP image; not loaded\n"}};
    for (const auto& [file, message] : cases) {
        TextureInfo info;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(loadImageIntoTexture(path(file), info, false) || info.glName != 0) << file;
        const std::string said = testing::internal::GetCapturedStderr();  // libpng may add its own
        EXPECT_TRUE(message.empty() ? said.find(path(file)) == std::string::npos : said == path(file) + message)
            << said;
    }
}

// A new context keeps none of the old textures: each is made again, from its
// file or blank; a context that kept them is left alone.
TEST_F(Textures, TexturesAreMadeAgainInANewContextAndOnlyThen) {
    ASSERT_TRUE(manager.loadTexture("sheet", path("sheet.png"), true));
    ASSERT_NE(manager.createBlankTexture("blank", 32, 16), 0u);
    ASSERT_TRUE(convert("-size 2x2 xc:blue", "PNG32:gone.png") && manager.loadTexture("gone", path("gone.png"), false));
    const Bytes sheet = readTexture(manager.getTexture("sheet")->glName);
    EXPECT_EQ(manager.remakeAfterNewContext(), 0);

    ASSERT_TRUE(renewTestWindow());
    ASSERT_EQ(std::remove(path("gone.png").c_str()), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(manager.remakeAfterNewContext(), 2);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), path("gone.png") + ": no such file\n");
    for (const char* name : {"sheet", "blank"}) EXPECT_EQ(glIsTexture(manager.getTexture(name)->glName), GL_TRUE);
    EXPECT_EQ(readTexture(manager.getTexture("sheet")->glName), sheet);
    EXPECT_EQ(readTexture(manager.getTexture("blank")->glName), Bytes(32 * 16 * 4, 0));
    EXPECT_EQ(manager.getTexture("gone")->glName, 0u);
    EXPECT_EQ(manager.remakeAfterNewContext(), 0);  // the texture that could not be made proves nothing
}

TEST_F(Textures, AMissingImageIsNamedOnceHoweverOftenItIsAskedFor) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(manager.loadTexture("Ship Top", path("images/shiptop.png"), false));
    EXPECT_FALSE(manager.loadTexture("Ship Top", path("images/shiptop.png"), false));  // the second player's load
    EXPECT_TRUE(manager.loadTexture("sheet", path("sheet.png"), false));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), path("images/shiptop.png") + ": no such file\n");
}

TEST_F(Textures, ShippedShipImagesLoadWithTransparentSurroundings) {
    for (const char* file : {"shiptop", "shipbottom", "shipburner", "ship2top", "ship2bottom", "ship2burner"}) {
        ASSERT_TRUE(manager.loadTexture(
            file, std::string(std::getenv("STARHOLD_SOURCE_DIR")) + "/data/images/" + file + ".png", false));
        const TextureInfo* info = manager.getTexture(file);
        const Bytes pixels = readTexture(info->glName);
        EXPECT_TRUE(pixels[3] == 0 && pixels.back() == 0) << file;
        EXPECT_EQ(texel(pixels, info->width, info->width / 2, info->height / 2)[3], 255) << file;
    }
}
