#pragma once
// How a ship can move, as the pilot plans it. Each axis is on its own: a thrust
// of +-accel or none, the speed capped, and the position on a ring of length 2D
// because the arena's faces wrap. Positions are in thrust coordinates (world x,
// y and -z), in which every axis moves by its own velocity component and each
// movement key adds to that component.

#include "settings/settings.h"
#include "world/player_state.h"

struct FlightLimits {
    double accel = GameSettings().sensitivity;  // units/s^2 while an axis's key is held
    double maxSpeed = PlayerState::kMaxSpeed;   // per axis
    double halfSpan = 20.0;                     // D
};

struct Body {
    double position[3];
    double velocity[3];
};

// Where to fly on each axis, and how far off still counts as there.
struct Waypoint {
    double place[3];
    double tolerance[3];
};

// The waypoint for taking a star at `place`. Capture measures the plain distance,
// not the distance round the ring: a ship just past a face is far from a star
// on it. So the aim, with its tolerance, stays clear of the faces.
Waypoint waypointFor(const double place[3], const FlightLimits& limits);

// The shortest displacement from `from` to `to` on the ring, within +-halfSpan.
double ringDelta(double from, double to, double halfSpan);

// The displacement full thrust forwards gives in `seconds` from speed `v`.
double farthestReach(double v, double seconds, const FlightLimits& limits);

// The longest any arrival can take on this arena: beyond it, a place is unreachable.
double arrivalHorizon(const FlightLimits& limits);

// The earliest time, in seconds, at which the body can be within tolerance of
// `target` on every axis at once, the wrap counted; -1 when beyond `horizon`.
double earliestArrival(const Body& body, const Waypoint& target, const FlightLimits& limits, double horizon);

// For one axis arriving in `seconds`: the displacement to fly, choosing among
// the target's images on the ring the one reachable with the least change of velocity.
double aimDisplacement(double position, double velocity, double target, double tolerance, double seconds,
                       const FlightLimits& limits);

// The thrust (-1, 0 or +1) that brings one axis to `displacement` in `seconds`:
// it corrects the miss that coasting would leave at once, then coasts, so that
// all axes arrive together instead of one overshooting while another catches up.
int arrivalThrust(double velocity, double displacement, double tolerance, double seconds, double stepSeconds,
                  const FlightLimits& limits);

// The velocity that axis has when it gets there under arrivalThrust.
double arrivalVelocity(double velocity, double displacement, double tolerance, double seconds,
                       const FlightLimits& limits);
