// The heads-up line as the player reads it: texts, positions and colours, drawn
// through stand-ins for OpenGL's colour and vertex calls with a font whose glyph
// for each character is one point on its own row, so the points spell the text back.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <fstream>
#include <vector>

#include "app/hud.h"
#include "app/status_line.h"
#include "base/text.h"
#include "render/font.h"

namespace {

constexpr int kFirstCode = 32;  // ' ' .. '_': every character the line uses

struct Point {
    std::string colour;  // "(r,g,b)"
    int x, y;
};
std::vector<Point> points;
std::string colour;

}  // namespace

extern "C" {
void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat) {
    colour = "(" + toText(r) + "," + toText(g) + "," + toText(b) + ")";
}
void glVertex3f(GLfloat x, GLfloat y, GLfloat) { points.push_back({colour, int(x), int(y)}); }
}

namespace {

// Runs of text as "x(r,g,b)text", one per colour or gap.
std::string line(FontManager& fonts, const HudValues& values) {
    points.clear();
    drawHudLine(fonts, values);
    std::string text, last;
    int lastX = -100;
    for (const Point& p : points) {
        if (p.colour != last || p.x != lastX + 17) text += (text.empty() ? "" : " ") + toText(p.x) + p.colour;
        text += char(p.y - 10 + kFirstCode);
        last = p.colour;
        lastX = p.x;
    }
    return text;
}

}  // namespace

TEST(Hud, ShowsCountsTimeAndEnergiesOrTheRateAndLongCountsPushWhatFollowsRight) {
    const std::string path = testing::TempDir() + "/hud.fnt";
    std::ofstream file(path);
    file << "64 1\n";
    for (int code = kFirstCode; code < kFirstCode + 64; ++code) {
        file << code << " 0 0";
        for (int row = 0; row < 64; ++row) file << (row == code - kFirstCode ? " 1" : " 0");
        file << "\n";
    }
    file.close();
    FontManager fonts;
    ASSERT_TRUE(fonts.loadFont(path, "font"));

    const std::string counts = "0(0,1,0)12 34(1,1,1)/ 51(1,0,0)18 289";
    struct Case { HudValues values; const char* text; } const cases[] = {
        {{12, 18, 7549}, "(1,1,0)7.5 510(1,1,1)95.37"},            // solo: tenths cut, the rate in hundredths
        {{12, 18, 0}, "(1,1,0)0"},                                 // no time yet: no rate
        {{12, 18, 61234, true}, "(1,0,0)61.2 510(1,1,1)11.75"},   // over: the time turns red
        {{12, 18, 5000, false, false, true}, "(1,1,0)5"},         // listening alone: nothing at 510
        {{12, 18, 123456, false, true, true, 377, 420}, "(1,1,0)123.4 510(0,1,0)377 578(1,1,1)/ 595(0,0,1)420"},
    };
    for (const Case& c : cases) EXPECT_EQ(line(fonts, c.values), counts + c.text);
    // Long counts push what follows right instead of overlapping.
    EXPECT_EQ(line(fonts, {4095, 4095, 5000, false, false, true}), "0(0,1,0)4095 68(1,1,1)/ 85(1,0,0)4095 289(1,1,0)5");
    EXPECT_EQ(line(fonts, {123456789, 0, 5000, false, false, true}),
              "0(0,1,0)123456789 153(1,1,1)/ 170(1,0,0)0 289(1,1,0)5");
}

TEST(StatusLineRows, ATextTooLongForOneRowGoesOnTwo) {
    const std::pair<const char*, const char*> cases[] = {  // where a friend joins, and the rows
        {"192.168.1.20:1337", "listening on 192.168.1.20:1337|"},
        {"this machine only: 127.0.0.1:1337", "listening on this machine only:|127.0.0.1:1337|"},
        {"192.168.100.200:65535 (+2 more)", "listening on 192.168.100.200:65535|(+2 more)|"},
    };
    for (const auto& [address, expected] : cases) {
        StatusLine status;
        ConnectionView view;
        view.server = true;
        view.address = address;
        status.observe(view, 0);
        std::string rows;
        for (const HudText& t : status.current(0)) rows += t.text + "|";
        EXPECT_EQ(rows, expected);
    }
}

// Texts keep their size in pixels at every size of the window: the heads-up and
// status lines at the top left, the hint on the bottom edge, and the banner, key
// panel and prompt centred, inside the window and clear of the lines at the top.
TEST(OverlayLayout, KeepsEveryTextInsideTheWindowAndInItsPlaceAtAnySize) {
    const PromptList heard{std::vector<std::string>(8, std::string(32, 'W')), 0, ""};  // the most games listed
    std::vector<HudText> middle = resultBanner({true}), panel = keyPanel(KeyBindings()), prompt = promptRows("j", "why", heard);
    middle.insert(middle.end(), panel.begin(), panel.end());
    middle.insert(middle.end(), prompt.begin(), prompt.end());
    for (const auto& [width, height] : {std::pair(640, 480), {800, 600}, {1920, 1080}, {640, 1400}}) {
        const OverlayLayout layout = overlayLayout(width, height);
        const std::string at = toText(width) + "x" + toText(height);
        EXPECT_TRUE(layout.topLeft.x >= -3 && layout.topLeft.x <= 16 && layout.topLeft.y == 0) << at;
        EXPECT_LE(layout.topLeft.x + 595 + 3 * 17 - 4, width) << at;  // the line's last place: an energy of 500
        EXPECT_TRUE(layout.bottomLeft.x == layout.topLeft.x && layout.bottomLeft.y + kLineHeight < height &&
                    layout.bottomLeft.y + 40 > height) << at;
        EXPECT_TRUE(2 * layout.panel.x + kPanelWidth == width && 2 * layout.panel.y + kPanelHeight == height) << at;
        for (const HudText& t : middle) {
            const int x = layout.panel.x + t.x, y = layout.panel.y + t.y;
            EXPECT_TRUE(x >= 0 && x + 17 * t.scale * int(t.text.size()) <= width &&
                        y >= kStatusY + kStatusRowHeight + kLineHeight && y + kLineHeight * t.scale <= height)
                << at << " " << t.text;
        }
    }
}
