#pragma once
// Where time comes from. The game reads SDL's tick count; a match played faster
// than time (the ladder, the tests) is handed a clock its owner moves. Whatever
// measures time is given its clock, so that any number of matches can run side
// by side in one process, each on a clock of its own.

#include <atomic>
#include <cstdint>

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since some fixed moment; wraps after 49 days.
    virtual uint32_t now() const = 0;
};

// SDL's tick count: milliseconds since SDL started.
const Clock& sdlClock();

// A clock that moves only when its owner moves it. Other threads may read it.
class ManualClock : public Clock {
public:
    explicit ManualClock(uint32_t start = 0) : ticks(start) {}
    uint32_t now() const override { return ticks.load(); }
    void advance(uint32_t ms) { ticks += ms; }
    void set(uint32_t ms) { ticks = ms; }

private:
    std::atomic<uint32_t> ticks;
};
