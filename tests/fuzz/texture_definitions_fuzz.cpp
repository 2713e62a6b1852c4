// The input read as a texture-definition file. Checks: every entry it makes
// has a name, and what was loaded survives a save and a load unchanged.
#include <algorithm>
#include <numeric>
#include <vector>

#include "harness.h"
#include "tests/support/gl_window.h"
#include "textures/texture_manager.h"

namespace {

// The manager never deletes a GL texture, also not one it replaces when a name
// is loaded again; the fuzz run deletes every name handed out so far.
void releaseTextures() {
    static GLuint released = 0;
    GLuint last = 0;
    glGenTextures(1, &last);
    std::vector<GLuint> names(last > released ? last - released : 0);
    std::iota(names.begin(), names.end(), released + 1);
    glDeleteTextures(static_cast<GLsizei>(names.size()), names.data());
    glFinish();  // the driver frees deleted textures once its queued work is done
    released = std::max(released, last);
}

void requireSame(TextureManager& a, TextureManager& b) {
    for (int i = 0;; ++i) {
        const TextureEntry* x = a.getEntryAt(i);
        const TextureEntry* y = b.getEntryAt(i);
        require((x == nullptr) == (y == nullptr));
        if (x == nullptr) return;
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
    TextureManager loaded, again;
    loaded.loadDefinitions(path);
    if (loaded.saveDefinitions(path + ".saved")) again.loadDefinitions(path + ".saved");
    requireSame(loaded, again);
    releaseTextures();
    return 0;
}
