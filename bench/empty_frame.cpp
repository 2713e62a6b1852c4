// The floor under the bench's frame figures: a program that does nothing but
// what every frame of the game must, at the game's pace. It opens a window the
// way the game does (an OpenGL mode with the game's buffers, or full screen at
// the desktop's size), then clears it and swaps the buffers every 10 ms,
// sleeping in between, until the window is closed.
//
//     starhold-empty-frame [--full-screen]

#include <GL/gl.h>
#include <SDL.h>

#include <cstdio>
#include <cstring>

#include "render/draw_surface.h"

namespace {

constexpr Uint32 kFrameMs = 10;

bool closed() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const bool fullScreen = argc > 1 && std::strcmp(argv[1], "--full-screen") == 0;
    if (!DrawSurface::startVideoSubsystem()) {
        return 1;
    }
    const SDL_VideoInfo* desktop = SDL_GetVideoInfo();
    DrawSurface::setGlAttributes();
    const Uint32 flags = SDL_OPENGL | SDL_ANYFORMAT | (fullScreen ? SDL_FULLSCREEN : SDL_RESIZABLE);
    if (SDL_SetVideoMode(fullScreen ? desktop->current_w : 800, fullScreen ? desktop->current_h : 600, 32, flags) ==
        nullptr) {
        std::fprintf(stderr, "Video mode set failed: %s\n", SDL_GetError());
        return 1;
    }
    SDL_WM_SetCaption("starhold-empty-frame", "starhold-empty-frame");
    glClearColor(0, 0, 0, 0);
    for (Uint32 due = SDL_GetTicks(); !closed(); due += kFrameMs) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        SDL_GL_SwapBuffers();
        const Uint32 now = SDL_GetTicks();
        if (static_cast<int32_t>(due + kFrameMs - now) > 0) {
            SDL_Delay(due + kFrameMs - now);
        } else {
            due = now;  // behind: start counting again rather than rush
        }
    }
    SDL_Quit();
    return 0;
}
