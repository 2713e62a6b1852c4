#include "app/input.h"

namespace {

KeyAction applyPress(InputState& input, SDLKey key) {
    switch (key) {
        case SDLK_RETURN: return KeyAction::ResetShip;
        case SDLK_SPACE: input.freeCamera = !input.freeCamera; break;
        case SDLK_UP: input.up = true; break;
        case SDLK_DOWN: input.down = true; break;
        case SDLK_LEFT: input.left = true; break;
        case SDLK_RIGHT: input.right = true; break;
        case SDLK_w: input.w = true; break;
        case SDLK_s: input.s = true; break;
        case SDLK_a: input.a = true; break;
        case SDLK_d: input.d = true; break;
        case SDLK_q: input.q = true; break;
        case SDLK_e: input.e = true; break;
        // x, y and z steer one axis each: Left Shift picks the other direction.
        case SDLK_x: (input.shift ? input.left : input.right) = true; break;
        case SDLK_y: (input.shift ? input.w : input.s) = true; break;
        case SDLK_z: (input.shift ? input.up : input.down) = true; break;
        case SDLK_LSHIFT: input.shift = true; break;
        case SDLK_F1: return KeyAction::ToggleKeys;
        default: break;
    }
    return KeyAction::None;
}

KeyAction applyRelease(InputState& input, SDLKey key) {
    switch (key) {
        case SDLK_UP: input.up = false; break;
        case SDLK_DOWN: input.down = false; break;
        case SDLK_LEFT: input.left = false; break;
        case SDLK_RIGHT: input.right = false; break;
        case SDLK_w: input.w = false; break;
        case SDLK_s: input.s = false; break;
        case SDLK_a: input.a = false; break;
        case SDLK_d: input.d = false; break;
        case SDLK_q: input.q = false; break;
        case SDLK_e: input.e = false; break;
        case SDLK_x: input.left = input.right = false; break;
        case SDLK_y: input.w = input.s = false; break;
        case SDLK_z: input.up = input.down = false; break;
        case SDLK_LSHIFT: input.shift = false; break;
        case SDLK_BACKSPACE: return KeyAction::NewMatch;
        case SDLK_m: return KeyAction::ToggleMusic;
        case SDLK_l: return KeyAction::Listen;
        case SDLK_c: return KeyAction::Connect;
        case SDLK_o: return KeyAction::Disconnect;
        case SDLK_j: return KeyAction::OpenJoinPrompt;
        case SDLK_b: return KeyAction::PlayComputer;
        default: break;
    }
    return KeyAction::None;
}

}  // namespace

KeyAction applyKey(InputState& input, SDLKey key, bool pressed) {
    return pressed ? applyPress(input, key) : applyRelease(input, key);
}

bool isFullScreenKey(SDLKey key, SDLMod mod) {
    return key == SDLK_F11 || ((key == SDLK_RETURN || key == SDLK_KP_ENTER) && (mod & KMOD_ALT) != 0);
}

void releaseMovementKeys(InputState& input) {
    InputState released;
    released.quit = input.quit;
    released.freeCamera = input.freeCamera;
    released.firstFrame = input.firstFrame;
    input = released;
}
