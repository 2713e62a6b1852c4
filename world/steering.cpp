#include "world/steering.h"

#include "world/player_state.h"

namespace {

constexpr float kTurnDegrees = 0.25f;

}  // namespace

void steerShip(PlayerState& player, const Steering& held, float sensitivity, int32_t ms) {
    const float s = sensitivity * static_cast<float>(ms) / 1000.0f;
    if (held.forward != held.back) player.addVelocity(0, 0, held.forward ? s : -s);
    if (held.left != held.right) player.addVelocity(held.left ? -s : s, 0, 0);
    if (held.turnLeft != held.turnRight) player.rotateShip(held.turnLeft ? kTurnDegrees : -kTurnDegrees, 0, 1, 0);
    if (held.rollLeft != held.rollRight) player.rotateShip(held.rollLeft ? kTurnDegrees : -kTurnDegrees, 0, 0, 1);
    if (held.up != held.down) player.addVelocity(0, held.up ? s : -s, 0);
}
