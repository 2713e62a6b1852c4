#pragma once
// Drawing in window pixels over the 3-D picture, for text that must stay crisp
// at any size of the window: while a PixelView lives, the origin is the
// window's top-left corner, y grows downwards, one unit is one pixel, and
// nothing is depth-tested or textured; blending follows alpha. The projection,
// the model-view matrix and the switches are restored when it ends.

class PixelView {
public:
    PixelView(int width, int height);
    ~PixelView();
    PixelView(const PixelView&) = delete;
    PixelView& operator=(const PixelView&) = delete;
};
