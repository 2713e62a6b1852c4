#pragma once
// Diagnostic lines on stderr that a peer can provoke, limited per kind so that a
// flood costs neither time nor disk: at most kLinesPerSecond of a kind in any one
// second, then one line with the count of those left out.

#include <cstdint>
#include <string>

class DiagnosticLines {
public:
    static constexpr int kLinesPerSecond = 10;
    enum Kind { PartialMessage, LostLength, SendFailed, NetworkError, PeerDropped, KindCount };

    // Prints the text (a whole line, newline included) unless its kind is over the limit.
    void print(Kind kind, const std::string& text);
    // Reports the lines left out in seconds that have ended.
    void flush();

private:
    struct Window {
        uint32_t start = 0;
        int printed = 0;
        int leftOut = 0;
    };
    void close(Kind kind);

    Window windows[KindCount];
};
