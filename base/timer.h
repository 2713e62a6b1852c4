#pragma once
// Millisecond stopwatch over SDL's tick count, and the clock it reads.

#include <cstdint>

// The clock every Timer reads. SDL_GetTicks by default; tests install their own.
using TickSource = uint32_t (*)();
void setTickSource(TickSource source);  // null restores SDL_GetTicks
uint32_t currentTicks();

// A new Timer is not started: its first call sets the mark and returns 0.
// Differences are taken modulo 2^32, so they stay right across a tick wrap.
class Timer {
public:
    int32_t start();    // same as elapsed(); makes sure the mark is set
    int32_t elapsed();  // milliseconds since the mark; the mark stays
    int32_t restart();  // milliseconds since the mark; the mark moves to now

private:
    bool started = false;
    uint32_t mark = 0;
};
