#pragma once
// How a star looks once someone holds it (shared by capture, split and the peer's texts).

#include "world/player_state.h"

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
