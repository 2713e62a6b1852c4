#pragma once
// The game's window: opened at a size or full screen, resized as the player
// drags it, and switched to and from full screen at the desktop's own size
// (never changing the display's mode). SDL 1.2 may bring a new OpenGL context
// with any new video mode (sdl12-compat can, the classic X11 build keeps it),
// so after each one the 3-D state is set again and the textures are made
// again when they went with the old context. The records a surface replays
// and the font are plain memory and survive any context.

#include <cstdint>
#include <string>

#include "window/window_place.h"

class DrawSurface3D;
class TextureManager;

struct WindowSize {
    int width = 0;
    int height = 0;
};

inline bool operator==(WindowSize a, WindowSize b) { return a.width == b.width && a.height == b.height; }
inline bool operator!=(WindowSize a, WindowSize b) { return !(a == b); }

constexpr WindowSize kFirstWindowSize{800, 600};
constexpr WindowSize kSmallestWindowSize{640, 480};

class GameWindow {
public:
    GameWindow(DrawSurface3D& scene, TextureManager& textures);

    // Starts SDL's video, reads the desktop's size, then opens the window at
    // `windowed` (brought within the smallest window and the desktop) or full
    // screen. A refused full screen opens the window instead, saying so. False
    // after printing why when no window opens at all.
    bool open(WindowSize windowed, bool fullScreen);
    // Each false when the display refused: one line on standard error, and the
    // window as it was (or, should even that be refused, lost()).
    bool setFullScreen(bool on);
    bool resize(WindowSize wanted);

    bool isFullScreen() const { return fullScreen; }
    bool lost() const { return windowLost; }  // no window to draw in any more
    WindowSize drawnSize() const;             // what is drawn now
    WindowSize windowedSize() const { return windowed; }  // the size away from full screen
    WindowSize desktopSize() const { return desktop; }

private:
    bool setMode(WindowSize size, bool full);
    bool fullScreenAllowed() const;  // false with SDL's error set when the desktop's size is unknown
    bool refused(const char* what, WindowSize size, const std::string& outcome);
    WindowSize fitted(WindowSize wanted) const;
    void coverScreen();
    void returnToPlace();

    DrawSurface3D& scene;
    TextureManager& textures;
    WindowSize desktop;
    WindowSize windowed = kFirstWindowSize;
    bool fullScreen = false;
    bool windowLost = false;
    WindowPlace place;  // where the window was before full screen
    bool placeKnown = false;
};
