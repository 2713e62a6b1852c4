#pragma once
// One SDL OpenGL window shared by all tests of a program. Opened on first use;
// needs an X display (scripts/with-display.sh provides one).

#include <SDL.h>

#include <cstdio>

inline bool openTestWindow() {
    static const bool open = [] {
        const bool started = SDL_Init(SDL_INIT_VIDEO) == 0;
        if (started) SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
        if (!started || SDL_SetVideoMode(800, 600, 32, SDL_OPENGL) == nullptr) {
            std::fprintf(stderr, "test window: %s\n", SDL_GetError());
            return false;
        }
        return true;
    }();
    return open;
}

// Closes the test window and opens another, which comes with a new GL context:
// what any new video mode may do. The textures of the old context are gone.
inline bool reopenTestWindow() {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    const bool started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (started) SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    return started && SDL_SetVideoMode(800, 600, 32, SDL_OPENGL) != nullptr;
}
