#include "net/diagnostic_lines.h"

#include <cstdio>

#include "base/text.h"

namespace {

constexpr size_t kShownBytes = 32;
const char* const kKindNames[] = {"partial message", "lost length",  "message not sent",
                                  "network error",   "peer dropped", "peer refused"};

}  // namespace

// One line more every kIntervalMs, up to the burst.
bool DiagnosticLines::takeLine(Kind kind) {
    Budget& budget = budgets[kind];
    const uint32_t now = clock->now();
    const uint32_t gained = budget.started ? (now - budget.refilledAt) / kIntervalMs : kBurst;
    if (budget.lines + gained >= static_cast<uint32_t>(kBurst)) {
        budget.started = true;
        budget.lines = kBurst;
        budget.refilledAt = now;
    } else if (gained > 0) {
        budget.lines += static_cast<int>(gained);
        budget.refilledAt += gained * kIntervalMs;
    }
    if (budget.lines == 0) {
        return false;
    }
    --budget.lines;
    if (budget.leftOut > 0) {
        std::fprintf(stderr, "(%d more '%s' lines left out)\n", budget.leftOut, kKindNames[kind]);
        budget.leftOut = 0;
    }
    return true;
}

void DiagnosticLines::print(Kind kind, const std::string& text) {
    if (takeLine(kind)) {
        std::fputs(text.c_str(), stderr);
    } else {
        ++budgets[kind].leftOut;
    }
}

void DiagnosticLines::flush() {
    for (int kind = 0; kind < KindCount; ++kind) {
        if (budgets[kind].leftOut > 0) {
            takeLine(static_cast<Kind>(kind));
        }
    }
}

std::string DiagnosticLines::shortened(const std::string& text) {
    if (text.size() <= kShownBytes + 8) {
        return text;
    }
    return text.substr(0, kShownBytes) + "... (" + toText(static_cast<uint32_t>(text.size())) + " bytes)";
}
