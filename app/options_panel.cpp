#include "app/options_panel.h"

#include <algorithm>

namespace {

constexpr int kAdvance = 17;  // every character of a text line advances this far
constexpr int kLabelX = 15;
constexpr int kValueX = 450;  // room for the longest key name, "print screen", to the right edge
constexpr int kTitleY = 65;
constexpr int kFirstRowY = 140;  // the line above is kept for what the screen may say about the player's record
constexpr int kRowHeight = 26;
constexpr int kNoticeY = kFirstRowY + static_cast<int>(kOptionsRowsShown) * kRowHeight + 10;
constexpr int kKeysY = kOptionsBottom - 30;
constexpr size_t kNoticeChars = 38;

HudText text(const std::string& shown, int x, int y, float r, float g, float b, int scale = 1) {
    HudText t;
    t.text = shown;
    t.x = x;
    t.y = y;
    t.r = r;
    t.g = g;
    t.b = b;
    t.scale = scale;
    return t;
}

// The first row shown: the chosen one stays in view, near the middle when it can.
size_t firstShown(size_t count, size_t selected) {
    if (count <= kOptionsRowsShown) return 0;
    const size_t half = kOptionsRowsShown / 2;
    return std::min(selected > half ? selected - half : 0, count - kOptionsRowsShown);
}

// The notice on one row, or on two broken after its ": " when it is too long.
void addNotice(std::vector<HudText>& panel, const std::string& notice, float shade) {
    const size_t colon = notice.find(": ");
    if (notice.size() <= kNoticeChars || colon == std::string::npos) {
        panel.push_back(text(notice, kLabelX, kNoticeY, 1, 1, shade));
        return;
    }
    panel.push_back(text(notice.substr(0, colon + 1), kLabelX, kNoticeY, 1, 1, shade));
    panel.push_back(text(notice.substr(colon + 2), kLabelX, kNoticeY + kRowHeight - 4, 1, 1, shade));
}

}  // namespace

std::vector<HudText> optionsPanel(const std::vector<OptionRow>& rows, size_t selected, const std::string& notice,
                                  bool waiting) {
    const std::string title = "OPTIONS";
    std::vector<HudText> panel = {
        text(title, kHudCentreX - static_cast<int>(title.size()) * kAdvance, kTitleY, 1, 1, 0, 2)};
    const size_t first = firstShown(rows.size(), selected);
    const size_t last = std::min(rows.size(), first + kOptionsRowsShown);
    for (size_t i = first; i < last; ++i) {
        const int y = kFirstRowY + static_cast<int>(i - first) * kRowHeight;
        const bool chosen = i == selected;
        const std::string value = chosen && waiting ? "?" : rows[i].value;
        panel.push_back(text(rows[i].label, kLabelX, y, 1, 1, chosen ? 0.0f : 1.0f));
        panel.push_back(text(value, kValueX, y, chosen ? 1.0f : 0.6f, chosen ? 1.0f : 0.9f, chosen ? 0.0f : 1.0f));
    }
    if (!notice.empty()) {
        addNotice(panel, notice, waiting ? 0.0f : 0.7f);
    }
    panel.push_back(text("arrows: choose  Enter: set  Esc: close", kLabelX, kKeysY, 0.7f, 0.7f, 0.7f));
    return panel;
}
