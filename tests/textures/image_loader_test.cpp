#include <gtest/gtest.h>

#include <SDL_image.h>

#include <cstring>

#include "tests/support/gl_window.h"
#include "tests/textures/texture_files.h"
#include "textures/image_loader.h"

namespace {

class ImageLoader : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(openTestWindow()); }

    // Pixel (x, y) of a read-back texture `width` texels wide.
    static std::vector<unsigned char> texel(const std::vector<unsigned char>& pixels, int width, int x, int y) {
        const auto at = pixels.begin() + (static_cast<size_t>(y) * width + x) * 4;
        return {at, at + 4};
    }

    ScratchDir dir;
};

using Bytes = std::vector<unsigned char>;

}  // namespace

TEST_F(ImageLoader, RgbaImageKeepsAlphaAndPutsTheTopRowFirst) {
    ASSERT_TRUE(dir.convert("-size 64x64 xc:'rgba(200,100,50,0.2)' -fill 'rgb(10,20,30)' -draw 'point 5,5' "
                            "-fill 'rgb(0,0,255)' -draw 'point 0,63'",
                            "PNG32:", "rgba.png"));
    TextureInfo info;
    ASSERT_TRUE(loadImageIntoTexture(dir.path("rgba.png"), info, false));
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
    ASSERT_TRUE(loadImageIntoTexture(dir.path("rgba.png"), info, true));
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap);
    EXPECT_EQ(wrap, GL_REPEAT);
}

TEST_F(ImageLoader, RgbAndPalettisedImagesBecomeOpaqueRgba) {
    const std::string draw = "-size 32x16 xc:'rgb(1,2,3)' -fill 'rgb(250,128,7)' -draw 'point 31,15'";
    ASSERT_TRUE(dir.convert(draw, "PNG24:", "rgb.png"));
    ASSERT_TRUE(dir.convert(draw, "PNG8:", "palette.png"));
    SDL_Surface* decoded = IMG_Load(dir.path("palette.png").c_str());
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(decoded->format->BitsPerPixel, 8);
    SDL_FreeSurface(decoded);

    for (const char* file : {"rgb.png", "palette.png"}) {
        SCOPED_TRACE(file);
        TextureInfo info;
        ASSERT_TRUE(loadImageIntoTexture(dir.path(file), info, false));
        const Bytes pixels = readTexture(info.glName);
        ASSERT_EQ(pixels.size(), 32u * 16u * 4u);
        EXPECT_EQ(texel(pixels, 32, 0, 0), (Bytes{1, 2, 3, 255}));
        EXPECT_EQ(texel(pixels, 32, 31, 15), (Bytes{250, 128, 7, 255}));
    }
}

TEST_F(ImageLoader, RefusedSizesAreKeptWithoutATexture) {
    ASSERT_TRUE(dir.convert("-size 100x64 xc:red", "PNG32:", "odd.png"));
    TextureInfo info;
    EXPECT_FALSE(loadImageIntoTexture(dir.path("odd.png"), info, false));
    EXPECT_EQ(info.glName, 0u);
    EXPECT_EQ(info.width, 100);
    EXPECT_EQ(info.height, 64);

    // A header claiming 65536 x 8192 is refused before anything is decoded.
    ASSERT_TRUE(dir.convert("-size 16x16 xc:red", "PNG32:", "huge.png"));
    std::string bytes = dir.read("huge.png");
    ASSERT_GT(bytes.size(), 24u);
    std::memcpy(&bytes[16], "\x00\x01\x00\x00\x00\x00\x20\x00", 8);
    ASSERT_TRUE(dir.write("huge.png", bytes));
    TextureInfo huge;
    EXPECT_FALSE(loadImageIntoTexture(dir.path("huge.png"), huge, false));
    EXPECT_EQ(huge.glName, 0u);
    EXPECT_EQ(huge.width, 65536);
    EXPECT_EQ(huge.height, 8192);
}

TEST_F(ImageLoader, UnreadableFilesLeaveTheInfoUntouched) {
    ASSERT_TRUE(dir.convert("-size 64x64 xc:red", "PNG32:", "whole.png"));
    const std::string whole = dir.read("whole.png");
    ASSERT_TRUE(dir.write("cut.png", whole.substr(0, whole.size() / 2)));
    ASSERT_TRUE(dir.write("text.png", "not an image at all"));
    ASSERT_TRUE(dir.convert("-size 64x64 xc:red", "BMP3:", "bitmap.png"));

    for (const char* file : {"missing.png", "cut.png", "text.png", "bitmap.png"}) {
        SCOPED_TRACE(file);
        TextureInfo info{7, 3, 5};
        EXPECT_FALSE(loadImageIntoTexture(dir.path(file), info, false));
        EXPECT_EQ(info.glName, 7u);
        EXPECT_EQ(info.width, 3);
        EXPECT_EQ(info.height, 5);
    }
}

TEST(ReadPixel, AssemblesEachPixelSizeFromItsRow) {
    SDL_Surface* rgb = SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 3, 24, 0xff, 0xff00, 0xff0000, 0);
    ASSERT_NE(rgb, nullptr);
    unsigned char* row2 = static_cast<unsigned char*>(rgb->pixels) + 2 * rgb->pitch;
    std::memcpy(row2 + 3, "\x11\x22\x33", 3);
    EXPECT_EQ(readPixel(rgb, 1, 2), 0x332211u);
    EXPECT_EQ(readPixel(rgb, 0, 2), 0u);
    SDL_FreeSurface(rgb);

    SDL_Surface* shorts = SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 3, 16, 0xf800, 0x07e0, 0x001f, 0);
    ASSERT_NE(shorts, nullptr);
    const Uint16 value = 0xbeef;
    std::memcpy(static_cast<unsigned char*>(shorts->pixels) + shorts->pitch + 2 * 2, &value, 2);
    EXPECT_EQ(readPixel(shorts, 2, 1), 0xbeefu);
    SDL_FreeSurface(shorts);
}
