// The input read as an image file into a texture, the way the ship images are
// loaded. Checks: a loaded texture has a GL name and sides the loader allows; a
// refused file leaves no GL name behind.
#include "harness.h"
#include "tests/support/gl_window.h"
#include "textures/image_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool window = openTestWindow();
    require(window);
    TextureInfo info{};
    if (!loadImageIntoTexture(writeInputFile(data, size, ".png"), info, false)) {
        require(info.glName == 0);
        return 0;
    }
    GLint most = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &most);
    require(info.glName != 0 && info.width >= 1 && info.width <= most && info.height >= 1 && info.height <= most);
    glDeleteTextures(1, &info.glName);  // the game keeps its textures; a fuzz run must not
    glFinish();
    return 0;
}
