#include "tests/support/gl_window.h"

#include <SDL.h>

#include <cstdio>

bool openTestWindow() {
    static bool open = false;
    if (open) return true;
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        std::fprintf(stderr, "test window: %s\n", SDL_GetError());
        return false;
    }
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    if (SDL_SetVideoMode(800, 600, 32, SDL_OPENGL) == nullptr) {
        std::fprintf(stderr, "test window: %s\n", SDL_GetError());
        return false;
    }
    open = true;
    return true;
}
