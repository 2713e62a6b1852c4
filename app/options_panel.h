#pragma once
// The options screen as text over the arena, in pixels on the centred panel
// (app/overlay_layout.h): its title, the rows around the one chosen (what each is on the left, its
// value on the right, the chosen one in yellow), what the screen says, and its
// keys. The screen itself is options/options_screen.h; this only lays it out.

#include <cstddef>
#include <string>
#include <vector>

#include "app/status_line.h"
#include "options/options_screen.h"

std::vector<HudText> optionsPanel(const std::vector<OptionRow>& rows, size_t selected, const std::string& notice,
                                  bool waiting);

constexpr size_t kOptionsRowsShown = 11;  // what the smallest window has room for
