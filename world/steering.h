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
    // A stick's push along x, y and z, from -1 to 1: a part of the keys'
    // thrust, for an axis on which no key thrusts.
    float pushX = 0, pushY = 0, pushZ = 0;
};

// The keys that thrust each axis by -1, 0 or +1: x right, y up, z forward.
inline Steering thrustKeys(int x, int y, int z) {
    Steering keys;
    keys.left = x < 0;
    keys.right = x > 0;
    keys.down = y < 0;
    keys.up = y > 0;
    keys.back = z < 0;
    keys.forward = z > 0;
    return keys;
}

// Whatever flies a ship by those keys, from what its side of the match knows:
// the computer's pilot, or a test's.
class Flier {
public:
    virtual ~Flier() = default;
    // The keys to hold for the next movement step. `versus` is true while a
    // peer plays the other ship; `nowMs` is the game's millisecond clock.
    virtual Steering decide(const PlayerState& own, const PlayerState& opponent, bool versus, uint32_t nowMs) = 0;
};

// One movement step of `ms` milliseconds: each axis whose keys are not both held
// or both free gets sensitivity * ms / 1000 of thrust, any other the part of it
// that its push asks for; turns are a fixed 0.25 degrees a step.
void steerShip(PlayerState& player, const Steering& held, float sensitivity, int32_t ms);
