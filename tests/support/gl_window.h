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

// Sets a video mode without OpenGL, then the test window's again: the GL
// context is a new one, as any new video mode may bring. The textures of the
// old context are gone.
inline bool renewTestWindow() {
    return SDL_SetVideoMode(800, 600, 32, 0) != nullptr && SDL_SetVideoMode(800, 600, 32, SDL_OPENGL) != nullptr;
}
