#include "net/diagnostic_lines.h"

#include <cstdio>

#include "app/timer.h"

namespace {

constexpr uint32_t kWindowMs = 1000;
const char* const kKindNames[] = {"partial message", "lost length", "message not sent", "network error",
                                  "peer dropped"};

}  // namespace

void DiagnosticLines::close(Kind kind) {
    Window& window = windows[kind];
    if (window.leftOut > 0) {
        std::fprintf(stderr, "(%d more '%s' lines left out)\n", window.leftOut, kKindNames[kind]);
    }
    window = Window();
}

void DiagnosticLines::print(Kind kind, const std::string& text) {
    Window& window = windows[kind];
    const uint32_t now = currentTicks();
    if (window.printed > 0 && now - window.start >= kWindowMs) {
        close(kind);
    }
    if (window.printed == 0) {
        window.start = now;
    }
    if (window.printed >= kLinesPerSecond) {
        ++window.leftOut;
        return;
    }
    ++window.printed;
    std::fputs(text.c_str(), stderr);
}

void DiagnosticLines::flush() {
    const uint32_t now = currentTicks();
    for (int kind = 0; kind < KindCount; ++kind) {
        if (windows[kind].leftOut > 0 && now - windows[kind].start >= kWindowMs) {
            close(static_cast<Kind>(kind));
        }
    }
}
