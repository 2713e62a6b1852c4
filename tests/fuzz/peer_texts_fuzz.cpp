// Peer messages, one per line ("type|payload"), applied the way the game's
// receive batch applies them on a client: ship texts to the remote mirror, the
// field and score texts to the local state. Checks after each message: nothing
// non-finite in a frame or velocity, counts within their bounds, and a refused
// star list changes nothing.
#include <algorithm>
#include <cmath>

#include "base/text.h"
#include "harness.h"
#include "world/player_state.h"

namespace {

void checkShip(const Ship& ship) {
    for (float element : ship.frame.matrix) require(std::isfinite(element));
    for (float v : {ship.vx, ship.vy, ship.vz}) require(std::isfinite(v) && std::fabs(v) <= 15.0f);
}

// Each "3|" may lower the own count by one, so its floor moves with the messages.
// The README's bounds for a star list: at most 8192 stars, an arena of 10 to 1000.
void checkCounts(const PlayerState& state, int32_t messages) {
    const int32_t count = state.starCount();
    require(count >= 0 && count <= 8192 && state.stars().size() <= 8192);
    require(state.ownStars() >= -count - messages && state.ownStars() <= 2 * count);
    require(state.mapSize() >= 10 && state.mapSize() <= 1000);
}

// Everything a star list sets: the arena, the field with its owners and the counts.
std::string fieldOf(const PlayerState& state) {
    return state.starListText() + "|" + toText(state.starCount()) + "|" + toText(state.ownStars());
}

void applyStarList(PlayerState& local, const std::string& payload) {
    const std::string before = fieldOf(local);
    if (!local.applyStarListText(payload)) {
        require(fieldOf(local) == before);
        return;
    }
    require(static_cast<size_t>(local.starCount()) == local.stars().size());
    for (const Star& s : local.stars()) require(std::isfinite(s.x) && std::isfinite(s.y) && std::isfinite(s.z));
}

void apply(PlayerState& local, PlayerState& mirror, const std::string& message) {
    std::string type, payload;
    splitAtBar(message, type, payload);
    switch (toInt(type)) {
        case 0: mirror.applyFrameText(payload); break;
        case 1: mirror.applyVelocityText(payload); break;
        case 2: applyStarList(local, payload); break;
        case 3: local.starTakenByOpponent(toInt(payload)); break;
        case 4: local.applyOwnersText(payload); break;
        case 5: local.applyScoreText(payload); break;
        default: break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static PlayerState local(true), mirror(false);
    local.newMatch();
    mirror.newMatch();
    const std::string input(reinterpret_cast<const char*>(data), size);
    int32_t messages = 0;
    for (size_t start = 0, end; start <= input.size(); start = end + 1) {
        end = std::min(input.find('\n', start), input.size());
        apply(local, mirror, input.substr(start, end - start));
        checkShip(mirror.ship());
        checkCounts(local, ++messages);
    }
    return 0;
}
