#pragma once
// The heads-up line at the top of the window.

#include <cstdint>

class FontManager;

struct HudValues {
    int32_t ownStars = 0;
    int32_t opponentStars = 0;
    int32_t matchTime = 0;  // milliseconds
    bool matchOver = false;
    bool connected = false;   // a peer is there: the energies are shown
    bool networking = false;  // listening or connecting: no capture rate
    int32_t ownEnergy = 0;
    int32_t opponentEnergy = 0;
};

// The star counts, the match time, and the energies or the capture rate, as
// glyph points; the caller holds GL_POINTS open under the heads-up camera.
void drawHudLine(FontManager& fonts, const HudValues& values);
