// The heads-up line: star counts, match time, and energies or the capture rate.

#include "app/hud.h"

#include <GL/gl.h>

#include <cmath>

#include "app/game.h"
#include "app/text.h"

namespace {

constexpr int kHudY = 10;

}  // namespace

void drawHudLine(FontManager& fonts, const HudValues& values) {
    drawTextLine(fonts, toText(values.ownStars), 0, kHudY, 0, 1, 0);
    drawTextLine(fonts, "/", 34, kHudY, 1, 1, 1);
    drawTextLine(fonts, toText(values.opponentStars), 51, kHudY, 1, 0, 0);

    const int32_t t = values.matchTime;
    const float seconds = static_cast<float>(t / 100) / 10.0f;
    drawTextLine(fonts, toText(seconds), 289, kHudY, 1, values.matchOver ? 0 : 1, 0);

    if (values.connected) {
        drawTextLine(fonts, toText(values.ownEnergy), 510, kHudY, 0, 1, 0);
        drawTextLine(fonts, "/", 578, kHudY, 1, 1, 1);
        drawTextLine(fonts, toText(values.opponentEnergy), 595, kHudY, 0, 0, 1);
    } else if (!values.networking && t > 0) {
        const double perMinute = values.ownStars / (t / 1000.0) * 60.0;
        const float rate = static_cast<float>(std::trunc(perMinute * 100.0) / 100.0);
        drawTextLine(fonts, toText(rate), 510, kHudY, 1, 1, 1);
    }
}

HudValues Game::hudValues() {
    HudValues values;
    values.ownStars = local.ownStars();
    values.opponentStars = local.opponentStars();
    values.matchTime = local.matchTime();
    values.matchOver = local.isMatchOver();
    values.connected = connection.peerCount() > 0;
    values.networking = connection.isServer() || connection.isClient();
    values.ownEnergy = local.ownEnergy();
    values.opponentEnergy = local.opponentEnergy();
    return values;
}

void Game::drawHud() {
    glLoadIdentity();
    hudCamera.applyAsView();
    glDisable(GL_TEXTURE_2D);  // a texture left bound would tint the points, or hide them by alpha
    glBegin(GL_POINTS);
    drawHudLine(fonts, hudValues());
    glEnd();
}
