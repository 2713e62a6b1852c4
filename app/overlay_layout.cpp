#include "app/overlay_layout.h"

#include <algorithm>

namespace {

// The margin of the left-hand texts in a window with room for it; in the
// smallest window the heads-up line needs all of its width, and starts where
// the first glyph's blank columns meet the edge.
constexpr int kMargin = 16;
constexpr int kTightest = -3;
constexpr int kHintHeight = 30;

}  // namespace

OverlayLayout overlayLayout(int width, int height) {
    OverlayLayout layout;
    const int left = std::clamp((width - kPanelWidth) / 2 + kTightest, kTightest, kMargin);
    layout.topLeft = {left, 0};
    layout.panel = {std::max(0, (width - kPanelWidth) / 2), std::max(0, (height - kPanelHeight) / 2)};
    layout.bottomLeft = {left, height - kHintHeight};
    return layout;
}
