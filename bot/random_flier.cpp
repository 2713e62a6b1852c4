#include "bot/random_flier.h"

namespace {

constexpr uint32_t kShortestHoldMs = 300;
constexpr uint32_t kLongestHoldMs = 1500;

}  // namespace

Steering RandomFlier::decide(const PlayerState& /*own*/, const PlayerState& /*opponent*/, bool /*versus*/,
                             uint32_t nowMs) {
    if (!started || static_cast<int32_t>(nowMs - changeAtMs) >= 0) {
        std::uniform_int_distribution<int> thrust(-1, 1);
        const int x = thrust(random);
        const int y = thrust(random);
        const int z = thrust(random);
        held = thrustKeys(x, y, z);
        changeAtMs = nowMs + std::uniform_int_distribution<uint32_t>(kShortestHoldMs, kLongestHoldMs)(random);
        started = true;
    }
    return held;
}
