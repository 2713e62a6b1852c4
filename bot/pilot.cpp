#include "bot/pilot.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "world/player_state.h"

namespace {

constexpr double kUnreachable = std::numeric_limits<double>::infinity();
constexpr double kDistanceSpeed = 8.0;     // units/s: turns a distance into seconds for a pilot who reckons by eye
constexpr size_t kMeasuredStars = 16;      // nearest stars whose flying time is worked out
constexpr double kGlanceAhead = 1.0;       // s: a glance also looks where coasting takes the ship
constexpr int kLookAheadChoices = 4;       // first stars weighed with a second one
constexpr size_t kLookAheadFollowers = 8;  // nearest second stars weighed
constexpr double kFollowerWeight = 0.7;
constexpr double kRaceSeconds = 10.0;        // span over which a capture's worth is counted
constexpr double kSwitchMargin = 0.3;        // worth a new choice must gain over the current one
constexpr double kLostRaceSeconds = 5.0;     // a free star the opponent reaches first
constexpr double kRetakeSeconds = 0.3;       // cost of a star the opponent is about to pass again
constexpr double kRetakeReach = 1.0;         // s: how near the opponent must be for that
constexpr double kDefaultStep = 0.011;

Body bodyOf(const PlayerState& state) {
    const Ship& ship = state.ship();
    const float* p = ship.frame.position;
    return Body{{p[0], p[1], -p[2]}, {ship.vx, ship.vy, ship.vz}};
}

void placeOf(const Star& star, double place[3]) {
    place[0] = star.x;
    place[1] = star.y;
    place[2] = -star.z;
}

Waypoint waypointOf(const Star& star, const FlightLimits& limits) {
    double place[3];
    placeOf(star, place);
    return waypointFor(place, limits);
}

bool isOwn(const Star& star) { return star.owner == 1.0f; }

// Taking the opponent's star moves both counts; a free one only ours.
double starValue(const Star& star, bool versus) { return versus && star.owner == 2.0f ? 2.0 : 1.0; }

double ringDistance(const double from[3], const double to[3], double halfSpan) {
    double sum = 0.0;
    for (int axis = 0; axis < 3; ++axis) {
        const double d = ringDelta(from[axis], to[axis], halfSpan);
        sum += d * d;
    }
    return std::sqrt(sum);
}

// The indices of the `count` nearest, nearest first.
std::vector<int> nearestIndices(std::vector<std::pair<double, int>> byDistance, size_t count) {
    const size_t kept = std::min(count, byDistance.size());
    std::partial_sort(byDistance.begin(), byDistance.begin() + static_cast<std::ptrdiff_t>(kept), byDistance.end());
    std::vector<int> nearest;
    for (size_t k = 0; k < kept; ++k) nearest.push_back(byDistance[k].second);
    return nearest;
}

// The stars worth measuring: the nearest to the ship or to where it is going.
std::vector<int> nearestStars(const std::vector<Star>& stars, const Body& from, double halfSpan) {
    double ahead[3];
    for (int axis = 0; axis < 3; ++axis) ahead[axis] = from.position[axis] + kGlanceAhead * from.velocity[axis];
    std::vector<std::pair<double, int>> byDistance;
    for (size_t i = 0; i < stars.size(); ++i) {
        if (isOwn(stars[i])) continue;
        double place[3];
        placeOf(stars[i], place);
        const double near = std::min(ringDistance(from.position, place, halfSpan), ringDistance(ahead, place, halfSpan));
        byDistance.emplace_back(near, static_cast<int>(i));
    }
    return nearestIndices(std::move(byDistance), kMeasuredStars);
}

// The displacement one axis flies to be at the waypoint in `seconds`.
double aimOnAxis(const Body& from, const Waypoint& point, int axis, double seconds, const FlightLimits& limits) {
    return aimDisplacement(from.position[axis], from.velocity[axis], point.place[axis], point.tolerance[axis], seconds,
                           limits);
}

}  // namespace

constexpr Pilot::Traits Pilot::traitsFor(BotLevel level) {
    switch (level) {
        case BotLevel::Beginner:
            return Traits{3000, 3000, 1.8, false, false, false, kUnreachable};
        case BotLevel::Easy:
            return Traits{450, 700, 0.25, false, false, false, kUnreachable};
        case BotLevel::Hard:
            return Traits{50, 100, 0.0, true, true, true, kSwitchMargin};
        case BotLevel::Normal:
            break;
    }
    return Traits{200, 500, 0.10, true, false, true, kSwitchMargin};
}

Pilot::Pilot(BotLevel level, uint32_t seed, float sensitivity)
    : botLevel(level), traits(traitsFor(level)), random(seed) {
    limits.accel = sensitivity > 0.0f ? sensitivity : GameSettings().sensitivity;
}

Steering Pilot::decide(const PlayerState& own, const PlayerState& opponent, bool versus, uint32_t nowMs) {
    double stepSeconds = kDefaultStep;
    if (!hasClock) {
        hasClock = true;
        lostSinceMs = nowMs - traits.reactionMs;  // the first choice comes at once
    } else {
        const int32_t passed = static_cast<int32_t>(nowMs - lastMs);
        stepSeconds = std::clamp(passed, 1, 100) / 1000.0;
    }
    lastMs = nowMs;
    limits.halfSpan = own.mapSize() > 0 ? own.mapSize() : 1;

    if (targetStar >= 0 && !targetStillValid(own)) {
        targetStar = -1;
        lostSinceMs = nowMs;
    }
    const bool due = targetStar < 0 ? nowMs - lostSinceMs >= traits.reactionMs
                                    : static_cast<int32_t>(nowMs - nextReplanMs) >= 0;
    if (due) {
        choose(own, opponent, versus, nowMs);
    }
    return targetStar < 0 ? brake(own, stepSeconds) : steer(own, stepSeconds);
}

// The star is gone when it is ours now or a new field has replaced the old one.
bool Pilot::targetStillValid(const PlayerState& own) const {
    const std::vector<Star>& stars = own.stars();
    if (static_cast<size_t>(targetStar) >= stars.size()) {
        return false;
    }
    const Star& star = stars[static_cast<size_t>(targetStar)];
    return !isOwn(star) && star.x == targetPlace[0] && star.y == targetPlace[1] && star.z == targetPlace[2];
}

void Pilot::choose(const PlayerState& own, const PlayerState& opponent, bool versus, uint32_t nowMs) {
    nextReplanMs = nowMs + traits.replanMs;
    const std::vector<Star>& stars = own.stars();
    const Body from = bodyOf(own);
    const PlayerState* rival = versus && traits.watchesOpponent ? &opponent : nullptr;

    std::vector<int> measured = nearestStars(stars, from, limits.halfSpan);
    if (targetStar >= 0 && std::find(measured.begin(), measured.end(), targetStar) == measured.end()) {
        measured.push_back(targetStar);
    }
    std::vector<Option> options;
    for (int star : measured) {
        const Star& s = stars[static_cast<size_t>(star)];
        const Waypoint point = waypointOf(s, limits);
        const double seconds = arrivalTime(point, from);
        if (seconds < 0.0) continue;
        options.push_back(
            Option{seconds, seconds + opponentDelay(s, point, seconds, rival), starValue(s, versus), star, 0.0});
    }
    if (options.empty()) {
        targetStar = -1;
        lostSinceMs = nowMs;
        return;
    }
    // A capture is worth its value for every second of the race span left after
    // it: sooner counts, and an opponent's star twice. The span starts at the
    // soonest star so that one is always worth something.
    double soonest = options[0].arrival;
    for (const Option& option : options) soonest = std::min(soonest, option.arrival);
    const double span = kRaceSeconds + soonest;
    for (Option& option : options) option.worth = option.value * (span - option.arrival);
    const size_t weighed = traits.looksAhead ? std::min<size_t>(kLookAheadChoices, options.size()) : 1;
    std::partial_sort(options.begin(), options.begin() + static_cast<std::ptrdiff_t>(weighed), options.end(),
                      [](const Option& a, const Option& b) { return a.worth > b.worth; });
    // The best few are weighed with the star that could follow, and the current
    // star always, so that a switch is made only for a clearly better choice.
    int best = -1;
    double bestWorth = -kUnreachable;
    double currentWorth = -kUnreachable;
    for (size_t k = 0; k < options.size(); ++k) {
        const Option& option = options[k];
        if (k >= weighed && option.star != targetStar) continue;
        double worth = option.worth;
        if (traits.looksAhead) {
            worth += kFollowerWeight * followingWorth(own, versus, option, from, measured, span - option.arrival);
        }
        if (option.star == targetStar) currentWorth = worth;
        if (worth > bestWorth) {
            bestWorth = worth;
            best = option.star;
        }
    }
    if (targetStar < 0 || bestWorth > currentWorth + traits.switchMargin) {
        targetStar = best;
        const Star& chosen = stars[static_cast<size_t>(best)];
        targetPlace[0] = chosen.x;
        targetPlace[1] = chosen.y;
        targetPlace[2] = chosen.z;
    }
    drawAimError();
}

// Seconds to reach the star as this pilot reckons them; negative when out of reach.
double Pilot::arrivalTime(const Waypoint& point, const Body& from) const {
    return traits.flyingTime ? earliestArrival(from, point, limits, arrivalHorizon(limits))
                             : ringDistance(from.position, point.place, limits.halfSpan) / kDistanceSpeed;
}

// Seconds the opponent takes off a capture: a free star it reaches first is
// lost, and one of its own near its path would soon be taken back.
double Pilot::opponentDelay(const Star& star, const Waypoint& point, double seconds, const PlayerState* rival) const {
    if (!rival) return 0.0;
    const double theirs = earliestArrival(bodyOf(*rival), point, limits, arrivalHorizon(limits));
    if (theirs < 0.0) return 0.0;
    if (star.owner == 0.0f && theirs < seconds) return kLostRaceSeconds;
    if (star.owner == 2.0f) return kRetakeSeconds * std::exp(-theirs / kRetakeReach);
    return 0.0;
}

// The worth of the best star after `first`, flown from the place and velocity
// the ship would have on getting there, with `spanLeft` of the race span left.
// Only the few among `candidates` nearest to it are measured.
double Pilot::followingWorth(const PlayerState& own, bool versus, const Option& first, const Body& from,
                             const std::vector<int>& candidates, double spanLeft) const {
    static_assert(
        [] {
            for (BotLevel level : kBotLevels) {
                if (traitsFor(level).looksAhead && !traitsFor(level).flyingTime) return false;
            }
            return true;
        }(),
        "the first leg's flight is the one reckoned for the choice: only flying time will do");
    const int star = first.star;
    const double seconds = first.flight;
    const std::vector<Star>& stars = own.stars();
    const Waypoint point = waypointOf(stars[static_cast<size_t>(star)], limits);
    const double* place = point.place;
    const double horizon = arrivalHorizon(limits);
    Body there{{place[0], place[1], place[2]}, {0.0, 0.0, 0.0}};
    for (int axis = 0; axis < 3; ++axis) {
        const double d = aimOnAxis(from, point, axis, seconds, limits);
        there.velocity[axis] = arrivalVelocity(from.velocity[axis], d, point.tolerance[axis], seconds, limits);
    }
    std::vector<std::pair<double, int>> byDistance;
    for (int j : candidates) {
        if (j == star) continue;
        double next[3];
        placeOf(stars[static_cast<size_t>(j)], next);
        byDistance.emplace_back(ringDistance(place, next, limits.halfSpan), j);
    }
    double best = 0.0;
    for (int j : nearestIndices(std::move(byDistance), kLookAheadFollowers)) {
        const Star& next = stars[static_cast<size_t>(j)];
        const double t = earliestArrival(there, waypointOf(next, limits), limits, horizon);
        if (t >= 0.0) best = std::max(best, starValue(next, versus) * (spanLeft - t));
    }
    return best;
}

// A direction and size within the unit ball, times the level's share: until
// the next look the aim is off by that share of the distance still to fly.
void Pilot::drawAimError() {
    if (traits.aimError <= 0.0) return;
    // Straight from the generator's words, so a seed gives the same aim everywhere.
    const auto unit = [this] { return static_cast<double>(random()) / 2147483648.0 - 1.0; };
    double x = 0.0, y = 0.0, z = 0.0;
    do {
        x = unit();
        y = unit();
        z = unit();
    } while (x * x + y * y + z * z > 1.0);
    aimError[0] = x * traits.aimError;
    aimError[1] = y * traits.aimError;
    aimError[2] = z * traits.aimError;
}

// Every axis aims to reach the star at the earliest moment all of them can,
// so the ship flies through it rather than past it.
Steering Pilot::steer(const PlayerState& own, double stepSeconds) {
    const Body from = bodyOf(own);
    double aim[3];
    placeOf(own.stars()[static_cast<size_t>(targetStar)], aim);
    const double distance = ringDistance(from.position, aim, limits.halfSpan);
    for (int axis = 0; axis < 3; ++axis) aim[axis] += aimError[axis] * distance;
    const Waypoint point = waypointFor(aim, limits);
    const double horizon = arrivalHorizon(limits);
    double seconds = earliestArrival(from, point, limits, horizon);
    if (seconds < 0.0) seconds = horizon;
    int thrust[3];
    for (int axis = 0; axis < 3; ++axis) {
        const double d = aimOnAxis(from, point, axis, seconds, limits);
        thrust[axis] = arrivalThrust(from.velocity[axis], d, point.tolerance[axis], seconds, stepSeconds, limits);
    }
    return thrustKeys(thrust[0], thrust[1], thrust[2]);
}

// Nothing to take: come to rest, ready for the next star.
Steering Pilot::brake(const PlayerState& own, double stepSeconds) const {
    const Body from = bodyOf(own);
    const double still = 0.5 * limits.accel * stepSeconds;
    int thrust[3];
    for (int axis = 0; axis < 3; ++axis) {
        const double v = from.velocity[axis];
        thrust[axis] = v > still ? -1 : (v < -still ? 1 : 0);
    }
    return thrustKeys(thrust[0], thrust[1], thrust[2]);
}
