#include "textures/image_loader.h"

#include <SDL_image.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool isPowerOfTwo(int64_t side) {
    return side >= 1 && (side & (side - 1)) == 0;
}

bool isUsableSide(int64_t side) {
    return isPowerOfTwo(side) && side <= static_cast<int64_t>(maxTextureSide());
}

uint32_t readBigEndian32(const unsigned char* bytes) {
    return (static_cast<uint32_t>(bytes[0]) << 24) | (static_cast<uint32_t>(bytes[1]) << 16) |
           (static_cast<uint32_t>(bytes[2]) << 8) | static_cast<uint32_t>(bytes[3]);
}

// Reads the declared size from a PNG's leading IHDR chunk so that a hostile
// file cannot make the decoder allocate a huge surface. False when the bytes
// are not a PNG signature followed by IHDR.
bool readPngSize(SDL_RWops* file, uint32_t& width, uint32_t& height) {
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    unsigned char head[24];
    if (SDL_RWread(file, head, sizeof head, 1) != 1) {
        return false;
    }
    if (std::memcmp(head, kSignature, sizeof kSignature) != 0 || std::memcmp(head + 12, "IHDR", 4) != 0) {
        return false;
    }
    width = readBigEndian32(head + 16);
    height = readBigEndian32(head + 20);
    return true;
}

uint32_t readLittleEndian32(const unsigned char* bytes) {
    return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

// Reads the declared size of a BMP, as readPngSize does for a PNG: its decoder
// allocates the whole surface before it reads a pixel. A negative height means
// rows stored top first. False when the bytes are not a BMP header.
bool readBmpSize(SDL_RWops* file, uint32_t& width, uint32_t& height) {
    unsigned char head[26];
    if (SDL_RWseek(file, 0, RW_SEEK_SET) != 0 || SDL_RWread(file, head, sizeof head, 1) != 1 ||
        head[0] != 'B' || head[1] != 'M') {
        return false;
    }
    if (readLittleEndian32(head + 14) == 12) {  // the old header keeps 16-bit sides
        width = head[18] | (head[19] << 8);
        height = head[20] | (head[21] << 8);
        return true;
    }
    const int64_t h = static_cast<int32_t>(readLittleEndian32(head + 22));
    width = readLittleEndian32(head + 18);
    height = static_cast<uint32_t>(h < 0 ? -h : h);
    return true;
}

// Walks a PNG's chunks: true when each lies wholly inside the file, up to IEND.
// libpng can spin for minutes on a chunk that runs past the end of the file.
bool pngChunksFit(SDL_RWops* file) {
    const int end = SDL_RWseek(file, 0, RW_SEEK_END);
    int at = 8;  // past the signature
    while (at >= 0 && at <= end - 12) {
        unsigned char head[8];
        if (SDL_RWseek(file, at, RW_SEEK_SET) != at || SDL_RWread(file, head, sizeof head, 1) != 1) {
            return false;
        }
        const int64_t next = static_cast<int64_t>(at) + 12 + readBigEndian32(head);
        if (next > end) {
            return false;
        }
        if (std::memcmp(head + 4, "IEND", 4) == 0) {
            return true;
        }
        at = static_cast<int>(next);
    }
    return false;
}

// A texture's pixels are decoded whole, and held twice while they are handed to
// GL; this bounds them, as the sounds are bounded.
constexpr uint64_t kMostImageBytes = 64ull << 20;

bool refuse(const std::string& path, const char* why) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), why);
    return false;
}

// The decoded image, or null. Only PNG and BMP files are decoded: the size
// their headers declare is checked first, so that no file can make the decoder
// take more memory than the texture would be allowed. A declared size we would
// refuse anyway is stored in `info` with nothing decoded.
SDL_Surface* decodeImage(const std::string& path, TextureInfo& info) {
    SDL_RWops* file = SDL_RWFromFile(path.c_str(), "rb");
    if (file == nullptr) {
        return nullptr;
    }
    uint32_t width = 0;
    uint32_t height = 0;
    const bool png = readPngSize(file, width, height);
    bool usable = png || readBmpSize(file, width, height);
    if (!usable) {
        refuse(path, "not a PNG or BMP image; not loaded");
    } else if (!isUsableSide(width) || !isUsableSide(height)) {
        info.width = static_cast<int32_t>(width > INT32_MAX ? INT32_MAX : width);
        info.height = static_cast<int32_t>(height > INT32_MAX ? INT32_MAX : height);
        usable = false;
    } else if (uint64_t{width} * height * 4 > kMostImageBytes) {
        info.width = static_cast<int32_t>(width);
        info.height = static_cast<int32_t>(height);
        usable = refuse(path, "would take more than 64 MiB decoded; not loaded");
    }
    if (!usable || (png && !pngChunksFit(file)) || SDL_RWseek(file, 0, RW_SEEK_SET) != 0) {
        SDL_RWclose(file);
        return nullptr;
    }
    SDL_Surface* image = png ? IMG_LoadPNG_RW(file) : IMG_LoadBMP_RW(file);
    SDL_RWclose(file);
    return image;
}

// Appends the image as R, G, B, A bytes, top row first.
void convertToRgba(const SDL_Surface* image, unsigned char* out) {
    const SDL_PixelFormat* format = image->format;
    const SDL_Palette* palette = format->BitsPerPixel <= 8 ? format->palette : nullptr;
    for (int y = 0; y < image->h; ++y) {
        for (int x = 0; x < image->w; ++x) {
            const uint32_t pixel = readPixel(image, x, y);
            Uint8 r = 0, g = 0, b = 0, a = SDL_ALPHA_OPAQUE;
            // A corrupt index beyond the palette reads as opaque black.
            if (palette == nullptr || pixel < static_cast<uint32_t>(palette->ncolors)) {
                SDL_GetRGBA(pixel, const_cast<SDL_PixelFormat*>(format), &r, &g, &b, &a);
            }
            *out++ = r;
            *out++ = g;
            *out++ = b;
            *out++ = a;
        }
    }
}

}  // namespace

uint32_t maxTextureSide() {
    GLint side = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &side);
    return side > 0 ? static_cast<uint32_t>(side) : 0;
}

uint32_t readPixel(const SDL_Surface* image, int x, int y) {
    const int bytesPerPixel = image->format->BytesPerPixel;
    const Uint8* p = static_cast<const Uint8*>(image->pixels) + y * image->pitch + x * bytesPerPixel;
    switch (bytesPerPixel) {
    case 1:
        return *p;
    case 2: {
        Uint16 value;
        std::memcpy(&value, p, sizeof value);
        return value;
    }
    case 3:
        return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
    case 4: {
        Uint32 value;
        std::memcpy(&value, p, sizeof value);
        return value;
    }
    default:
        return 0;
    }
}

bool loadImageIntoTexture(const std::string& path, TextureInfo& info, bool repeat) {
    SDL_Surface* image = decodeImage(path, info);
    if (image == nullptr) {
        return false;
    }
    info.width = image->w;
    info.height = image->h;
    if (!isUsableSide(image->w) || !isUsableSide(image->h) || image->pixels == nullptr) {
        SDL_FreeSurface(image);
        return false;
    }
    const size_t size = static_cast<size_t>(image->w) * static_cast<size_t>(image->h) * 4;
    unsigned char* pixels = static_cast<unsigned char*>(std::malloc(size));
    if (pixels == nullptr) {
        SDL_FreeSurface(image);
        return false;
    }
    convertToRgba(image, pixels);

    glGenTextures(1, &info.glName);
    glBindTexture(GL_TEXTURE_2D, info.glName);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, image->w, image->h, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    const GLint wrap = repeat ? GL_REPEAT : GL_CLAMP;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);

    std::free(pixels);
    SDL_FreeSurface(image);
    return true;
}

GLuint uploadBlankTexture(uint32_t width, uint32_t height) {
    if (width == 0 || height == 0 || width > maxTextureSide() || height > maxTextureSide()) {
        return 0;
    }
    void* zeros = std::calloc(static_cast<size_t>(width) * height, 4);
    if (zeros == nullptr) {
        return 0;
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, static_cast<GLsizei>(width), static_cast<GLsizei>(height), 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, zeros);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    std::free(zeros);
    return name;
}
