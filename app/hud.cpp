// The heads-up line: star counts, match time, and energies or the capture rate.

#include "app/hud.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "app/game.h"
#include "app/options_panel.h"
#include "app/overlay_layout.h"
#include "base/text.h"
#include "render/pixel_view.h"

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

// Before the world, as the arena's lines may cross it; in pixels, so it stays crisp.
void Game::drawHud() {
    const PixelView pixels(window.drawnSize().width, window.drawnSize().height);
    const OverlayPoint origin = overlayLayout(window.drawnSize().width, window.drawnSize().height).topLeft;
    glTranslatef(origin.x + 0.5f, origin.y + 0.5f, 0);  // a point at a pixel's centre lights that pixel
    glBegin(GL_POINTS);
    drawHudLine(fonts, hudValues());
    glEnd();
}

namespace {

// Texts laid out from a group's origin, moved to the window's pixels.
std::vector<HudText> placed(std::vector<HudText> texts, OverlayPoint origin) {
    for (HudText& text : texts) {
        text.x += origin.x;
        text.y += origin.y;
    }
    return texts;
}

OverlayBox textBox(const HudText& text) {
    return {text.x, text.y, text.x + kTextAdvance * text.scale * static_cast<int>(text.text.size()),
            text.y + kLineHeight * text.scale};
}

// Around every text of the group, with a margin, and at least `minWidth` wide about its middle.
OverlayBox around(const std::vector<HudText>& texts, int margin, int minWidth = 0) {
    OverlayBox box = textBox(texts.front());
    for (const HudText& text : texts) {
        const OverlayBox one = textBox(text);
        box = {std::min(box.left, one.left), std::min(box.top, one.top), std::max(box.right, one.right),
               std::max(box.bottom, one.bottom)};
    }
    const int widen = std::max(0, minWidth - (box.right - box.left)) / 2;
    return {box.left - margin - widen, box.top - margin, box.right + margin + widen, box.bottom + margin};
}

}  // namespace

std::vector<OverlayGroup> Game::overlayGroups() {
    const OverlayLayout layout = overlayLayout(window.drawnSize().width, window.drawnSize().height);
    std::vector<OverlayGroup> groups;
    OverlayGroup statusRows{placed(status.current(now()), layout.topLeft), {}};
    for (const HudText& row : statusRows.texts) {
        const OverlayBox box = textBox(row);  // each row on its own strip
        statusRows.shades.push_back({layout.topLeft.x - 5, box.top - 3, box.right + 3, box.bottom + 3});
    }
    groups.push_back(statusRows);
    if (options.isOpen()) {  // over everything in the middle
        OverlayGroup panel{placed(optionsPanel(options.rows(), options.selected(), optionsNotice(),
                                               options.waitingForInput()),
                                  layout.panel),
                           {}};
        panel.shades.push_back(around(panel.texts, 10));
        groups.push_back(panel);
        return groups;
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
        OverlayGroup banner{placed(resultBanner(result), layout.panel), {}};
        banner.shades.push_back(around(banner.texts, 15, 480));
        groups.push_back(banner);
    }
    if (showKeys) {
        OverlayGroup panel{placed(keyPanel(settings.keys), layout.panel), {}};
        panel.shades.push_back(around(panel.texts, 15));
        groups.push_back(panel);
    } else if (now() < kHintMs) {
        groups.push_back({placed({keysHint()}, layout.bottomLeft), {}});
    }
    if (prompt.isOpen()) {
        PromptList list;
        for (size_t i = 0; i < prompt.games().size(); ++i) list.games.push_back(prompt.gameLine(i, kStatusChars - 4));
        list.chosen = prompt.chosenGame();
        list.note = lanGames.isOpen() ? kNoGamesHeardText : kGamesUnlistedText;
        OverlayGroup rows{placed(promptRows(prompt.line(kStatusChars - 4), prompt.refusal(), list), layout.panel), {}};
        rows.shades.push_back(around(rows.texts, 15));
        groups.push_back(rows);
    }
    return groups;
}

std::vector<HudText> Game::overlayTexts() {
    std::vector<HudText> texts;
    for (const OverlayGroup& group : overlayGroups()) {
        texts.insert(texts.end(), group.texts.begin(), group.texts.end());
    }
    return texts;
}

namespace {

// A dark backing so text over the arena stays readable.
void drawShade(const OverlayBox& box) {
    glColor4f(0, 0, 0, 0.75f);
    glBegin(GL_QUADS);
    glVertex3f(box.left, box.top, 0);
    glVertex3f(box.right, box.top, 0);
    glVertex3f(box.right, box.bottom, 0);
    glVertex3f(box.left, box.bottom, 0);
    glEnd();
}

// One glyph cell is one square dot of `scale` pixels, on whole pixels.
void drawText(FontManager& fonts, const HudText& text) {
    const float centring = text.scale % 2 == 1 ? 0.5f : 0.0f;
    glPushMatrix();
    glTranslatef(text.x + centring, text.y + centring, 0);
    glScalef(text.scale, text.scale, 1);
    glPointSize(static_cast<float>(text.scale));
    glBegin(GL_POINTS);
    drawTextLine(fonts, text.text, 0, 0, text.r, text.g, text.b);
    glEnd();
    glPopMatrix();
}

}  // namespace

// Drawn after the world, so that neither the arena nor a ship hides it.
void Game::drawOverlay() {
    const std::vector<OverlayGroup> groups = overlayGroups();
    const PixelView pixels(window.drawnSize().width, window.drawnSize().height);
    for (const OverlayGroup& group : groups) {
        for (const OverlayBox& shade : group.shades) {
            drawShade(shade);
        }
        for (const HudText& text : group.texts) {
            drawText(fonts, text);
        }
    }
}
