#pragma once
// Turning image files and blank buffers into OpenGL textures. Sides must be
// powers of two; no mipmaps are built. Main thread only (the GL context's).

#include <GL/gl.h>
#include <SDL.h>

#include <cstdint>
#include <string>

#include "textures/texture_manager.h"

// Largest side the current GL context accepts for a texture (GL_MAX_TEXTURE_SIZE);
// 0 without a context.
uint32_t maxTextureSide();

// Decodes a PNG or BMP image and uploads it as a new RGBA texture (top image row
// is texture row 0). A file that cannot be opened or decoded leaves `info`
// untouched; an image whose sides are not powers of two (or exceed
// maxTextureSide) fails with its size stored in `info` and no GL name. Another
// format, or a declared size that would take more than 64 MiB decoded, is
// refused before decoding with one line on stderr.
bool loadImageIntoTexture(const std::string& path, TextureInfo& info, bool repeat);

// The raw pixel value at (x, y), assembled from the image's bytes per pixel
// (three-byte pixels read little-endian); 0 for other pixel sizes.
uint32_t readPixel(const SDL_Surface* image, int x, int y);

// A new zero-filled RGBA texture; 0 when a side is 0, above maxTextureSide,
// or the buffer cannot be allocated. The new texture stays bound.
GLuint uploadBlankTexture(uint32_t width, uint32_t height);
