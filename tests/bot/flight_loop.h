#pragma once
// The game's loop without a window, on a clock the test moves: every 10 ms the
// states update, and once more than 10 ms have passed the pilot's keys make one
// movement step, as the game applies the held keys.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>

#include "app/text.h"
#include "app/timer.h"
#include "bot/pilot.h"
#include "render/frame.h"
#include "tests/support/fake_clock.h"
#include "world/player_state.h"
#include "world/steering.h"

constexpr float kSensitivity = 5.0f;  // the game's default

class FlightLoop {
public:
    FlightLoop(FakeClock& clock, PlayerState& own, PlayerState& opponent, Pilot& pilot, bool versus = false)
        : clock(clock), own(own), opponent(opponent), pilot(pilot), versus(versus) {}

    std::function<void()> afterUpdate;
    std::function<void(int32_t ms)> afterStep;
    bool checkUntouched = false;  // fails the test when a decision changes what the pilot sees

    // Runs until `done` or for `limitMs` of game time.
    void runUntil(const std::function<bool()>& done, uint32_t limitMs) {
        Timer updateTimer, moveTimer;
        updateTimer.start();
        moveTimer.start();
        for (uint32_t passed = 0; passed < limitMs && !done(); ++passed) {
            clock.advance(1);
            if (updateTimer.elapsed() >= 10) {
                updateTimer.restart();
                own.update();
                if (versus) opponent.update();
                if (afterUpdate) afterUpdate();
            }
            if (moveTimer.elapsed() > 10) step(moveTimer.restart());
        }
    }

private:
    void step(int32_t ms) {
        const std::string before = checkUntouched ? seen() : std::string();
        const Steering keys = pilot.decide(own, opponent, versus, currentTicks());
        if (checkUntouched) {
            EXPECT_EQ(seen(), before) << "the pilot changed the state";
        }
        steerShip(own, keys, kSensitivity, ms);
        if (afterStep) afterStep(ms);
    }

    std::string seen() const {
        return own.frameText() + own.velocityText() + own.starListText() + own.scoreText() + opponent.frameText() +
               opponent.velocityText();
    }

    FakeClock& clock;
    PlayerState& own;
    PlayerState& opponent;
    Pilot& pilot;
    bool versus;
};

// A default field (30 to 50 stars in an arena of 20), the same for the same seed.
inline void newField(PlayerState& state, unsigned seed) {
    std::srand(seed);
    state.newMatch();
}

inline void placeShip(PlayerState& state, float x, float y, float z, const std::string& velocity = "0,0,0") {
    state.applyFrameText(frameToText(Frame(x, y, z)));
    state.applyVelocityText(velocity);
}
