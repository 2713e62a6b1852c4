#include <gtest/gtest.h>

#include "app/input.h"

namespace {

KeyAction press(InputState& input, SDLKey key) { return applyKey(input, key, true); }
KeyAction release(InputState& input, SDLKey key) { return applyKey(input, key, false); }

}  // namespace

TEST(KeyTable, XYZPickTheirDirectionWithLeftShiftAndReleaseBoth) {
    InputState input;
    const SDLKey axes[] = {SDLK_x, SDLK_y, SDLK_z};
    press(input, SDLK_RSHIFT);  // only Left Shift counts
    for (SDLKey key : axes) press(input, key);
    EXPECT_TRUE(input.right && input.s && input.down && !input.left && !input.w && !input.up);
    press(input, SDLK_LSHIFT);
    for (SDLKey key : axes) press(input, key);
    EXPECT_TRUE(input.left && input.w && input.up);
    release(input, SDLK_LSHIFT);  // letting Shift go first changes nothing
    for (SDLKey key : axes) release(input, key);
    EXPECT_FALSE(input.left || input.right || input.w || input.s || input.up || input.down);
}

TEST(KeyTable, ActionsComeOnPressOrReleaseAsBound) {
    InputState input;
    EXPECT_TRUE(press(input, SDLK_RETURN) == KeyAction::ResetShip && release(input, SDLK_RETURN) == KeyAction::None);
    EXPECT_EQ(press(input, SDLK_BACKSPACE), KeyAction::None);
    const std::pair<SDLKey, KeyAction> onRelease[] = {{SDLK_BACKSPACE, KeyAction::NewMatch},
                                                      {SDLK_m, KeyAction::ToggleMusic},
                                                      {SDLK_k, KeyAction::None}};
    for (const auto& [key, action] : onRelease) EXPECT_EQ(release(input, key), action) << key;
    press(input, SDLK_SPACE);
    release(input, SDLK_SPACE);
    EXPECT_TRUE(input.freeCamera);
    press(input, SDLK_SPACE);
    EXPECT_FALSE(input.freeCamera);
}
