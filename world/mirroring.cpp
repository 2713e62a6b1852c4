// What the peer tells this side: the opponent's ship, and on a guest the host's
// field, owners and score, mirrored (the host's stars are the opponent's here).
// Everything arrives checked by the wire's readers; the world still keeps it
// within the field it holds.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "world/player_state.h"
#include "world/star_colours.h"

namespace {

constexpr int32_t kHoldAfterMs = 1000;   // a ship not heard of for this long stays where it was
// A capture the host has not confirmed this long after is left to the host's
// owners: an older host confirms with the owners it sends every 10 s.
constexpr uint32_t kUnconfirmedMs = 15000;
constexpr float kCorrectionMs = 100.0f;  // how fast a shown ship closes on its estimate
// Further off than this, something other than flight moved it (a new match, the
// ship sent to the centre, a long silence): it is shown at once where it is.
constexpr float kSnapDistance = 3.0f;

// A coordinate folded back into the arena, as a ship leaving through a face comes
// back in at the opposite one; a difference so folded is the shortest way round.
float intoArena(float value, float d) {
    if (value > d) {
        return value - 2.0f * d;
    }
    if (value < -d) {
        return value + 2.0f * d;
    }
    return value;
}

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

void PlayerState::applyFrame(const Frame& frame, uint32_t ageMs) {
    const float d = static_cast<float>(arenaSize);
    const float* shown = shownShip.frame.position;
    const float wasShown[3] = {shown[0], shown[1], shown[2]};
    playerShip.frame = frame;
    const float seconds = static_cast<float>(ageMs) / 1000.0f;
    const float moved[3] = {playerShip.vx, playerShip.vy, -playerShip.vz};  // a positive vz flies towards -Z
    float* p = playerShip.frame.position;
    float offBy = 0.0f;
    for (int axis = 0; axis < 3; ++axis) {
        const float ahead = p[axis] + seconds * moved[axis];
        const bool throughFace = (ahead > d && moved[axis] > 0.0f) || (ahead < -d && moved[axis] < 0.0f);
        p[axis] = seconds > 0.0f && throughFace ? intoArena(ahead, d) : ahead;  // it came in at the other face
        correction[axis] = intoArena(wasShown[axis] - p[axis], d);
        offBy += correction[axis] * correction[axis];
    }
    if (!(std::sqrt(offBy) <= kSnapDistance)) {
        std::fill(correction, correction + 3, 0.0f);
    }
    newsTimer.restart();
    refreshShown();
}

void PlayerState::applyVelocity(const Velocity& velocity, uint32_t ageMs) {
    const float before[3] = {playerShip.vx, playerShip.vy, -playerShip.vz};
    setVelocity(velocity.x, velocity.y, velocity.z);
    const float after[3] = {playerShip.vx, playerShip.vy, -playerShip.vz};  // a positive vz flies towards -Z
    const float seconds = static_cast<float>(ageMs) / 1000.0f;
    float* p = playerShip.frame.position;
    for (int axis = 0; axis < 3; ++axis) {  // the estimate moves; what is shown closes on it
        const float shift = seconds * (after[axis] - before[axis]);
        p[axis] += shift;
        correction[axis] -= shift;
    }
    newsTimer.restart();
    refreshShown();
}

void PlayerState::refreshShown() {
    shownShip = playerShip;
    const float d = static_cast<float>(arenaSize);
    float* p = shownShip.frame.position;
    for (int axis = 0; axis < 3; ++axis) {
        if (correction[axis] != 0.0f) {
            p[axis] = intoArena(p[axis] + correction[axis], d);
        }
    }
}

void PlayerState::workOffCorrection(int32_t ms) {
    const float kept = std::exp(-static_cast<float>(ms) / kCorrectionMs);
    for (float& c : correction) {
        c *= kept;
    }
}

bool PlayerState::holdsPlace() { return !local && newsTimer.elapsed() > kHoldAfterMs; }

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
    unconfirmed.assign(starField.size(), -1);
    ownStarCount = held;
}

void PlayerState::applyOwners(const std::vector<float>& hostOwners) {
    const size_t limit = std::min(starField.size(), hostOwners.size());
    const uint32_t now = clock.now();
    for (size_t i = 0; i < limit; ++i) {
        Star& star = starField[i];
        if (hostOwners[i] == 2.0f) {
            unconfirmed[i] = -1;  // the host has heard
        } else if (unconfirmed[i] >= 0 && now - static_cast<uint32_t>(unconfirmed[i]) < kUnconfirmedMs) {
            continue;
        }
        if (!takeMirroredOwner(star, hostOwners[i])) {
            star.owner = hostOwners[i];
        }
    }
    recount();
}

void PlayerState::recount() {
    ownStarCount = static_cast<int32_t>(
        std::count_if(starField.begin(), starField.end(), [](const Star& star) { return star.owner == 1.0f; }));
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
