#pragma once
// One player's view of the game: the ship, the star field with its owners, both
// players' star counts and energies, and the match clock. A match keeps two: the
// local state (its own ship and the field) and the remote mirror (the opponent's
// ship as received from the peer, moved between messages).
//
// The world does no input or output. It advances from what it is given (its
// clock, its random source, the steering, what the peer said) and reports what
// happened as events; the match turns them into messages and the game into sounds.

#include <cstdint>
#include <string>
#include <vector>

#include "base/random.h"
#include "base/timer.h"
#include "render/frame.h"

// owner: 0 free, 1 held by this side, 2 held by the opponent.
struct Star {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    float r = 0.0f, g = 0.0f, b = 0.0f;
    float owner = 0.0f;
};

// Units per second along the world axes; a positive z flies towards negative world Z.
struct Velocity {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

// A positive vz moves the ship towards negative world Z (its own -Z is forward).
struct Ship {
    Frame frame;
    float vx = 0.0f, vy = 0.0f, vz = 0.0f;  // units per second, each within +-15
    float dx = 0.0f, dy = 0.0f, dz = 0.0f;  // the latest update's displacement
};

// The race as the host counts it: the stars it holds and both energies, its own first.
struct Score {
    int32_t held = 0;
    int32_t ownEnergy = 0;
    int32_t opponentEnergy = 0;
};

// What one step of the world did.
struct WorldEvent {
    enum Kind {
        Captured,  // this side's ship took `star`
        Wrapped,   // the ship left through a face and came in at the opposite one
        MatchOver, // an energy reached 0, or alone, the last star was taken
    };
    Kind kind = Captured;
    int32_t star = -1;
};
using WorldEvents = std::vector<WorldEvent>;

// How this side plays the match it holds.
enum class MatchRole {
    Alone,  // nobody is connected: a time trial that ends with the last star
    Host,   // a guest is connected: this side drains the energies and ends the match
    Guest,  // joined to a host, who says when the match is over
};

class PlayerState {
public:
    static constexpr int32_t kStartEnergy = 500;
    static constexpr float kMaxSpeed = 15.0f;      // units per second, on each velocity component
    static constexpr float kCaptureRadius = 1.5f;  // a ship nearer than this to a star takes it

    // The clock and the random source are borrowed for the state's whole life.
    // A new state holds no field until its first newMatch().
    PlayerState(bool local, const Clock& clock, RandomSource& random);

    void toggleSkin();
    void setMapSize(int32_t size);
    int32_t mapSize() const;
    void setStarRange(int32_t minStars, int32_t maxStars);

    // Matches.
    void newMatch();     // a new field (the local state), nobody's stars, a fresh match
    void splitStars();   // half the field each: the start of a game as server
    // A new match on the field held now: the clock from 0, the ship at the
    // centre, both energies full and no end yet. The owners stay as they are.
    void restartMatch();
    void resetShip();

    // Heads-up queries.
    int32_t ownStars() const;
    int32_t opponentStars() const;
    int32_t ownEnergy() const;
    int32_t opponentEnergy() const;
    bool isMatchOver() const;
    int32_t matchTime() const;  // the frozen length once over, else the running clock
    uint32_t matchNumber() const { return matchesStarted; }  // one more at each start: tells a new match

    // Steering and time.
    void addVelocity(float dvx, float dvy, float dvz);  // each component clamped to +-15
    void rotateShip(float degrees, float ax, float ay, float az);
    // The energy tick, then the ship's step, as `role` plays; what happened is
    // added to `events`. Only a host drains energy; it stops at 0, and that ends
    // the match.
    void update(MatchRole role, WorldEvents& events);
    // The peer took a star; false (nothing changed) for an index outside the
    // field or a star the opponent holds already.
    bool starTakenByOpponent(int32_t index);

    // What the peer is told, and what it told us (the host's field, owners and
    // score as the host sees them: this side mirrors them).
    Velocity velocity() const;
    Score score() const;
    // The other ship as its side last told it. A frame sent `ageMs` ago is moved
    // on by the ship's velocity to where the ship should be now; the difference
    // from where it was shown is worked off over the next moments, the shortest
    // way across the faces. A ship that stops telling holds its place.
    void applyFrame(const Frame& frame, uint32_t ageMs = 0);
    // A velocity sent `ageMs` ago: the ship has flown with it since. Each component clamped to +-15.
    void applyVelocity(const Velocity& velocity, uint32_t ageMs = 0);
    // The host's field: its size and stars with the host's owners.
    void applyField(int32_t size, const std::vector<Star>& hostStars);
    // The host's owners, index by index; a list shorter than the field leaves the
    // rest alone. A star this side took stays its own until a list shows the
    // host has heard of it (or the host takes it back): a list that still shows
    // it as the host's was written before the notice arrived.
    void applyOwners(const std::vector<float>& hostOwners);
    // The host's counts and energies; an energy of 0 (or less, from an older
    // host) is how the guest learns that the match is over.
    void applyScore(const Score& hostScore, WorldEvents& events);

    const std::vector<Star>& stars() const { return starField; }
    const Ship& ship() const { return shownShip; }  // the ship as shown, on the other side an estimate
    int32_t starCount() const { return starTotal; }
    bool alternateSkin() const { return secondSkin; }

private:
    void generateStars();
    void setVelocity(float vx, float vy, float vz);  // each component clamped to +-15
    void tickEnergy(MatchRole role, WorldEvents& events);
    void stepShip(MatchRole role, WorldEvents& events);
    void wrapAtFaces(WorldEvents& events);
    void captureStars(MatchRole role, WorldEvents& events);
    void orientAlongVelocity();
    void endMatch(WorldEvents& events);
    void recount();
    void refreshShown();
    void workOffCorrection(int32_t ms);
    bool holdsPlace();

    const Clock& clock;
    RandomSource& random;
    std::vector<Star> starField;
    std::vector<int64_t> unconfirmed;  // when this side took a star the host has not shown as ours yet; -1 none
    int32_t matchOverTime = 0;
    uint32_t matchesStarted = 0;
    Timer frameTimer;
    int32_t minStars = 30;
    int32_t maxStars = 50;
    int32_t arenaSize = 20;
    int32_t ownStarCount = 0;
    int32_t starTotal = 0;
    int32_t ownEnergyLeft = kStartEnergy;
    int32_t opponentEnergyLeft = kStartEnergy;
    Ship playerShip;
    Ship shownShip;
    float correction[3] = {0.0f, 0.0f, 0.0f};  // shown minus estimated, worked off over time
    Timer newsTimer;  // since the other side last told where its ship is
    int32_t captureUnit = 1;
    bool secondSkin = false;
    bool local;
    Timer energyTimer;
    mutable Timer matchClock;
};
