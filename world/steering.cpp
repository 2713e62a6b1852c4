#include "world/steering.h"

#include <algorithm>

#include "world/player_state.h"

namespace {

constexpr float kTurnDegrees = 0.25f;

// The part of a whole thrust an axis gets: all of it one way or the other from
// its keys, else the push, never more than the keys give.
float thrust(bool plus, bool minus, float push) {
    if (plus != minus) return plus ? 1.0f : -1.0f;
    return std::clamp(push, -1.0f, 1.0f);
}

}  // namespace

void steerShip(PlayerState& player, const Steering& held, float sensitivity, int32_t ms) {
    const float s = sensitivity * static_cast<float>(ms) / 1000.0f;
    const float z = thrust(held.forward, held.back, held.pushZ);
    const float x = thrust(held.right, held.left, held.pushX);
    const float y = thrust(held.up, held.down, held.pushY);
    if (z != 0) player.addVelocity(0, 0, z * s);
    if (x != 0) player.addVelocity(x * s, 0, 0);
    if (held.turnLeft != held.turnRight) player.rotateShip(held.turnLeft ? kTurnDegrees : -kTurnDegrees, 0, 1, 0);
    if (held.rollLeft != held.rollRight) player.rotateShip(held.rollLeft ? kTurnDegrees : -kTurnDegrees, 0, 0, 1);
    if (y != 0) player.addVelocity(0, y * s, 0);
}
