#include "bot/random_flier.h"

namespace {

constexpr uint32_t kShortestHoldMs = 300;
constexpr uint32_t kLongestHoldMs = 1500;

// -1, 0 or +1 as a pair of keys.
void pick(std::mt19937& random, bool& minus, bool& plus) {
    const int thrust = std::uniform_int_distribution<int>(-1, 1)(random);
    minus = thrust < 0;
    plus = thrust > 0;
}

}  // namespace

Steering RandomFlier::decide(const PlayerState& /*own*/, const PlayerState& /*opponent*/, bool /*versus*/,
                             uint32_t nowMs) {
    if (!started || static_cast<int32_t>(nowMs - changeAtMs) >= 0) {
        pick(random, held.left, held.right);
        pick(random, held.down, held.up);
        pick(random, held.back, held.forward);
        changeAtMs = nowMs + std::uniform_int_distribution<uint32_t>(kShortestHoldMs, kLongestHoldMs)(random);
        started = true;
    }
    return held;
}
