// The heads-up line: star counts, match time, and energies or the capture rate.

#include <GL/gl.h>

#include <cmath>

#include "app/game.h"
#include "app/text.h"

namespace {

constexpr int kHudY = 10;

}  // namespace

void Game::drawHud() {
    glLoadIdentity();
    hudCamera.applyAsView();
    glDisable(GL_TEXTURE_2D);  // a texture left bound would tint the points, or hide them by alpha
    glBegin(GL_POINTS);

    drawTextLine(fonts, toText(local.ownStars()), 0, kHudY, 0, 1, 0);
    drawTextLine(fonts, "/", 34, kHudY, 1, 1, 1);
    drawTextLine(fonts, toText(local.opponentStars()), 51, kHudY, 1, 0, 0);

    const int32_t t = local.matchTime();
    const float seconds = static_cast<float>(t / 100) / 10.0f;
    if (local.isMatchOver()) {
        drawTextLine(fonts, toText(seconds), 289, kHudY, 1, 0, 0);
    } else {
        drawTextLine(fonts, toText(seconds), 289, kHudY, 1, 1, 0);
    }

    if (connection.peerCount() > 0) {
        drawTextLine(fonts, toText(local.ownEnergy()), 510, kHudY, 0, 1, 0);
        drawTextLine(fonts, "/", 578, kHudY, 1, 1, 1);
        drawTextLine(fonts, toText(local.opponentEnergy()), 595, kHudY, 0, 0, 1);
    } else if (!connection.isServer() && !connection.isClient() && t > 0) {
        const double perMinute = local.ownStars() / (t / 1000.0) * 60.0;
        const float rate = static_cast<float>(std::trunc(perMinute * 100.0) / 100.0);
        drawTextLine(fonts, toText(rate), 510, kHudY, 1, 1, 1);
    }

    glEnd();
}
