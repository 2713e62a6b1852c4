#pragma once
// A flier with no sense at all: it holds random movement keys and changes them
// every so often. The ladder's floor, which every level of the computer must beat.

#include <cstdint>
#include <random>

#include "world/steering.h"


class RandomFlier : public Flier {
public:
    explicit RandomFlier(uint32_t seed) : random(seed) {}
    Steering decide(const PlayerState& own, const PlayerState& opponent, bool versus, uint32_t nowMs) override;

private:
    std::mt19937 random;
    Steering held;
    uint32_t changeAtMs = 0;
    bool started = false;
};
