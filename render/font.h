#pragma once
// Bitmap fonts: glyphs made of a grid of cells, read from a text file of
// numbers. The heads-up text draws each filled cell as one GL point; glyphs can
// also become triangle meshes (with smoothed diagonals), be drawn scaled
// through a 2-D surface, or be pre-rendered into one texture per glyph.
//
// File: rows columns, then per glyph: code extraValue yOffset and rows x columns
// cell values (0 empty; 6, 7, 8, 9 also ask for a diagonal bridge up-left,
// down-right, up-right, down-left). Codes are signed 8-bit characters.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "render/primitives.h"

class DrawSurface2D;
class TextureManager;

// Limits that keep a malformed or hostile font file small.
constexpr int kMaxFontGridSide = 64;
constexpr int kMinGlyphCode = -128;
constexpr int kMaxGlyphCode = 127;

struct Glyph {
    std::vector<std::vector<int16_t>> cells;  // rows of cells; 0 = empty
    int yOffset = 0;                          // vertical shift, in cells
    int extraValue = 0;                       // kept from the file, unused
};

struct Font {
    std::map<int, Glyph> glyphs;
    std::map<int, Polygon> meshes;  // made by buildGlyphMeshes
    int rows = 0;
    int columns = 0;
};

class FontManager {
public:
    FontManager() = default;
    ~FontManager();
    FontManager(const FontManager&) = delete;
    FontManager& operator=(const FontManager&) = delete;

    // Not owned; replaces (and deletes) a surface or manager made by the font itself.
    void setSurface(DrawSurface2D* newSurface);
    void setTextureManager(TextureManager* manager);

    // False when the name is taken, the file cannot be opened or its grid size is
    // not 1..kMaxFontGridSide; reading stops quietly at the first bad number, and
    // glyphs whose codes lie outside kMinGlyphCode..kMaxGlyphCode are skipped.
    bool loadFont(const std::string& fileName, const std::string& fontName);

    // glColor4f and glVertex3f per filled cell, one unit apart; the caller holds GL_POINTS open.
    void drawGlyphPoints(const std::string& fontName, int code, int x, int y, float r, float g, float b, float a);

    bool buildGlyphMeshes(const std::string& fontName, bool smoothDiagonals);
    void drawGlyph(const std::string& fontName, int code, int x, int y, float scale, float r, float g, float b,
                   float a);

    // One texture per meshed glyph, named font|code|suffix with a "letter" sub-texture.
    // False when the font is missing or no surface is set to draw the letters on.
    bool buildLetterTextures(const std::string& fontName, const std::string& suffix, float scale, float r, float g,
                             float b, float a);
    void drawLetter(const std::string& fontName, const std::string& suffix, int code, int x, int y, float scale,
                    float r, float g, float b, float a);

    const Font* getFont(const std::string& fontName) const;  // null when absent

private:
    Font* findFont(const std::string& fontName);
    DrawSurface2D* surfaceToDrawOn();
    static std::string letterTextureName(const std::string& fontName, int code, const std::string& suffix);

    std::map<std::string, Font> fonts;
    DrawSurface2D* surface = nullptr;
    TextureManager* textures = nullptr;
    bool ownsSurface = false;
    bool ownsTextures = false;
};

constexpr int kTextAdvance = 17;  // every character of a text line, a space included, advances this far

// The heads-up text: each character's glyph as points, kTextAdvance units apart, in the font "font".
void drawTextLine(FontManager& fonts, const std::string& text, int x, int y, float r, float g, float b);
