#include <gtest/gtest.h>

#include "app/input.h"

namespace {

KeyAction press(InputState& input, SDLKey key) { return applyKey(input, key, true); }
KeyAction release(InputState& input, SDLKey key) { return applyKey(input, key, false); }

}  // namespace

TEST(KeyTable, XYZPickTheirDirectionWithLeftShiftAndReleaseBoth) {
    InputState input;
    press(input, SDLK_RSHIFT);  // only Left Shift counts
    press(input, SDLK_x);
    press(input, SDLK_y);
    press(input, SDLK_z);
    EXPECT_TRUE(input.right && input.s && input.down);
    EXPECT_FALSE(input.left || input.w || input.up);
    press(input, SDLK_LSHIFT);
    press(input, SDLK_x);
    press(input, SDLK_y);
    press(input, SDLK_z);
    EXPECT_TRUE(input.left && input.w && input.up);
    release(input, SDLK_LSHIFT);  // letting Shift go first changes nothing
    release(input, SDLK_x);
    release(input, SDLK_y);
    release(input, SDLK_z);
    EXPECT_FALSE(input.left || input.right || input.w || input.s || input.up || input.down);
}

TEST(KeyTable, ActionsComeOnPressOrReleaseAsBound) {
    InputState input;
    EXPECT_EQ(press(input, SDLK_RETURN), KeyAction::ResetShip);
    EXPECT_EQ(release(input, SDLK_RETURN), KeyAction::None);
    EXPECT_EQ(press(input, SDLK_BACKSPACE), KeyAction::None);
    const std::pair<SDLKey, KeyAction> onRelease[] = {{SDLK_BACKSPACE, KeyAction::NewMatch},
                                                      {SDLK_m, KeyAction::ToggleMusic},
                                                      {SDLK_l, KeyAction::Listen},
                                                      {SDLK_c, KeyAction::Connect},
                                                      {SDLK_o, KeyAction::Disconnect},
                                                      {SDLK_k, KeyAction::None}};
    for (const auto& [key, action] : onRelease) EXPECT_EQ(release(input, key), action) << key;
    press(input, SDLK_SPACE);
    release(input, SDLK_SPACE);
    EXPECT_TRUE(input.freeCamera);
    press(input, SDLK_SPACE);
    EXPECT_FALSE(input.freeCamera);
}
