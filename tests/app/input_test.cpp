#include <gtest/gtest.h>

#include "app/input.h"

namespace {

KeyAction press(InputState& input, SDLKey key) { return applyKey(input, key, true); }
KeyAction release(InputState& input, SDLKey key) { return applyKey(input, key, false); }

}  // namespace

TEST(KeyTable, ArrowsAndLettersHoldUntilReleased) {
    InputState input;
    press(input, SDLK_UP);
    press(input, SDLK_a);
    press(input, SDLK_e);
    EXPECT_TRUE(input.up);
    EXPECT_TRUE(input.a);
    EXPECT_TRUE(input.e);
    release(input, SDLK_UP);
    release(input, SDLK_a);
    EXPECT_FALSE(input.up);
    EXPECT_FALSE(input.a);
    EXPECT_TRUE(input.e);
}

TEST(KeyTable, XYZPickTheirDirectionWithLeftShift) {
    InputState input;
    press(input, SDLK_x);
    press(input, SDLK_y);
    press(input, SDLK_z);
    EXPECT_TRUE(input.right);
    EXPECT_TRUE(input.s);
    EXPECT_TRUE(input.down);
    press(input, SDLK_LSHIFT);
    press(input, SDLK_x);
    press(input, SDLK_y);
    press(input, SDLK_z);
    EXPECT_TRUE(input.left);
    EXPECT_TRUE(input.w);
    EXPECT_TRUE(input.up);
    // Releasing Shift first does not matter: x clears both of its directions.
    release(input, SDLK_LSHIFT);
    release(input, SDLK_x);
    EXPECT_FALSE(input.left);
    EXPECT_FALSE(input.right);
    release(input, SDLK_y);
    release(input, SDLK_z);
    EXPECT_FALSE(input.w || input.s || input.up || input.down);
}

TEST(KeyTable, RightShiftDoesNotCountAsShift) {
    InputState input;
    press(input, SDLK_RSHIFT);
    press(input, SDLK_x);
    EXPECT_FALSE(input.shift);
    EXPECT_TRUE(input.right);
    EXPECT_FALSE(input.left);
}

TEST(KeyTable, SpaceTogglesTheFreeCameraOnEachPress) {
    InputState input;
    press(input, SDLK_SPACE);
    release(input, SDLK_SPACE);
    EXPECT_TRUE(input.freeCamera);
    press(input, SDLK_SPACE);
    EXPECT_FALSE(input.freeCamera);
}

TEST(KeyTable, ActionsComeOnPressOrReleaseAsBound) {
    InputState input;
    EXPECT_EQ(press(input, SDLK_RETURN), KeyAction::ResetShip);
    EXPECT_EQ(release(input, SDLK_RETURN), KeyAction::None);
    EXPECT_EQ(press(input, SDLK_BACKSPACE), KeyAction::None);
    EXPECT_EQ(release(input, SDLK_BACKSPACE), KeyAction::NewMatch);
    EXPECT_EQ(press(input, SDLK_m), KeyAction::None);
    EXPECT_EQ(release(input, SDLK_m), KeyAction::ToggleMusic);
    EXPECT_EQ(release(input, SDLK_l), KeyAction::Listen);
    EXPECT_EQ(release(input, SDLK_c), KeyAction::Connect);
    EXPECT_EQ(release(input, SDLK_o), KeyAction::Disconnect);
    EXPECT_EQ(press(input, SDLK_F1), KeyAction::None);
    EXPECT_EQ(release(input, SDLK_k), KeyAction::None);
}
