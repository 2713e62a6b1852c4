// The heads-up line: star counts, match time, and energies or the capture rate.

#include "app/hud.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "app/game.h"
#include "app/options_panel.h"
#include "base/text.h"
#include "render/frame_gl.h"

namespace {

constexpr int kHudY = 10;
constexpr int kAdvance = 17;  // every character advances this far

// Lays the line out from the left: each text at its usual place, or further
// right when the text before it (a long count, say) reaches past that place.
class HudRow {
public:
    explicit HudRow(FontManager& font) : fonts(font) {}
    void put(const std::string& text, int x, int gap, float r, float g, float b) {
        x = std::max(x, end + gap);
        drawTextLine(fonts, text, x, kHudY, r, g, b);
        end = x + kAdvance * static_cast<int>(text.size());
    }

private:
    FontManager& fonts;
    int end = 0;
};

}  // namespace

void drawHudLine(FontManager& fonts, const HudValues& values) {
    HudRow row(fonts);
    row.put(toText(values.ownStars), 0, 0, 0, 1, 0);
    row.put("/", 34, 0, 1, 1, 1);
    row.put(toText(values.opponentStars), 51, 0, 1, 0, 0);

    const int32_t t = values.matchTime;
    const float seconds = static_cast<float>(t / 100) / 10.0f;
    row.put(toText(seconds), 289, kAdvance, 1, values.matchOver ? 0 : 1, 0);

    if (values.connected) {
        row.put(toText(values.ownEnergy), 510, kAdvance, 0, 1, 0);
        row.put("/", 578, kAdvance, 1, 1, 1);
        row.put(toText(values.opponentEnergy), 595, 0, 0, 0, 1);
    } else if (!values.networking && t > 0) {
        const double perMinute = values.ownStars / (t / 1000.0) * 60.0;
        const float rate = static_cast<float>(std::trunc(perMinute * 100.0) / 100.0);
        row.put(toText(rate), 510, kAdvance, 1, 1, 1);
    }
}

HudValues Game::hudValues() {
    const PlayerState& local = match.localPlayer();
    const Connection& connection = match.network();
    HudValues values;
    values.ownStars = local.ownStars();
    values.opponentStars = local.opponentStars();
    values.matchTime = match.localPlayer().matchTime();
    values.matchOver = local.isMatchOver();
    values.connected = match.connected();
    values.networking = connection.isServer() || connection.isClient();
    values.ownEnergy = local.ownEnergy();
    values.opponentEnergy = local.opponentEnergy();
    return values;
}

void Game::drawHud() {
    glLoadIdentity();
    applyAsView(hudCamera);
    glDisable(GL_TEXTURE_2D);  // a texture left bound would tint the points, or hide them by alpha
    glBegin(GL_POINTS);
    drawHudLine(fonts, hudValues());
    glEnd();
}

std::vector<HudText> Game::overlayTexts() {
    std::vector<HudText> texts = status.current(now());
    if (options.isOpen()) {  // over everything in the middle
        const std::vector<HudText> panel =
            optionsPanel(options.rows(), options.selected(), optionsNotice(), options.waitingForInput());
        texts.insert(texts.end(), panel.begin(), panel.end());
        return texts;
    }
    const PlayerState& local = match.localPlayer();
    if (local.isMatchOver() && !showKeys) {  // the key panel covers the middle
        MatchResult result;
        result.ownEnergy = local.ownEnergy();
        result.opponentEnergy = local.opponentEnergy();
        result.versus = result.ownEnergy <= 0 || result.opponentEnergy <= 0;
        result.matchMs = local.matchTime();
        result.hostStartsNext = match.joinedToHost();
        result.newMatchKey = shownKeyName(settings.keys.key(Action::NewMatch));
        result.bestMs = trialBestMs;
        result.newBest = trialNewBest;
        const std::vector<HudText> banner = resultBanner(result);
        texts.insert(texts.end(), banner.begin(), banner.end());
    }
    if (showKeys) {
        const std::vector<HudText> panel = keyPanel(settings.keys);
        texts.insert(texts.end(), panel.begin(), panel.end());
    } else if (now() < kHintMs) {
        texts.push_back(keysHint());
    }
    if (prompt.isOpen()) {
        PromptList list;
        for (size_t i = 0; i < prompt.games().size(); ++i) list.games.push_back(prompt.gameLine(i, kStatusChars - 4));
        list.chosen = prompt.chosenGame();
        list.note = lanGames.isOpen() ? kNoGamesHeardText : kGamesUnlistedText;
        const std::vector<HudText> rows = promptRows(prompt.line(kStatusChars - 4), prompt.refusal(), list);
        promptBottom = rows.back().y + 22;
        texts.insert(texts.end(), rows.begin(), rows.end());
    }
    return texts;
}

namespace {

// A dark backing so text over the arena stays readable.
void drawShade(int left, int top, int right, int bottom) {
    glColor4f(0, 0, 0, 0.75f);
    glBegin(GL_QUADS);
    glVertex3f(left, top, 0);
    glVertex3f(right, top, 0);
    glVertex3f(right, bottom, 0);
    glVertex3f(left, bottom, 0);
    glEnd();
}

}  // namespace

// Drawn after the world, so that neither the arena nor a ship hides it.
void Game::drawOverlay() {
    const std::vector<HudText> texts = overlayTexts();
    glLoadIdentity();
    applyAsView(hudCamera);
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (const HudText& text : texts) {
        if (text.y == kStatusY || text.y == kStatusY + kStatusRowHeight) {
            drawShade(-5, text.y - 3, text.x + 17 * static_cast<int>(text.text.size()) + 3, text.y + 19);
        }
    }
    if (options.isOpen()) {
        drawShade(0, kOptionsTop, 660, kOptionsBottom);
    } else if (prompt.isOpen()) {
        drawShade(25, kPromptY - 15, 660, promptBottom);
    } else if (showKeys) {
        drawShade(5, kKeyPanelTop, 630, kKeyPanelBottom);
    } else if (match.localPlayer().isMatchOver()) {
        int halfWidth = 240;  // the banner's rows, centred, with a margin
        int bottom = 280;
        for (const HudText& text : texts) {
            if (text.y >= kBannerTop && text.y < kBannerBottom) {
                halfWidth = std::max(halfWidth, kHudCentreX - text.x + 20);
                bottom = std::max(bottom, text.y + 30);
            }
        }
        drawShade(kHudCentreX - halfWidth, kBannerTop, kHudCentreX + halfWidth, bottom);
    }
    for (const HudText& text : texts) {
        glPushMatrix();
        glTranslatef(text.x, text.y, 0);
        glScalef(text.scale, text.scale, 1);
        glPointSize(1.2f * text.scale);  // one glyph cell stays one solid dot
        glBegin(GL_POINTS);
        drawTextLine(fonts, text.text, 0, 0, text.r, text.g, text.b);
        glEnd();
        glPopMatrix();
    }
    glPointSize(1);
    glPopAttrib();
}
