#pragma once
// The movement keys a player holds, and the one movement step they give the
// ship. The game fills a Steering from the keyboard; the computer opponent
// fills one from its pilot, so both fly by the same steps.

#include <cstdint>

class PlayerState;

struct Steering {
    bool forward = false, back = false;  // thrust along +vz / -vz (Up / Down)
    bool left = false, right = false;    // thrust along -vx / +vx
    bool up = false, down = false;       // thrust along +vy / -vy (w / s)
    bool turnLeft = false, turnRight = false;  // a / d
    bool rollLeft = false, rollRight = false;  // q / e
};

// One movement step of `ms` milliseconds: each axis whose keys are not both held
// or both free gets sensitivity * ms / 1000 of thrust; turns are a fixed 0.25
// degrees a step.
void steerShip(PlayerState& player, const Steering& held, float sensitivity, int32_t ms);
