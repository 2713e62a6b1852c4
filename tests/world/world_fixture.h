#pragma once
// Shared set-up of the world tests: a GL context (ship turns use GL's matrix stack), a
// controlled clock, and helpers that drive a PlayerState only through its public interface.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "app/text.h"
#include "render/frame.h"
#include "tests/support/fake_clock.h"
#include "tests/support/gl_window.h"
#include "world/player_state.h"

class WorldTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(openTestWindow()); }

    // One motion step of `ms`: the first update arms the step timer, the second moves.
    void step(PlayerState& state, uint32_t ms) {
        state.update();
        clock.advance(ms);
        state.update();
    }

    FakeClock clock;
};

inline void placeShip(PlayerState& state, float x, float y, float z) {
    state.applyFrameText(frameToText(Frame(x, y, z)));
}

// A field of 30 away from the ship's start, `held` of them on this side.
inline void holdStars(PlayerState& state, int held) {
    std::string list = "20,30";
    for (int i = 0; i < 30; ++i) list += "," + toText(i - 15) + ",10,10," + (i < held ? "2" : "1");
    ASSERT_TRUE(state.applyStarListText(list));
}
