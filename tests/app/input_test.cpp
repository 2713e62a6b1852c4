#include <gtest/gtest.h>

#include "app/input.h"

namespace {

const KeyBindings kDefaults;

KeyAction press(InputState& input, SDLKey key, const KeyBindings& keys = kDefaults) {
    return applyKey(input, keys, key, true);
}
KeyAction release(InputState& input, SDLKey key, const KeyBindings& keys = kDefaults) {
    return applyKey(input, keys, key, false);
}

}  // namespace

TEST(KeyTable, XYZPickTheirDirectionWithTheReverseKeyAndReleaseBoth) {
    InputState input;
    const Steering& held = input.held;
    const SDLKey axes[] = {SDLK_x, SDLK_y, SDLK_z};
    press(input, SDLK_RSHIFT);  // only Left Shift reverses
    for (SDLKey key : axes) press(input, key);
    EXPECT_TRUE(held.right && held.down && held.back && !held.left && !held.up && !held.forward);
    press(input, SDLK_LSHIFT);
    for (SDLKey key : axes) press(input, key);
    EXPECT_TRUE(held.left && held.up && held.forward);
    release(input, SDLK_LSHIFT);  // letting the reverse key go first changes nothing
    for (SDLKey key : axes) release(input, key);
    EXPECT_FALSE(held.left || held.right || held.up || held.down || held.forward || held.back);
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

TEST(KeyTable, ReboundKeysActAndEscapeAndF1StayTheGames) {
    KeyBindings keys;
    keys.bindSwapping(Action::Music, SDLK_k);
    keys.bindSwapping(Action::Up, SDLK_UP);  // thrust forward takes w
    keys.bindSwapping(Action::KeysPanel, SDLK_h);
    InputState input;
    EXPECT_TRUE(release(input, SDLK_k, keys) == KeyAction::ToggleMusic && release(input, SDLK_m, keys) == KeyAction::None);
    press(input, SDLK_UP, keys);
    press(input, SDLK_w, keys);
    EXPECT_TRUE(input.held.up && input.held.forward && !input.held.down);
    EXPECT_TRUE(press(input, SDLK_h, keys) == KeyAction::ToggleKeys && press(input, SDLK_F1, keys) == KeyAction::ToggleKeys);
    EXPECT_EQ(press(input, SDLK_ESCAPE, keys), KeyAction::OpenOptions);
}
