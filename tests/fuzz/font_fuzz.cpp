// The input read as a font file. Checks: a refused file registers nothing; an
// accepted one holds a grid of 1 to 64 cells a side (the README's limit), glyph
// codes of a signed char and full grids, and its meshes can be built.
#include "harness.h"
#include "render/font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FontManager fonts;
    const bool loaded = fonts.loadFont(writeInputFile(data, size, ".fnt"), "font");
    const Font* font = fonts.getFont("font");
    require(loaded == (font != nullptr));
    require(fonts.buildGlyphMeshes("font", true) == loaded);
    if (!loaded) return 0;
    require(font->rows >= 1 && font->rows <= 64 && font->columns >= 1 && font->columns <= 64);
    for (const auto& [code, glyph] : font->glyphs) {
        require(code >= -128 && code <= 127 && glyph.cells.size() == static_cast<size_t>(font->rows));
        for (const auto& row : glyph.cells) require(row.size() == static_cast<size_t>(font->columns));
    }
    return 0;
}
