#pragma once
// A millisecond stopwatch over the clock it is given.

#include <cstdint>

#include "base/clock.h"

// A new Timer is not started: its first call sets the mark and returns 0.
// Differences are taken modulo 2^32, so they stay right across a tick wrap.
class Timer {
public:
    explicit Timer(const Clock& clock) : clock(&clock) {}

    int32_t start();    // same as elapsed(); makes sure the mark is set
    int32_t elapsed();  // milliseconds since the mark; the mark stays
    int32_t restart();  // milliseconds since the mark; the mark moves to now

private:
    const Clock* clock;
    bool started = false;
    uint32_t mark = 0;
};
