// The input read as an image file into a texture, the way the ship images are
// loaded. Checks: a loaded texture has a GL name and sides the loader allows; a
// refused file leaves no GL name behind.
#include <cstdlib>

#include "fuzz_file.h"
#include "tests/support/gl_window.h"
#include "textures/image_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool window = openTestWindow();
    if (!window) {
        std::abort();
    }
    const std::string path = writeInputFile(data, size, ".png");
    TextureInfo info{};
    if (loadImageIntoTexture(path, info, false)) {
        GLint most = 0;
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &most);
        const auto side = [most](int v) { return v >= 1 && v <= most; };
        if (info.glName == 0 || !side(info.width) || !side(info.height)) {
            std::abort();
        }
        glDeleteTextures(1, &info.glName);  // the game keeps its textures; a fuzz run must not
        glFinish();
    } else if (info.glName != 0) {
        std::abort();
    }
    return 0;
}
