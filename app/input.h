#pragma once
// The keyboard state the main loop keeps between passes.

#include <SDL.h>

struct InputState {
    bool quit = false;
    bool freeCamera = false;
    bool up = false, down = false, left = false, right = false;
    bool w = false, s = false, a = false, d = false, q = false, e = false;
    bool shift = false;  // Left Shift only
    bool firstFrame = false;
};

// What a key asks of the game beyond the held flags.
enum class KeyAction {
    None,
    ResetShip,       // Return pressed
    NewMatch,        // Backspace released
    ToggleMusic,     // m released
    Listen,          // l released
    Connect,         // c released
    Disconnect,      // o released
    OpenJoinPrompt,  // j released: type the host to join
    PlayComputer,    // b released: play the computer, or its next level
    ToggleKeys,      // F1 pressed: show or hide the key panel
};

// Updates the flags for a key press or release and names the action it asks for.
KeyAction applyKey(InputState& input, SDLKey key, bool pressed);

// F11, or Enter with Alt held: switches between the window and full screen.
bool isFullScreenKey(SDLKey key, SDLMod mod);

// Lets go of every held movement key, as when a prompt takes the keyboard.
void releaseMovementKeys(InputState& input);
