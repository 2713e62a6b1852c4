#pragma once
// Diagnostic lines on stderr that a peer can provoke, limited per kind so that no
// behaviour of a peer costs time or disk: a kind prints a burst of kBurst lines,
// then at most one every kIntervalMs, preceded by the count of those left out.
// With every kind at its limit that stays under 16 KB of stderr a minute.

#include <cstdint>
#include <string>

#include "base/clock.h"

class DiagnosticLines {
public:
    static constexpr int kBurst = 3;
    static constexpr uint32_t kIntervalMs = 6000;
    enum Kind { PartialMessage, LostLength, SendFailed, NetworkError, PeerDropped, PeerRefused, KindCount };

    explicit DiagnosticLines(const Clock& clock) : clock(&clock) {}

    // Prints the text (a whole line, newline included) unless its kind is over the limit.
    void print(Kind kind, const std::string& text);
    // Reports the lines left out once their kind may print again.
    void flush();

    // A text for a line: whole when short, else its start and its length in bytes.
    static std::string shortened(const std::string& text);

private:
    struct Budget {
        bool started = false;
        int lines = kBurst;  // that may be printed now
        uint32_t refilledAt = 0;
        int leftOut = 0;
    };
    bool takeLine(Kind kind);

    const Clock* clock;
    Budget budgets[KindCount];
};
