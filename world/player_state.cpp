#include "world/player_state.h"

#include <algorithm>
#include <climits>

#include "world/bounds.h"
#include "world/star_colours.h"
#include "world/vector_math.h"

namespace {

// Placement tries per star; the last try is kept even when the place is taken.
constexpr int kPlacementAttempts = 9;
constexpr float kMinStarSpacing = 0.5f;
// Both ships start at the centre: a star within their reach there would go to
// whichever side updates first, so no star is placed there. The draws are
// bounded; an arena too small to leave room keeps the last one.
constexpr int kCentreRedraws = 1000;

// A lattice point of the arena, outside the ships' reach at the centre.
void drawPlace(RandomSource& random, int32_t d, Star& star) {
    for (int draws = 0; draws < kCentreRedraws; ++draws) {
        star.x = static_cast<float>(random.randomInt(-d, d));
        star.y = static_cast<float>(random.randomInt(-d, d));
        star.z = static_cast<float>(random.randomInt(-d, d));
        if (!(distance3(star.x, star.y, star.z, 0.0f, 0.0f, 0.0f) < PlayerState::kCaptureRadius)) {
            return;
        }
    }
}

bool placeIsFree(const std::vector<Star>& placed, float x, float y, float z) {
    for (const Star& star : placed) {
        if (distance3(x, y, z, star.x, star.y, star.z) < kMinStarSpacing) {
            return false;
        }
    }
    return true;
}

}  // namespace

PlayerState::PlayerState(bool isLocal, const Clock& time, RandomSource& source)
    : clock(time), random(source), frameTimer(time), newsTimer(time), local(isLocal), energyTimer(time), matchClock(time) {
    resetShip();
}

void PlayerState::toggleSkin() { secondSkin = !secondSkin; }

void PlayerState::setMapSize(int32_t size) { arenaSize = size; }
int32_t PlayerState::mapSize() const { return arenaSize; }

void PlayerState::setStarRange(int32_t fewest, int32_t most) {
    minStars = fewest;
    maxStars = most;
}

void PlayerState::newMatch() {
    restartMatch();
    captureUnit = 1;
    ownStarCount = 0;
    if (local) {
        generateStars();
    }
}

void PlayerState::generateStars() {
    // maxStars itself is never drawn; the lowest int has nothing below it.
    const int32_t most = maxStars > INT32_MIN ? maxStars - 1 : maxStars;
    int32_t count = random.randomInt(minStars, most);
    if (count % 2 != 0) {
        ++count;
    }
    // A nonsensical range (negative, or beyond what the game can place) is kept in bounds.
    starTotal = std::clamp(count, 0, kMaxStars);
    starField.clear();
    starField.reserve(static_cast<size_t>(starTotal));
    const int32_t d = arenaSize;
    for (int32_t i = 0; i < starTotal; ++i) {
        Star star;
        for (int attempt = 0; attempt < kPlacementAttempts; ++attempt) {
            drawPlace(random, d, star);
            if (placeIsFree(starField, star.x, star.y, star.z)) {
                break;
            }
        }
        giveWarmColour(star, 80, random);
        star.owner = 0.0f;
        starField.push_back(star);
    }
    unconfirmed.assign(starField.size(), -1);
}

void PlayerState::splitStars() {
    const size_t half = static_cast<size_t>(starTotal / 2);
    for (size_t i = 0; i < starField.size(); ++i) {
        if (i < half) {
            markAsOwn(starField[i]);
        } else {
            markAsOpponents(starField[i]);
        }
    }
    ownStarCount = starTotal / 2;
    ownEnergyLeft = kStartEnergy;
    opponentEnergyLeft = kStartEnergy;
    energyTimer.restart();
}

void PlayerState::restartMatch() {
    ++matchesStarted;
    matchClock.restart();
    resetShip();
    matchOverTime = 0;
    ownEnergyLeft = kStartEnergy;
    opponentEnergyLeft = kStartEnergy;
    energyTimer.restart();
}

void PlayerState::resetShip() {
    playerShip.frame.reset(0.0f, 0.0f, 0.0f);
    playerShip.vx = 0.0f;
    playerShip.vy = 0.0f;
    playerShip.vz = 1e-8f;  // never exactly still at the first update
    playerShip.dx = 0.0f;
    playerShip.dy = 0.0f;
    playerShip.dz = 0.0f;
    std::fill(correction, correction + 3, 0.0f);
    refreshShown();
}

int32_t PlayerState::ownStars() const { return ownStarCount; }
int32_t PlayerState::opponentStars() const { return starTotal - ownStarCount; }
int32_t PlayerState::ownEnergy() const { return ownEnergyLeft; }
int32_t PlayerState::opponentEnergy() const { return opponentEnergyLeft; }
bool PlayerState::isMatchOver() const { return matchOverTime != 0; }

int32_t PlayerState::matchTime() const { return isMatchOver() ? matchOverTime : matchClock.elapsed(); }

// The match's length, at least 1 ms so that a match ended at once still reads as over.
void PlayerState::endMatch(WorldEvents& events) {
    if (!isMatchOver()) {
        events.push_back({WorldEvent::MatchOver, -1});
    }
    matchOverTime = std::max(matchClock.elapsed(), 1);
}
