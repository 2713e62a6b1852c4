// What the peer tells this side: the opponent's ship, and on a guest the host's
// field, owners and score, mirrored (the host's stars are the opponent's here).
// Everything arrives checked by the wire's readers; the world still keeps it
// within the field it holds.
#include <algorithm>
#include <cstdint>

#include "world/player_state.h"
#include "world/star_colours.h"

namespace {

// Takes an owner as the server wrote it, mirrored: its stars are the opponent's
// here and the ones it gave away are ours. False for any other value.
bool takeMirroredOwner(Star& star, float owner) {
    if (owner == 1.0f) {
        markAsOpponents(star);
    } else if (owner == 2.0f) {
        markAsOwn(star);
    } else {
        return false;
    }
    return true;
}

}  // namespace

Velocity PlayerState::velocity() const { return {playerShip.vx, playerShip.vy, playerShip.vz}; }

Score PlayerState::score() const { return {ownStarCount, ownEnergyLeft, opponentEnergyLeft}; }

void PlayerState::applyFrame(const Frame& frame) { playerShip.frame = frame; }

void PlayerState::applyVelocity(const Velocity& velocity) { setVelocity(velocity.x, velocity.y, velocity.z); }

// A star as the client sees it: the server's owners swapped, free ones given a colour.
void PlayerState::applyField(int32_t size, const std::vector<Star>& hostStars) {
    std::vector<Star> field;
    field.reserve(hostStars.size());
    int32_t held = 0;
    for (const Star& hostStar : hostStars) {
        Star star;
        star.x = hostStar.x;
        star.y = hostStar.y;
        star.z = hostStar.z;
        if (!takeMirroredOwner(star, hostStar.owner)) {
            star.owner = hostStar.owner;
            giveWarmColour(star, 100, random);  // a wider range than a new field's
        }
        held += star.owner == 1.0f ? 1 : 0;
        field.push_back(star);
    }
    arenaSize = size;
    starTotal = static_cast<int32_t>(field.size());
    starField.swap(field);
    ownStarCount = held;
}

void PlayerState::applyOwners(const std::vector<float>& hostOwners) {
    const size_t limit = std::min(starField.size(), hostOwners.size());
    for (size_t i = 0; i < limit; ++i) {
        Star& star = starField[i];
        if (!takeMirroredOwner(star, hostOwners[i])) {
            star.owner = hostOwners[i];
        }
    }
}

// The server's count may run below zero after missed captures, but never
// beyond the field either way; anything further is taken as the nearest end.
void PlayerState::applyScore(const Score& hostScore, WorldEvents& events) {
    const int32_t serverHeld = std::clamp(hostScore.held, -starTotal, starTotal);
    ownStarCount = starTotal - serverHeld;
    opponentEnergyLeft = std::clamp(hostScore.ownEnergy, 0, kStartEnergy);
    ownEnergyLeft = std::clamp(hostScore.opponentEnergy, 0, kStartEnergy);
    if (!isMatchOver() && (ownEnergyLeft == 0 || opponentEnergyLeft == 0)) {
        endMatch(events);
    }
}
