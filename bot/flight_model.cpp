#include "bot/flight_model.h"

#include <cmath>

namespace {

// The scan for the earliest arrival starts finer than the shortest pass through
// a star at full speed and coarsens with the time ahead, so that a large arena
// costs a few hundred steps at most.
constexpr double kFirstScanStep = 0.05;  // s
constexpr double kScanStepGrowth = 0.01;  // s per s ahead
constexpr int kRefineSteps = 6;
// Within these tolerances a ship is inside the capture radius however the
// misses combine: three of 0.6 give 1.04, three of 0.65 (0.3 beside the aim
// and 0.35 from it to a star on a face) give 1.13.
constexpr double kOpenTolerance = 0.6;
constexpr double kFaceTolerance = 0.3;
constexpr double kFaceClearance = 0.05;
constexpr double kWorstMiss = 2.0 * kFaceTolerance + kFaceClearance;  // per axis
static_assert(kOpenTolerance <= kWorstMiss &&
                  3.0 * kWorstMiss * kWorstMiss < PlayerState::kCaptureRadius * PlayerState::kCaptureRadius,
              "a ship within the tolerances on every axis must be inside the capture radius");

double clampSpeed(double v, const FlightLimits& limits) {
    return std::fmax(-limits.maxSpeed, std::fmin(limits.maxSpeed, v));
}

// The range of displacements one axis can reach in `seconds`, widened by the tolerance.
void reachRange(double v, double tolerance, double seconds, const FlightLimits& limits, double& low,
                double& high) {
    high = farthestReach(v, seconds, limits) + tolerance;
    low = -farthestReach(-v, seconds, limits) - tolerance;
}

bool axisCanArrive(double delta, double v, double tolerance, double seconds, const FlightLimits& limits) {
    double low = 0.0;
    double high = 0.0;
    reachRange(v, tolerance, seconds, limits, low, high);
    const double span = 2.0 * limits.halfSpan;
    const double image = delta + span * std::ceil((low - delta) / span);  // the first image not below `low`
    return image <= high;
}

bool canArrive(const double delta[3], const double tolerance[3], const Body& body, double seconds,
               const FlightLimits& limits) {
    for (int axis = 0; axis < 3; ++axis) {
        if (!axisCanArrive(delta[axis], body.velocity[axis], tolerance[axis], seconds, limits)) {
            return false;
        }
    }
    return true;
}

// Narrows the first arrival down to between a time that cannot make it and one that can.
double refineArrival(const double delta[3], const double tolerance[3], const Body& body, double early, double late,
                     const FlightLimits& limits) {
    for (int r = 0; r < kRefineSteps; ++r) {
        const double middle = 0.5 * (early + late);
        (canArrive(delta, tolerance, body, middle, limits) ? late : early) = middle;
    }
    return late;
}

}  // namespace

Waypoint waypointFor(const double place[3], const FlightLimits& limits) {
    Waypoint point{};
    const double open = limits.halfSpan - kOpenTolerance - kFaceClearance;
    const double nearFace = limits.halfSpan - kFaceTolerance - kFaceClearance;
    for (int axis = 0; axis < 3; ++axis) {
        const double p = place[axis];
        const bool clear = std::fabs(p) <= open;
        point.tolerance[axis] = clear ? kOpenTolerance : kFaceTolerance;
        point.place[axis] = clear ? p : std::fmax(-nearFace, std::fmin(nearFace, p));
    }
    return point;
}

double ringDelta(double from, double to, double halfSpan) {
    const double span = 2.0 * halfSpan;
    const double d = to - from;
    return d - span * std::round(d / span);
}

double farthestReach(double v, double seconds, const FlightLimits& limits) {
    const double a = limits.accel;
    const double toCap = std::fmax(0.0, (limits.maxSpeed - v) / a);
    if (seconds <= toCap) {
        return v * seconds + 0.5 * a * seconds * seconds;
    }
    return v * toCap + 0.5 * a * toCap * toCap + limits.maxSpeed * (seconds - toCap);
}

double arrivalHorizon(const FlightLimits& limits) {
    // Turn round from full speed, then cross the ring twice at full speed.
    return 2.0 * limits.maxSpeed / limits.accel + 4.0 * limits.halfSpan / limits.maxSpeed + 1.0;
}

double earliestArrival(const Body& body, const Waypoint& target, const FlightLimits& limits, double horizon) {
    double delta[3];
    for (int axis = 0; axis < 3; ++axis) {
        delta[axis] = ringDelta(body.position[axis], target.place[axis], limits.halfSpan);
    }
    const double* tolerance = target.tolerance;
    if (canArrive(delta, tolerance, body, 0.0, limits)) {
        return 0.0;
    }
    double early = 0.0;
    while (early < horizon) {
        const double late = early + kFirstScanStep + kScanStepGrowth * early;
        if (canArrive(delta, tolerance, body, late, limits)) {
            return refineArrival(delta, tolerance, body, early, late, limits);
        }
        early = late;
    }
    return -1.0;
}

double aimDisplacement(double position, double velocity, double target, double tolerance, double seconds,
                       const FlightLimits& limits) {
    double low = 0.0;
    double high = 0.0;
    reachRange(velocity, tolerance, seconds, limits, low, high);
    const double span = 2.0 * limits.halfSpan;
    const double delta = ringDelta(position, target, limits.halfSpan);
    const double coast = velocity * seconds;
    // Images from one below the reachable range to one above it; the reachable
    // one nearest to where coasting ends wins, else the one nearest the range.
    const int first = static_cast<int>(std::floor((low - delta) / span));
    const int last = static_cast<int>(std::ceil((high - delta) / span));
    double best = delta;
    double bestOutside = 1e300;
    double bestChange = 1e300;
    for (int k = first; k <= last; ++k) {
        const double image = delta + k * span;
        const double outside = std::fmax(0.0, std::fmax(low - image, image - high));
        const double change = std::fabs(image - coast);
        if (outside < bestOutside || (outside == bestOutside && change < bestChange)) {
            best = image;
            bestOutside = outside;
            bestChange = change;
        }
    }
    return best;
}

int arrivalThrust(double velocity, double displacement, double tolerance, double seconds, double stepSeconds,
                  const FlightLimits& limits) {
    const double miss = displacement - velocity * seconds;  // where coasting would leave us
    // One step of thrust moves the miss by accel * step * seconds; a band of half
    // that keeps the keys from flickering round the aim.
    const double band = std::fmax(tolerance, 0.5 * limits.accel * stepSeconds * seconds);
    if (miss > band) {
        return 1;
    }
    if (miss < -band) {
        return -1;
    }
    return 0;
}

double arrivalVelocity(double velocity, double displacement, double tolerance, double seconds,
                       const FlightLimits& limits) {
    const double miss = displacement - velocity * seconds;
    const double toCorrect = std::fabs(miss) - tolerance;
    if (toCorrect <= 0.0 || seconds <= 0.0) {
        return velocity;
    }
    // Thrusting for t shifts the arrival by accel * (seconds * t - t^2 / 2).
    const double rest = seconds * seconds - 2.0 * toCorrect / limits.accel;
    const double thrustTime = rest > 0.0 ? seconds - std::sqrt(rest) : seconds;
    return clampSpeed(velocity + (miss > 0.0 ? 1.0 : -1.0) * limits.accel * thrustTime, limits);
}
