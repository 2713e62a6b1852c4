#include "render/font.h"

#include <GL/gl.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

#include "render/draw_surface.h"
#include "textures/texture_manager.h"
#include "base/unopenable.h"

namespace {

// Enough for every code several times over; a longer file is cut short.
constexpr int kMaxGlyphEntries = 1024;

// 0 for n < 1, n when a power of two, else the next power of two.
int nextPowerOfTwo(int n) {
    if (n < 1) {
        return 0;
    }
    int power = 1;
    while (power < n && power < (1 << 30)) {
        power <<= 1;
    }
    return power;
}

int16_t cellAt(const Glyph& glyph, int i, int j) {
    if (i < 0 || j < 0 || i >= static_cast<int>(glyph.cells.size()) ||
        j >= static_cast<int>(glyph.cells[i].size())) {
        return 0;
    }
    return glyph.cells[i][j];
}

void addTriangle(Polygon& mesh, float x1, float y1, float x2, float y2, float x3, float y3) {
    const float corners[3][2] = {{x1, y1}, {x2, y2}, {x3, y3}};
    for (const auto& corner : corners) {
        Vertex v;
        v.x = corner[0];
        v.y = corner[1];
        v.z = 0.0f;
        mesh.vertices.push_back(v);
    }
}

// Two triangles over the cell's square, then the bridges to its diagonal neighbours.
void addCell(Polygon& mesh, const Glyph& glyph, int i, int j, int rowCount, int columnCount, bool smooth) {
    const float left = 2.0f * j - 1, right = 2.0f * j + 1;
    const float top = 2.0f * i - 1, bottom = 2.0f * i + 1;
    addTriangle(mesh, left, top, left, bottom, right, bottom);
    addTriangle(mesh, right, bottom, right, top, left, top);
    if (!smooth) {
        return;
    }
    const int16_t v = glyph.cells[i][j];
    if (i >= 1 && j >= 1 && (cellAt(glyph, i - 1, j - 1) == v || v == 6)) {
        addTriangle(mesh, left, bottom, left, top, left - 2, top);
    }
    if (i < rowCount - 1 && j < columnCount - 1 && (cellAt(glyph, i + 1, j + 1) == v || v == 7)) {
        addTriangle(mesh, right + 2, bottom, right, bottom, right, top);
    }
    if (i >= 1 && j < columnCount - 1 && (cellAt(glyph, i - 1, j + 1) == v || v == 8)) {
        addTriangle(mesh, right, top, right, top - 2, left, top);
    }
    if (i < rowCount - 1 && j >= 1 && (cellAt(glyph, i + 1, j - 1) == v || v == 9)) {
        addTriangle(mesh, left, bottom, right, bottom, left, bottom + 2);
    }
}

// Reads one glyph entry after its code; false at the first number that is missing or out of range.
bool readGlyphBody(std::istream& in, Glyph& glyph, int rows, int columns) {
    glyph.cells.assign(rows, std::vector<int16_t>(columns, 0));
    if (!(in >> glyph.extraValue >> glyph.yOffset)) {
        return false;
    }
    for (auto& row : glyph.cells) {
        for (int16_t& cell : row) {
            if (!(in >> cell)) {
                cell = 0;  // a failed extraction may have stored a clamped value
                return false;
            }
        }
    }
    return true;
}

}  // namespace

FontManager::~FontManager() {
    setSurface(nullptr);
    setTextureManager(nullptr);
}

void FontManager::setSurface(DrawSurface2D* newSurface) {
    if (ownsSurface) {
        delete surface;
        ownsSurface = false;
    }
    surface = newSurface;
}

void FontManager::setTextureManager(TextureManager* manager) {
    if (ownsTextures) {
        delete textures;
        ownsTextures = false;
    }
    textures = manager;
}

const Font* FontManager::getFont(const std::string& fontName) const {
    const auto it = fonts.find(fontName);
    return it == fonts.end() ? nullptr : &it->second;
}

Font* FontManager::findFont(const std::string& fontName) {
    const auto it = fonts.find(fontName);
    return it == fonts.end() ? nullptr : &it->second;
}

DrawSurface2D* FontManager::surfaceToDrawOn() {
    if (surface == nullptr) {
        surface = new DrawSurface2D();
        ownsSurface = true;
    }
    return surface;
}

std::string FontManager::letterTextureName(const std::string& fontName, int code, const std::string& suffix) {
    return fontName + "|" + std::to_string(code) + "|" + suffix;
}

bool FontManager::loadFont(const std::string& fileName, const std::string& fontName) {
    if (fonts.count(fontName) != 0) {
        return false;
    }
    errno = 0;
    std::ifstream in(fileName);
    if (!in) {
        std::fprintf(stderr, "%s: %s\n", fileName.c_str(), unopenableReason(errno).c_str());
        return false;
    }
    Font font;
    if (!(in >> font.rows >> font.columns) || font.rows < 1 || font.columns < 1 || font.rows > kMaxFontGridSide ||
        font.columns > kMaxFontGridSide) {
        std::fprintf(stderr, "Font file %s has no usable grid size\n", fileName.c_str());
        return false;
    }
    int skipped = 0;
    for (int entry = 0; entry < kMaxGlyphEntries; ++entry) {
        int16_t code = 0;
        if (!(in >> code)) {
            break;  // the end of the file, or something that is not a glyph
        }
        Glyph outOfRange;
        const bool usable = code >= kMinGlyphCode && code <= kMaxGlyphCode;
        skipped += usable ? 0 : 1;
        if (!readGlyphBody(in, usable ? font.glyphs[code] : outOfRange, font.rows, font.columns)) {
            break;
        }
    }
    if (skipped > 0) {
        std::fprintf(stderr, "Font file %s: %d glyphs with codes outside -128..127 skipped\n", fileName.c_str(),
                     skipped);
    }
    fonts[fontName] = std::move(font);
    return true;
}

void FontManager::drawGlyphPoints(const std::string& fontName, int code, int x, int y, float r, float g, float b,
                                  float a) {
    const Font* font = findFont(fontName);
    if (font == nullptr) {
        return;
    }
    const auto glyph = font->glyphs.find(code);
    if (glyph == font->glyphs.end()) {
        return;
    }
    const auto& cells = glyph->second.cells;
    for (size_t i = 0; i < cells.size(); ++i) {
        for (size_t j = 0; j < cells[i].size(); ++j) {
            if (cells[i][j] != 0) {
                glColor4f(r, g, b, a);
                glVertex3f(static_cast<float>(x + static_cast<int>(j)), static_cast<float>(y + static_cast<int>(i)),
                           0.0f);
            }
        }
    }
}

bool FontManager::buildGlyphMeshes(const std::string& fontName, bool smoothDiagonals) {
    Font* font = findFont(fontName);
    if (font == nullptr) {
        return false;
    }
    for (int code = 0; code <= 255; ++code) {
        const auto found = font->glyphs.find(code);
        if (found == font->glyphs.end()) {
            continue;
        }
        const Glyph& glyph = found->second;
        const int rowCount = static_cast<int>(glyph.cells.size());
        const int columnCount = rowCount > 0 ? static_cast<int>(glyph.cells[0].size()) : 0;
        for (int i = 0; i < rowCount; ++i) {
            for (int j = 0; j < columnCount; ++j) {
                if (cellAt(glyph, i, j) != 0) {
                    addCell(font->meshes[code], glyph, i, j, rowCount, columnCount, smoothDiagonals);
                }
            }
        }
    }
    return true;
}

void FontManager::drawGlyph(const std::string& fontName, int code, int x, int y, float scale, float r, float g,
                            float b, float a) {
    Font* font = findFont(fontName);
    if (font == nullptr || font->meshes.count(code) == 0) {
        return;
    }
    const auto glyph = font->glyphs.find(code);
    const int yOffset = glyph == font->glyphs.end() ? 0 : glyph->second.yOffset;
    Polygon copy = font->meshes[code];
    const float rows = static_cast<float>(font->rows);
    const float columns = static_cast<float>(font->columns);
    for (Vertex& v : copy.vertices) {
        v.x = (v.x - static_cast<float>(font->rows / 2)) * scale + rows * scale / 2 + static_cast<float>(x);
        v.y = (v.y - static_cast<float>(font->columns / 2)) * scale + columns * scale / 2 + static_cast<float>(y) +
              static_cast<float>(yOffset) * scale;
    }
    surfaceToDrawOn()->drawPolygonTriangles(copy, r, g, b, a);
}

bool FontManager::buildLetterTextures(const std::string& fontName, const std::string& suffix, float scale, float r,
                                      float g, float b, float a) {
    Font* font = findFont(fontName);
    if (font == nullptr || surface == nullptr) {
        return false;
    }
    if (textures == nullptr) {
        textures = new TextureManager();
        ownsTextures = true;
    }
    DrawSurface2D* target = surface;
    for (int code = 0; code <= 255; ++code) {
        if (font->meshes.count(code) == 0) {
            continue;
        }
        const int w = nextPowerOfTwo(static_cast<int>(static_cast<float>(font->rows) * (scale + 1)));
        const int h = nextPowerOfTwo(static_cast<int>(static_cast<float>(font->columns) * (scale + 1)));
        const std::string name = letterTextureName(fontName, code, suffix);
        const GLuint texture = textures->createBlankTexture(name, static_cast<uint32_t>(w), static_cast<uint32_t>(h));
        if (texture == 0) {
            continue;  // no room to draw into (scale too small or too large)
        }
        const auto glyph = font->glyphs.find(code);
        const int yOffset = glyph == font->glyphs.end() ? 0 : glyph->second.yOffset;
        target->beginTarget(0, 0, w, h, texture, 0, 0, 0, 0);
        drawGlyph(fontName, code, 0, static_cast<int>(static_cast<float>(-yOffset) * scale), scale, r, g, b, a);
        textures->addSubTexture(name, "letter", 0, 0, static_cast<int>(static_cast<float>(font->columns) * 2 * scale),
                                static_cast<int>(static_cast<float>(font->rows) * 2 * scale));
        target->endFrame();
        target->endTarget();
    }
    return true;
}

void FontManager::drawLetter(const std::string& fontName, const std::string& suffix, int code, int x, int y,
                             float scale, float r, float g, float b, float a) {
    Font* font = findFont(fontName);
    if (font == nullptr || font->meshes.count(code) == 0 || textures == nullptr) {
        return;
    }
    const auto glyph = font->glyphs.find(code);
    const float yOffset = glyph == font->glyphs.end() ? 0.0f : static_cast<float>(glyph->second.yOffset);
    const float top = static_cast<float>(y) + yOffset * scale;
    Quad quad;
    quad.setCorners(static_cast<float>(static_cast<int>(static_cast<float>(x))),
                    static_cast<float>(static_cast<int>(top)), 0.0f,
                    static_cast<float>(static_cast<int>(static_cast<float>(x) + font->rows * 2 * scale)),
                    static_cast<float>(static_cast<int>(top + font->columns * 2 * scale)), 0.0f);
    quad.depth = 1.0f;
    TextureEntry* entry = textures->getEntry(letterTextureName(fontName, code, suffix));
    if (entry == nullptr) {
        return;
    }
    quad.texture = entry->info.glName;
    if (const SubTexture* letter = textures->getSubTexture(entry, "letter")) {
        quad.texLeft = letter->texLeft;
        quad.texTop = letter->texTop;
        quad.texWidth = letter->texWidth;
        quad.texHeight = letter->texHeight;
    }
    surfaceToDrawOn()->drawQuad(quad, r, g, b, a, true);
}

void drawTextLine(FontManager& fonts, const std::string& text, int x, int y, float r, float g, float b) {
    for (char c : text) {
        fonts.drawGlyphPoints("font", static_cast<signed char>(c), x, y, r, g, b, 1.0f);
        x += kTextAdvance;
    }
}
