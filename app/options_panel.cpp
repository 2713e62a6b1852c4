#include "app/options_panel.h"

#include <algorithm>

namespace {

constexpr int kAdvance = 17;  // every character of a text line advances this far
constexpr int kLabelX = 10;
constexpr int kValueRight = kPanelWidth - kLabelX;  // values end here, clear of the longest labels
constexpr int kTitleY = 76;   // clear of the status line in the smallest window
constexpr int kFirstRowY = 120;
constexpr int kRowHeight = 22;
constexpr int kNoticeY = kFirstRowY + static_cast<int>(kOptionsRowsShown) * kRowHeight + 4;
constexpr int kKeysY = kNoticeY + 58;
constexpr size_t kNoticeChars = 36;

// The first row shown: the chosen one stays in view, near the middle when it can.
size_t firstShown(size_t count, size_t selected) {
    if (count <= kOptionsRowsShown) return 0;
    const size_t half = kOptionsRowsShown / 2;
    return std::min(selected > half ? selected - half : 0, count - kOptionsRowsShown);
}

}  // namespace

std::vector<HudText> optionsPanel(const std::vector<OptionRow>& rows, size_t selected, const std::string& notice,
                                  bool waiting) {
    const std::string title = "OPTIONS";
    std::vector<HudText> panel = {
        hudText(title, kHudCentreX - static_cast<int>(title.size()) * kAdvance, kTitleY, 1, 1, 0, 2)};
    const size_t first = firstShown(rows.size(), selected);
    const size_t last = std::min(rows.size(), first + kOptionsRowsShown);
    for (size_t i = first; i < last; ++i) {
        const int y = kFirstRowY + static_cast<int>(i - first) * kRowHeight;
        const bool chosen = i == selected;
        panel.push_back(hudText(rows[i].label, kLabelX, y, 1, 1, chosen ? 0.0f : 1.0f));
        const int valueX = kValueRight - static_cast<int>(rows[i].value.size()) * kAdvance;
        panel.push_back(
            hudText(rows[i].value, valueX, y, chosen ? 1.0f : 0.6f, chosen ? 1.0f : 0.9f, chosen ? 0.0f : 1.0f));
    }
    const auto [said, more] = splitRow(notice, kNoticeChars);
    const float blue = waiting ? 0.0f : 0.7f;  // yellow while it waits, else grey
    for (const std::string& row : {said, more}) {
        if (!row.empty()) panel.push_back(hudText(row, kLabelX, row == said ? kNoticeY : kNoticeY + 22, 1, 1, blue));
    }
    panel.push_back(hudText("arrows choose  Enter sets  Esc closes", kLabelX, kKeysY, 0.7f, 0.7f, 0.7f));
    return panel;
}
