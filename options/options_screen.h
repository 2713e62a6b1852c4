#pragma once
// The options screen: every setting and every key, changed without leaving the
// game. Like the join prompt it edits and says what the game must do, and draws
// nothing. While it is open the game hands it every key and pad event first,
// so that no key steers the ship; the match runs on underneath.
//
// Up and Down (or the pad's hat) move between the rows, Left and Right change
// the value, Enter (or the pad's centre button) chooses, Escape (or the pad's
// options button) closes. Enter on a key's row waits for the new key; a key
// already bound elsewhere is named, and Enter swaps the two, Escape cancels.
// Enter on the name's row takes the name typed, up to the next Enter.

#include <SDL.h>

#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

#include "settings/settings.h"

enum class OptionsAction {
    NotTaken,  // the screen is closed and the event is the game's
    Taken,     // taken; nothing for the game to do
    Changed,   // a setting changed: settings() holds it, for the game to apply
    Close,     // the screen has closed
};

struct OptionRow {
    std::string label;
    std::string value;  // as it will be used, within its range
};

class OptionsScreen {
public:
    void open(const GameSettings& current);
    bool isOpen() const { return opened; }

    // A key event: every one while open, and after closing the release of each
    // key pressed into it. `unicode` is the character the key types
    // (SDL_EnableUNICODE), 0 when none: the player's name is typed.
    OptionsAction handleKey(SDLKey key, uint16_t unicode, bool pressed);
    // A press of the pad's button `button`, while open.
    OptionsAction handlePadButton(int32_t button);
    // A move of the pad's axis `axis`, while open: only a row waiting for the
    // up/down stick takes it.
    OptionsAction handlePadAxis(int32_t axis, int16_t value);

    const GameSettings& settings() const { return edited; }
    std::vector<OptionRow> rows() const;
    size_t selected() const { return row; }
    // True while the chosen row waits for a key, a button or the stick.
    bool waitingForInput() const { return waiting != Waiting::Nothing; }
    // True when the chosen row is the computer's level: the game says there how
    // the player has fared against it.
    bool choosingComputerLevel() const { return entries[row].kind == Kind::ComputerLevel; }
    // What the screen says under its rows: the row's note, what it waits for,
    // or why a key was refused; "" when nothing.
    const std::string& notice() const { return note; }

private:
    enum class Kind {
        Sensitivity, FewestStars, MostStars, ArenaSize, Skin, ComputerLevel, MusicVolume, SoundVolume,
        PlayerName, Announce, FullScreen, Key, PadButton, PadAxis, RestoreDefaults,
    };
    struct Entry {
        Kind kind;
        size_t index = 0;  // which action, for a key or a pad button
    };
    enum class Waiting { Nothing, Key, Swap, PadButton, PadAxis, Name };

    OptionsAction press(SDLKey key, uint16_t unicode);
    OptionsAction typeName(SDLKey key, uint16_t unicode);
    OptionsAction choose();
    OptionsAction change(int direction);
    OptionsAction takeKey(SDLKey key);
    OptionsAction swapOrCancel(SDLKey key);
    void move(int direction);
    void select(size_t to);
    OptionRow rowOf(const Entry& entry, bool chosen) const;
    Action action() const { return static_cast<Action>(entries[row].index); }
    PadAction padAction() const { return static_cast<PadAction>(entries[row].index); }

    bool opened = false;
    GameSettings edited;
    std::vector<Entry> entries;
    size_t row = 0;
    Waiting waiting = Waiting::Nothing;
    SDLKey offered = SDLK_UNKNOWN;  // the key waiting to be swapped in
    std::string typed;              // the name as typed so far
    std::string loginName;          // the name used while the player has set none
    std::string note;
    std::bitset<SDLK_LAST> down;  // keys pressed into the screen and not yet released
};
