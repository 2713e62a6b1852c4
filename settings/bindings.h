#pragma once
// The keys and gamepad buttons of the player's choosing: which key does each
// action of the game, and which button each of the pad's. In config.txt a key
// is named by SDL's name for it ("left shift"), which SDL knows once its video
// has started. Escape (the options) and F1 (the key panel) are the game's own:
// no other action can take them.

#include <SDL.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

enum class Action {
    Forward, Back, Left, Right, Up, Down,  // thrust
    TurnLeft, TurnRight, RollLeft, RollRight,
    AxisX, AxisY, AxisZ,  // thrust right, down, back; with Reverse held left, up, forward
    Reverse,
    Centre, FreeCamera, NewMatch, Music, Listen, Join, Connect, Computer, Disconnect, KeysPanel,
};
constexpr size_t kActionCount = static_cast<size_t>(Action::KeysPanel) + 1;

struct ActionInfo {
    const char* configKey;  // its key in config.txt, e.g. "keyforward"
    const char* label;      // what it does, as the options screen names it
    SDLKey defaultKey;
};
const ActionInfo& actionInfo(Action action);

class KeyBindings {
public:
    SDLKey key(Action action) const { return keys[static_cast<size_t>(action)]; }
    // The action `key` is bound to; false when none is.
    bool actionFor(SDLKey key, Action& action) const;
    // Why `key` cannot do `action`, e.g. "escape opens the options"; "" when
    // it can. F1 goes to no action but the key panel, by a swap neither.
    std::string refusal(Action action, SDLKey key) const;
    // Binds `key` to `action`. The action it was bound to, if any, takes the
    // action's old key, so that no key does two actions.
    void bindSwapping(Action action, SDLKey key);
    bool operator==(const KeyBindings& other) const { return keys == other.keys; }

private:
    std::array<SDLKey, kActionCount> keys = defaults();
    static std::array<SDLKey, kActionCount> defaults();
};

// SDL's name for the key, e.g. "left shift", as config.txt holds it.
std::string keyName(SDLKey key);
// The name as the player is shown it: its first letter in capitals when it is
// more than one letter ("Left shift", but "w").
std::string shownKeyName(SDLKey key);
// The key SDL names `name`, case aside; false when it names none.
bool keyNamed(const std::string& name, SDLKey& key);

// The pad's buttons that act; its left stick thrusts left/right and forward/back.
enum class PadAction { Up, Down, Centre, NewMatch, Options };
constexpr size_t kPadActionCount = static_cast<size_t>(PadAction::Options) + 1;
constexpr int32_t kMaxPadButton = 31;
constexpr int32_t kMinUpAxis = 2;  // axes 0 and 1 are the left stick's
constexpr int32_t kMaxPadAxis = 31;

struct PadActionInfo {
    const char* configKey;  // e.g. "padcentre"
    const char* label;
    int32_t defaultButton;
};
const PadActionInfo& padActionInfo(PadAction action);

class PadBindings {
public:
    int32_t button(PadAction action) const { return buttons[static_cast<size_t>(action)]; }
    bool actionFor(int32_t button, PadAction& action) const;
    void bindSwapping(PadAction action, int32_t button);
    bool operator==(const PadBindings& other) const { return buttons == other.buttons && upAxis == other.upAxis; }

    int32_t upAxis = 4;  // the stick that thrusts up and down: the right stick's vertical on most pads

private:
    std::array<int32_t, kPadActionCount> buttons = defaults();
    static std::array<int32_t, kPadActionCount> defaults();
};
