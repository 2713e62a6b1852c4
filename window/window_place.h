#pragma once
// The window's place on the screen. SDL 1.2 has no call for it, so it is read
// and set through the X server SDL draws on; a window manager that frames the
// window keeps the place itself, and is left to it.

struct WindowPlace {
    int x = 0;
    int y = 0;
};

// Where the window's top-left corner is on the screen; false when that cannot
// be told (another video driver, or SDL gives no window).
bool readWindowPlace(bool fullScreen, WindowPlace& place);

// Moves the window there when nothing frames it; false when it cannot.
bool moveWindowTo(bool fullScreen, const WindowPlace& place);
