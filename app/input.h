#pragma once
// The keyboard state the main loop keeps between passes, and what each key
// does as the player has bound it.

#include <SDL.h>

#include "settings/bindings.h"
#include "world/steering.h"

struct InputState {
    bool quit = false;
    bool freeCamera = false;
    Steering held;         // the movement actions whose keys are held
    bool reverse = false;  // the key that reverses the axis keys (Left Shift unless bound otherwise)
    bool firstFrame = false;
};

// What a key asks of the game beyond the held flags.
enum class KeyAction {
    None,
    ResetShip,       // pressed: the ship to the centre
    NewMatch,        // released
    ToggleMusic,     // released
    Listen,          // released
    Connect,         // released
    Disconnect,      // released
    OpenJoinPrompt,  // released: type the host to join
    PlayComputer,    // released: play the computer, or its next level
    ToggleKeys,      // F1 or the key panel's key pressed: show or hide the key panel
    OpenOptions,     // Escape pressed
};

// Updates the flags for a key press or release and names the action it asks for.
KeyAction applyKey(InputState& input, const KeyBindings& keys, SDLKey key, bool pressed);

// F11, or Enter with Alt held: switches between the window and full screen.
bool isFullScreenKey(SDLKey key, SDLMod mod);

// Lets go of every held movement key, as when a prompt takes the keyboard.
void releaseMovementKeys(InputState& input);
