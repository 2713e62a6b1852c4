// The input read as a texture-definition file. Checks: every entry it makes
// has a name, and what was loaded survives a save and a load unchanged.
#include <cstdlib>
#include <vector>

#include "fuzz_file.h"
#include "tests/support/gl_window.h"
#include "textures/texture_manager.h"

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The manager keeps its GL textures for good; the fuzz run frees them.
void release(TextureManager& textures) {
    for (TextureEntry* entry; (entry = textures.getEntryAt(0)) != nullptr;) {
        glDeleteTextures(1, &entry->info.glName);
        textures.removeTexture(0);
    }
}

void requireSame(TextureManager& a, TextureManager& b) {
    for (int i = 0;; ++i) {
        TextureEntry* x = a.getEntryAt(i);
        TextureEntry* y = b.getEntryAt(i);
        require((x == nullptr) == (y == nullptr));
        if (x == nullptr) {
            return;
        }
        require(!x->name.empty() && x->name == y->name && x->file == y->file);
        require(x->subTextures.size() == y->subTextures.size());
        for (auto s = x->subTextures.begin(), t = y->subTextures.begin(); s != x->subTextures.end(); ++s, ++t) {
            require(s->first == t->first && s->second.leftX == t->second.leftX && s->second.topY == t->second.topY &&
                    s->second.width == t->second.width && s->second.height == t->second.height);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool window = openTestWindow();
    require(window);
    const std::string path = writeInputFile(data, size, ".txt");
    TextureManager loaded;
    loaded.loadDefinitions(path);
    TextureManager again;
    const std::string saved = path + ".saved";
    if (loaded.saveDefinitions(saved)) {
        again.loadDefinitions(saved);
    }
    requireSame(loaded, again);
    release(loaded);
    release(again);
    return 0;
}
