#pragma once
// Where the texts over the world go in a window of a given size. Texts keep
// their size in pixels at any size of the window, so they stay crisp: the
// heads-up and status lines hang from the top-left corner, the hint stands at
// the bottom left, and what the player reads in the middle (the result banner,
// the key panel, the join prompt) is laid out on a panel the size of the
// smallest window, centred on the window and so on the ship.

struct OverlayPoint {
    int x = 0;
    int y = 0;
};

// A rectangle in pixels, right and bottom edges outside it.
struct OverlayBox {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

constexpr int kLineHeight = 16;  // a row of text at scale 1, in pixels

// The smallest window the game opens, and the panel's size.
constexpr int kPanelWidth = 640;
constexpr int kPanelHeight = 480;

// Each a group's origin, in pixels from the window's top-left corner.
struct OverlayLayout {
    OverlayPoint topLeft;     // the heads-up line and the status line
    OverlayPoint panel;       // the centred panel's top-left corner
    OverlayPoint bottomLeft;  // the hint, standing on the bottom edge
};

OverlayLayout overlayLayout(int width, int height);
