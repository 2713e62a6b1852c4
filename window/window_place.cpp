#include "window/window_place.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

namespace {

// The X window that shows the game, with SDL's display locked while it lives.
class ShownWindow {
public:
    explicit ShownWindow(bool fullScreen) {
        SDL_VERSION(&info.version);
        if (SDL_GetWMInfo(&info) <= 0 || info.subsystem != SDL_SYSWM_X11) {
            return;
        }
        const auto& x11 = info.info.x11;
        // The classic SDL 1.2 shows a full screen in a window of its own and
        // frames the window in another; sdl12-compat has the drawing window alone.
        const Window shown = fullScreen ? x11.fswindow : x11.wmwindow;
        window = shown != 0 ? shown : x11.window;
        x11.lock_func();
        locked = true;
    }
    ~ShownWindow() {
        if (locked) {
            info.info.x11.unlock_func();
        }
    }
    ShownWindow(const ShownWindow&) = delete;
    ShownWindow& operator=(const ShownWindow&) = delete;

    bool known() const { return locked && window != 0; }
    Display* display() const { return info.info.x11.display; }
    Window id() const { return window; }
    Window root() const { return DefaultRootWindow(display()); }

    // True when the window hangs straight from the root: no window manager frames it.
    bool unframed() const {
        Window rootWindow = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(display(), window, &rootWindow, &parent, &children, &count) == 0) {
            return false;
        }
        if (children != nullptr) {
            XFree(children);
        }
        return parent == rootWindow;
    }

private:
    SDL_SysWMinfo info{};
    Window window = 0;
    bool locked = false;
};

}  // namespace

bool readWindowPlace(bool fullScreen, WindowPlace& place) {
    const ShownWindow shown(fullScreen);
    Window child = 0;
    return shown.known() &&
           XTranslateCoordinates(shown.display(), shown.id(), shown.root(), 0, 0, &place.x, &place.y, &child) != 0;
}

bool moveWindowTo(bool fullScreen, const WindowPlace& place) {
    const ShownWindow shown(fullScreen);
    if (!shown.known() || !shown.unframed()) {
        return false;
    }
    XMoveWindow(shown.display(), shown.id(), place.x, place.y);
    XFlush(shown.display());
    return true;
}
