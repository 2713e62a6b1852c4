#pragma once
// How a star looks once someone holds it (shared by generation, capture, split and the peer's field).

#include "base/random.h"
#include "world/player_state.h"

// A free star's random warm colour: red from 30 to maxRedPercent hundredths,
// green from 0 up to the red (so yellow at most), no blue.
inline void giveWarmColour(Star& star, int32_t maxRedPercent, RandomSource& random) {
    star.r = static_cast<float>(random.randomInt(30, maxRedPercent)) / 100.0f;
    const int32_t greenLimit = static_cast<int32_t>(static_cast<double>(star.r) * 100.0);
    star.g = static_cast<float>(random.randomInt(0, greenLimit)) / 100.0f;
    star.b = 0.0f;
}

inline void markAsOwn(Star& star) {
    star.owner = 1.0f;
    star.r = 0.0f;
    star.g = 1.0f;
    star.b = 0.0f;
}

inline void markAsOpponents(Star& star) {
    star.owner = 2.0f;
    star.r = 0.0f;
    star.g = 0.0f;
    star.b = 1.0f;
}
