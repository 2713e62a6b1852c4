// The input read as a font file. Checks: a refused file registers nothing; an
// accepted one holds a grid of 1 to 64 cells a side (the README's limit), glyph
// codes of a signed char and full grids, and its meshes can be built.
#include <cstdlib>

#include "fuzz_file.h"
#include "render/font.h"

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void checkFont(const Font& font) {
    require(font.rows >= 1 && font.rows <= 64);
    require(font.columns >= 1 && font.columns <= 64);
    for (const auto& [code, glyph] : font.glyphs) {
        require(code >= -128 && code <= 127);
        require(glyph.cells.size() == static_cast<size_t>(font.rows));
        for (const auto& row : glyph.cells) {
            require(row.size() == static_cast<size_t>(font.columns));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = writeInputFile(data, size, ".fnt");
    FontManager fonts;
    const bool loaded = fonts.loadFont(path, "font");
    require(loaded == (fonts.getFont("font") != nullptr));
    require(fonts.buildGlyphMeshes("font", true) == loaded);
    if (loaded) {
        checkFont(*fonts.getFont("font"));
    }
    return 0;
}
