#include "window/game_window.h"

#include <SDL.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>

#include "render/draw_surface.h"
#include "textures/texture_manager.h"
#include "window/window_place.h"

namespace {

constexpr uint32_t kWindowFlags = SDL_OPENGL | SDL_ANYFORMAT | SDL_RESIZABLE;
constexpr uint32_t kFullScreenFlags = SDL_OPENGL | SDL_ANYFORMAT | SDL_FULLSCREEN;

// The desktop's size as SDL tells it before the first video mode is set, or
// else the largest full-screen mode it lists; nothing when it names neither.
// Read once: after a video mode SDL tells that mode's size instead.
WindowSize readDesktopSize() {
    const SDL_VideoInfo* info = SDL_GetVideoInfo();
    if (info != nullptr && info->current_w > 0 && info->current_h > 0) {
        return {info->current_w, info->current_h};
    }
    SDL_Rect** modes = SDL_ListModes(nullptr, kFullScreenFlags);
    if (modes != nullptr && modes != reinterpret_cast<SDL_Rect**>(-1) && modes[0] != nullptr) {
        return {modes[0]->w, modes[0]->h};
    }
    return {};
}

const char* const kStaying = "the window stays as it was";

std::string sizeText(WindowSize size) { return std::to_string(size.width) + "x" + std::to_string(size.height); }

}  // namespace

GameWindow::GameWindow(DrawSurface3D& sceneSurface, TextureManager& textureManager)
    : scene(sceneSurface), textures(textureManager) {}

WindowSize GameWindow::drawnSize() const { return {scene.getWidth(), scene.getHeight()}; }

// At least the smallest window, and no larger than the desktop when its size is known.
WindowSize GameWindow::fitted(WindowSize wanted) const {
    const WindowSize& least = kSmallestWindowSize;
    const int widest = desktop.width > 0 ? std::max(desktop.width, least.width) : INT_MAX;
    const int tallest = desktop.height > 0 ? std::max(desktop.height, least.height) : INT_MAX;
    return {std::clamp(wanted.width, least.width, widest), std::clamp(wanted.height, least.height, tallest)};
}

bool GameWindow::open(WindowSize wanted, bool full) {
    if (!DrawSurface::startVideoSubsystem()) {
        return false;
    }
    static const WindowSize desktopOfThisRun = readDesktopSize();
    desktop = desktopOfThisRun;
    windowed = fitted(wanted);
    if (full) {
        DrawSurface::setGlAttributes();
        if (fullScreenAllowed() && scene.changeVideoMode(desktop.width, desktop.height, kFullScreenFlags)) {
            fullScreen = true;
            coverScreen();
            return true;
        }
        refused("full screen at", desktop, "opening the window at " + sizeText(windowed));
    }
    scene.setResolution(windowed.width, windowed.height);
    scene.setVideoFlags(kWindowFlags);
    return scene.initialise();  // prints why it failed
}

bool GameWindow::setFullScreen(bool on) {
    if (on == fullScreen || windowLost) {
        return !windowLost;
    }
    if (!on) {
        if (!setMode(windowed, false)) {
            return false;
        }
        returnToPlace();
        return true;
    }
    if (!fullScreenAllowed()) {
        return refused("full screen at", desktop, kStaying);
    }
    placeKnown = readWindowPlace(false, place);
    if (!setMode(desktop, true)) {
        return false;
    }
    coverScreen();
    return true;
}

// Where no window manager places a full screen (sdl12-compat's is sized but not moved).
void GameWindow::coverScreen() {
    WindowPlace at;
    if (readWindowPlace(true, at) && (at.x != 0 || at.y != 0)) {
        moveWindowTo(true, WindowPlace{});
    }
}

void GameWindow::returnToPlace() {
    WindowPlace at;
    if (placeKnown && readWindowPlace(false, at) && (at.x != place.x || at.y != place.y)) {
        moveWindowTo(false, place);
    }
}

bool GameWindow::resize(WindowSize wanted) {
    if (fullScreen || windowLost) {
        return !windowLost;  // a full screen keeps the desktop's size
    }
    const WindowSize target = fitted(wanted);
    if (target == drawnSize()) {
        return true;
    }
    if (!setMode(target, false)) {
        return false;
    }
    windowed = drawnSize();
    return true;
}

// A refused mode may have taken the window with it; then the one before is set again.
bool GameWindow::setMode(WindowSize target, bool full) {
    const WindowSize before = drawnSize();
    const uint32_t beforeFlags = scene.getVideoFlags();
    if (scene.changeVideoMode(target.width, target.height, full ? kFullScreenFlags : kWindowFlags)) {
        fullScreen = full;
        textures.remakeAfterNewContext();
        return true;
    }
    refused(full ? "full screen at" : "window size", target, kStaying);
    if (SDL_GetVideoSurface() == nullptr) {
        if (!scene.changeVideoMode(before.width, before.height, beforeFlags)) {
            std::fprintf(stderr, "Video mode set failed: %s\n", SDL_GetError());
            windowLost = true;
            return false;
        }
        textures.remakeAfterNewContext();
    }
    return false;
}

bool GameWindow::fullScreenAllowed() const {
    if (desktop.width <= 0 || desktop.height <= 0) {
        SDL_SetError("the desktop's size is not known");
        return false;
    }
    return true;
}

bool GameWindow::refused(const char* what, WindowSize target, const std::string& outcome) {
    std::fprintf(stderr, "starhold: %s %s refused (%s); %s\n", what, sizeText(target).c_str(), SDL_GetError(),
                 outcome.c_str());
    return false;
}
