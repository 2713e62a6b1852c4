#include "app/gamepad.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kDeadZone = 8000;  // of 32767: a worn stick rests within a quarter of its travel
constexpr int kFullPush = 32767;
constexpr int kFirstPad = 0;

PadAsk hatAsk(Uint8 hat) {
    if (hat & SDL_HAT_UP) return PadAsk::MenuUp;
    if (hat & SDL_HAT_DOWN) return PadAsk::MenuDown;
    if (hat & SDL_HAT_LEFT) return PadAsk::MenuLeft;
    if (hat & SDL_HAT_RIGHT) return PadAsk::MenuRight;
    return PadAsk::None;
}

}  // namespace

float stickPush(int16_t value) {
    const int magnitude = std::min(std::abs(static_cast<int>(value)), kFullPush);
    if (magnitude <= kDeadZone) return 0;
    const float push = static_cast<float>(magnitude - kDeadZone) / (kFullPush - kDeadZone);
    return value < 0 ? -push : push;
}

bool Gamepad::open() {
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0 || SDL_NumJoysticks() <= kFirstPad) return false;
    joystick = SDL_JoystickOpen(kFirstPad);
    SDL_JoystickEventState(SDL_ENABLE);
    return joystick != nullptr;
}

Gamepad::~Gamepad() {
    if (joystick) SDL_JoystickClose(joystick);
}

PadAsk Gamepad::handle(const SDL_Event& event, const PadBindings& pad) {
    switch (event.type) {
        case SDL_JOYAXISMOTION:
            if (event.jaxis.which != kFirstPad) break;
            if (event.jaxis.axis == 0) sideways = stickPush(event.jaxis.value);
            if (event.jaxis.axis == 1) forward = -stickPush(event.jaxis.value);  // pushed away reads negative
            if (event.jaxis.axis == pad.upAxis) upward = -stickPush(event.jaxis.value);
            break;
        case SDL_JOYBUTTONDOWN:
        case SDL_JOYBUTTONUP: {
            PadAction action = PadAction::Up;
            if (event.jbutton.which != kFirstPad || !pad.actionFor(event.jbutton.button, action)) break;
            const bool down = event.type == SDL_JOYBUTTONDOWN;
            if (action == PadAction::Up) upHeld = down;
            if (action == PadAction::Down) downHeld = down;
            if (!down) break;
            if (action == PadAction::Centre) return PadAsk::Centre;
            if (action == PadAction::NewMatch) return PadAsk::NewMatch;
            if (action == PadAction::Options) return PadAsk::Options;
            break;
        }
        case SDL_JOYHATMOTION:
            if (event.jhat.which == kFirstPad) return hatAsk(event.jhat.value);
            break;
        default: break;
    }
    return PadAsk::None;
}

void Gamepad::steer(Steering& steering) const {
    steering.pushX = sideways;
    steering.pushZ = forward;
    steering.pushY = upHeld != downHeld ? (upHeld ? 1.0f : -1.0f) : upward;
}

void Gamepad::release() {
    sideways = forward = upward = 0;
    upHeld = downHeld = false;
}
