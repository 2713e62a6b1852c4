#include "app/application.h"

#include <SDL.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>

#include "app/data_folder.h"
#include "app/game.h"

namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value && value[0] != '\0';
}

// Without a display SDL would fall back to its text-mode drivers, fill the
// terminal with escape codes and still fail for want of OpenGL. So does a
// DISPLAY with no X server behind it, unless SDL is told to use X alone.
bool hasDisplay() {
    if (isSet("SDL_VIDEODRIVER")) {
        return true;
    }
    if (isSet("DISPLAY")) {
        setenv("SDL_VIDEODRIVER", "x11", 1);
        return true;
    }
    std::fprintf(stderr, "starhold needs a graphical session: neither DISPLAY nor SDL_VIDEODRIVER is set\n");
    return false;
}

// A software GL keeps the window's colour, depth and accumulation buffers in
// plain memory, several MiB each at a large size. Once one of them was freed,
// glibc would take the next from its heap and keep that memory after it is
// freed in turn, so every new window size would leave its buffers behind.
// Blocks of 1 MiB and more are mapped and given back whole instead.
void giveLargeBlocksBack() {
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
}

}  // namespace

int runStarhold(const char* argv0) {
    giveLargeBlocksBack();
    if (!hasDisplay() || !enterDataFolder(executablePath(argv0))) {
        return 1;
    }
    int status = 0;
    {
        Game game;
        if (!game.startUp() || !game.run()) {
            status = 1;
        }
    }
    SDL_Quit();
    return status;
}
