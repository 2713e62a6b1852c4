#pragma once
// The random source of star counts, places and colours: one object per match,
// seeded by whoever starts the match, so that a match replays exactly from its
// seed and any number of matches draw side by side without touching each other.

#include <stdlib.h>

#include <cstdint>

class RandomSource {
public:
    // The same seed gives the same draws as the C library's rand() after srand(seed).
    explicit RandomSource(uint32_t seed);
    RandomSource(const RandomSource&) = delete;  // the state points into itself
    RandomSource& operator=(const RandomSource&) = delete;

    // A whole number in the closed range between a and b, bounds in either order.
    int32_t randomInt(int32_t a, int32_t b);

private:
    int32_t draw();

    char buffer[128] = {};
    random_data state = {};
};

// The calendar time in seconds: how the game seeds a new run.
uint32_t seedFromTime();
