#pragma once
// The gamepad as the game plays it: the first joystick SDL finds. Its left
// stick thrusts left/right and forward/back in proportion to how far it is
// pushed past a dead zone, and never more than the keys do; two buttons or the
// up/down stick thrust up and down; buttons centre the ship, start a new match
// and open the options; the hat moves in the options screen. SDL 1.2 finds
// joysticks only when it starts, so a pad plugged in later plays from the next
// start; nor does it tell when one is pulled out, so what a pad held then stays
// held until the options screen opens.

#include <SDL.h>

#include <cstdint>

#include "settings/bindings.h"
#include "world/steering.h"

// What a pad event asks of the game beyond the thrust it holds.
enum class PadAsk { None, Centre, NewMatch, Options, MenuUp, MenuDown, MenuLeft, MenuRight };

// How far a stick's axis is pushed, -1 to 1, with the dead zone around the
// centre taken out: a pad at rest never drifts.
float stickPush(int16_t value);

class Gamepad {
public:
    // Opens the first joystick, if any; false when there is none.
    bool open();
    ~Gamepad();

    // Any SDL event: joystick events of the first pad change what it holds and
    // may ask for something; every other event is ignored.
    PadAsk handle(const SDL_Event& event, const PadBindings& pad);
    // Adds what the pad holds to the keys' steering.
    void steer(Steering& steering) const;
    // Lets go of everything held, as when the options screen takes the pad.
    void release();

private:
    SDL_Joystick* joystick = nullptr;
    float sideways = 0, forward = 0, upward = 0;  // the sticks' pushes
    bool upHeld = false, downHeld = false;
};
