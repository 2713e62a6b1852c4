#pragma once
// The computer opponent's pilot. From what its side of the match knows (its own
// state with the star field and the opponent's mirrored ship), it chooses a star
// and holds the movement keys for the next movement step, as a player would.

#include <cstdint>
#include <random>
#include <vector>

#include "settings/settings.h"
#include "settings/bot_level.h"
#include "bot/flight_model.h"
#include "world/steering.h"

class PlayerState;
struct Star;

class Pilot : public Flier {
public:
    // `sensitivity` is the game's setting: the thrust a held key gives per second.
    Pilot(BotLevel level, uint32_t seed, float sensitivity = GameSettings().sensitivity);

    // The keys to hold for the next movement step. `versus` is true while a peer
    // plays the other ship; `nowMs` is the game's millisecond clock.
    Steering decide(const PlayerState& own, const PlayerState& opponent, bool versus, uint32_t nowMs) override;

    BotLevel level() const { return botLevel; }

private:
    struct Traits {
        uint32_t reactionMs;  // from losing its star to choosing the next
        uint32_t replanMs;    // how often it reconsiders its choice
        double aimError;      // aim off by up to this share of the distance, in a direction drawn at each look
        bool flyingTime;      // measures stars by flying time, else by distance
        bool looksAhead;      // weighs the star it could take after this one
        bool watchesOpponent;
        double switchMargin;  // worth a new choice must gain to drop a star not yet taken
    };

    // A star it could fly to next.
    struct Option {
        double flight;   // s to get there, as this pilot reckons them
        double arrival;  // s, with what the opponent takes off
        double value;    // 2 for the opponent's star in a match, else 1
        int star;
        double worth;
    };

    static constexpr Traits traitsFor(BotLevel level);

    bool targetStillValid(const PlayerState& own) const;
    void choose(const PlayerState& own, const PlayerState& opponent, bool versus, uint32_t nowMs);
    double arrivalTime(const Waypoint& point, const Body& from) const;
    double opponentDelay(const Star& star, const Waypoint& point, double seconds, const PlayerState* rival) const;
    double followingWorth(const PlayerState& own, bool versus, const Option& first, const Body& from,
                          const std::vector<int>& candidates, double spanLeft) const;
    void drawAimError();
    Steering steer(const PlayerState& own, double stepSeconds);
    Steering brake(const PlayerState& own, double stepSeconds) const;

    BotLevel botLevel;
    Traits traits;
    FlightLimits limits;
    std::mt19937 random;
    int targetStar = -1;
    float targetPlace[3] = {0.0f, 0.0f, 0.0f};  // tells a new field from the old one
    double aimError[3] = {0.0, 0.0, 0.0};  // share of the distance, in thrust coordinates
    bool hasClock = false;
    uint32_t lastMs = 0;
    uint32_t lostSinceMs = 0;
    uint32_t nextReplanMs = 0;
};
