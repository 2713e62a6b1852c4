// Steering, the energy race, the ship's step with wrap-around and capture.
#include <algorithm>
#include <climits>
#include <cmath>

#include "world/player_state.h"
#include "world/star_colours.h"
#include "world/vector_math.h"

namespace {

constexpr int32_t kStepMs = 10;
constexpr int32_t kEnergyTickMs = 1000;

float clampSpeed(float v) {
    if (v > PlayerState::kMaxSpeed) {
        v = PlayerState::kMaxSpeed;
    }
    if (v < -PlayerState::kMaxSpeed) {
        v = -PlayerState::kMaxSpeed;
    }
    return v;
}

// Energy lost in one second by the side holding `held` of `total` stars.
int32_t drainFor(int32_t held, int32_t total) {
    const double share = 1.0 - static_cast<double>(held) / static_cast<double>(total);
    return static_cast<int32_t>(2.0 * (share * 100.0 - 50.0) / 4.0);
}

}  // namespace

void PlayerState::addVelocity(float dvx, float dvy, float dvz) {
    setVelocity(playerShip.vx + dvx, playerShip.vy + dvy, playerShip.vz + dvz);
    refreshShown();
}

void PlayerState::setVelocity(float vx, float vy, float vz) {
    playerShip.vx = clampSpeed(vx);
    playerShip.vy = clampSpeed(vy);
    playerShip.vz = clampSpeed(vz);
}

void PlayerState::rotateShip(float degrees, float ax, float ay, float az) {
    playerShip.frame.rotateLocal(degrees, ax, ay, az);
    refreshShown();
}

void PlayerState::update(MatchRole role, WorldEvents& events) {
    tickEnergy(role, events);
    stepShip(role, events);
    refreshShown();
}

void PlayerState::tickEnergy(MatchRole role, WorldEvents& events) {
    if (!local || role != MatchRole::Host) {
        return;  // alone there is nobody to race; a guest hears the energies from its host
    }
    if (ownEnergyLeft < 1 || opponentEnergyLeft < 1) {
        return;
    }
    if (energyTimer.elapsed() < kEnergyTickMs) {
        return;
    }
    const int32_t held = ownStarCount;
    const int32_t total = starTotal;
    const int32_t half = total / 2;
    if (total > 0) {  // an empty field drains nobody
        if (held < half) {
            ownEnergyLeft = std::max(ownEnergyLeft - drainFor(held, total), 0);
        } else if (total - held < half) {
            opponentEnergyLeft = std::max(opponentEnergyLeft - drainFor(total - held, total), 0);
        }
    }
    energyTimer.restart();
    if (ownEnergyLeft == 0 || opponentEnergyLeft == 0) {
        endMatch(events);
    }
}

void PlayerState::stepShip(MatchRole role, WorldEvents& events) {
    const int32_t ms = frameTimer.elapsed();
    if (ms < kStepMs) {
        return;
    }
    const float seconds = holdsPlace() ? 0.0f : static_cast<float>(ms) / 1000.0f;
    wrapAtFaces(events);
    playerShip.dx = seconds * playerShip.vx;
    playerShip.dy = seconds * playerShip.vy;
    playerShip.dz = seconds * playerShip.vz;
    frameTimer.restart();
    playerShip.frame.moveWorld(playerShip.dx, playerShip.dy, -playerShip.dz, 1.0f);
    workOffCorrection(ms);
    if (local) {
        captureStars(role, events);
    }
    orientAlongVelocity();
}

// A ship leaving through a face comes back in at the opposite one, but only
// while it keeps flying outwards. Each test reads the position as left by the last.
void PlayerState::wrapAtFaces(WorldEvents& events) {
    const float d = static_cast<float>(arenaSize);
    const WorldEvent wrapped{WorldEvent::Wrapped, -1};
    Frame& frame = playerShip.frame;
    const float* p = frame.position;
    if (p[0] < -d && playerShip.vx < 0.0f) {
        frame.setPosition(d, p[1], p[2]);
        events.push_back(wrapped);
    }
    if (p[0] > d && playerShip.vx > 0.0f) {
        frame.setPosition(-d, p[1], p[2]);
        events.push_back(wrapped);
    }
    if (p[1] < -d && playerShip.vy < 0.0f) {
        frame.setPosition(p[0], d, p[2]);
        events.push_back(wrapped);
    }
    if (p[1] > d && playerShip.vy > 0.0f) {
        frame.setPosition(p[0], -d, p[2]);
        events.push_back(wrapped);
    }
    // A positive vz flies towards negative world Z.
    if (p[2] < -d && playerShip.vz > 0.0f) {
        frame.setPosition(p[0], p[1], d);
        events.push_back(wrapped);
    }
    if (p[2] > d && playerShip.vz < 0.0f) {
        frame.setPosition(p[0], p[1], -d);
        events.push_back(wrapped);
    }
}

void PlayerState::captureStars(MatchRole role, WorldEvents& events) {
    const float* p = playerShip.frame.position;
    const float radius = static_cast<float>(captureUnit) * kCaptureRadius;
    for (size_t i = 0; i < starField.size(); ++i) {
        Star& star = starField[i];
        if (star.owner == 1.0f) {
            continue;
        }
        if (!(distance3(p[0], p[1], p[2], star.x, star.y, star.z) < radius)) {
            continue;
        }
        markAsOwn(star);
        ++ownStarCount;
        unconfirmed[i] = clock.now();
        events.push_back({WorldEvent::Captured, static_cast<int32_t>(i)});
        if (role == MatchRole::Alone && ownStarCount == starTotal) {
            endMatch(events);
        }
    }
}

// Points the ship's nose along its velocity, rebuilt from scratch each step.
// A ship with no velocity at all keeps the heading it had.
void PlayerState::orientAlongVelocity() {
    float nx = playerShip.vx;
    float ny = playerShip.vy;
    float nz = playerShip.vz;
    if (nx == 0.0f && ny == 0.0f && nz == 0.0f) {
        return;
    }
    normalize3(nx, ny, nz);
    Frame& frame = playerShip.frame;
    const float px = frame.position[0];
    const float py = frame.position[1];
    const float pz = frame.position[2];
    frame.reset(0.0f, 0.0f, 0.0f);
    frame.moveWorld(px, py, pz, 1.0f);
    const float yaw = directionDegrees(0.0f, 0.0f, -nx, nz) + 90.0f;
    frame.rotateLocal(yaw, 0.0f, 1.0f, 0.0f);
    frame.rotateLocal(ny * 90.0f, 1.0f, 0.0f, 0.0f);
}

// A notice for a star the opponent holds already changes nothing: it crossed
// news of that star on the way, and counting it again would take a star this
// side does not hold.
bool PlayerState::starTakenByOpponent(int32_t index) {
    if (index < 0 || static_cast<size_t>(index) >= starField.size()) {
        return false;
    }
    Star& star = starField[static_cast<size_t>(index)];
    if (star.owner == 2.0f) {
        return false;
    }
    if (star.owner == 1.0f) {
        --ownStarCount;
    }
    markAsOpponents(star);
    unconfirmed[static_cast<size_t>(index)] = -1;
    return true;
}
