#include "app/input.h"

namespace {

// The actions held while their key is down, and the flag each holds.
bool* heldFlag(Steering& held, Action action) {
    switch (action) {
        case Action::Forward: return &held.forward;
        case Action::Back: return &held.back;
        case Action::Left: return &held.left;
        case Action::Right: return &held.right;
        case Action::Up: return &held.up;
        case Action::Down: return &held.down;
        case Action::TurnLeft: return &held.turnLeft;
        case Action::TurnRight: return &held.turnRight;
        case Action::RollLeft: return &held.rollLeft;
        case Action::RollRight: return &held.rollRight;
        default: return nullptr;
    }
}

// The two flags of the axis an axis key thrusts: the reversed direction first.
bool axisFlags(Steering& held, Action action, bool*& reversed, bool*& plain) {
    switch (action) {
        case Action::AxisX: reversed = &held.left, plain = &held.right; return true;
        case Action::AxisY: reversed = &held.up, plain = &held.down; return true;
        case Action::AxisZ: reversed = &held.forward, plain = &held.back; return true;
        default: return false;
    }
}

KeyAction applyPress(InputState& input, Action action) {
    bool* reversed = nullptr;
    bool* plain = nullptr;
    if (bool* flag = heldFlag(input.held, action)) {
        *flag = true;
    } else if (axisFlags(input.held, action, reversed, plain)) {
        *(input.reverse ? reversed : plain) = true;  // one axis each: the reverse key picks the direction
    }
    switch (action) {
        case Action::Reverse: input.reverse = true; break;
        case Action::Centre: return KeyAction::ResetShip;
        case Action::FreeCamera: input.freeCamera = !input.freeCamera; break;
        case Action::KeysPanel: return KeyAction::ToggleKeys;
        default: break;
    }
    return KeyAction::None;
}

KeyAction applyRelease(InputState& input, Action action) {
    bool* reversed = nullptr;
    bool* plain = nullptr;
    if (bool* flag = heldFlag(input.held, action)) {
        *flag = false;
    } else if (axisFlags(input.held, action, reversed, plain)) {
        *reversed = *plain = false;
    }
    switch (action) {
        case Action::Reverse: input.reverse = false; break;
        case Action::NewMatch: return KeyAction::NewMatch;
        case Action::Music: return KeyAction::ToggleMusic;
        case Action::Listen: return KeyAction::Listen;
        case Action::Connect: return KeyAction::Connect;
        case Action::Disconnect: return KeyAction::Disconnect;
        case Action::Join: return KeyAction::OpenJoinPrompt;
        case Action::Computer: return KeyAction::PlayComputer;
        default: break;
    }
    return KeyAction::None;
}

}  // namespace

KeyAction applyKey(InputState& input, const KeyBindings& keys, SDLKey key, bool pressed) {
    if (pressed && key == SDLK_ESCAPE) return KeyAction::OpenOptions;
    if (pressed && key == SDLK_F1 && keys.key(Action::KeysPanel) != SDLK_F1) return KeyAction::ToggleKeys;
    Action action = Action::Forward;
    if (!keys.actionFor(key, action)) return KeyAction::None;
    return pressed ? applyPress(input, action) : applyRelease(input, action);
}

bool isFullScreenKey(SDLKey key, SDLMod mod) {
    return key == SDLK_F11 || ((key == SDLK_RETURN || key == SDLK_KP_ENTER) && (mod & KMOD_ALT) != 0);
}

void releaseMovementKeys(InputState& input) {
    input.held = Steering();
    input.reverse = false;
}
