#pragma once
// The join prompt: the line, opened by the j key, into which the player types
// the host to join. It edits text and says what the game must do; it draws
// nothing. While it is open the game hands it every key event first, so no key
// steers the ship or acts as a game key; the game draws line() with refusal()
// under it.
//
// Enter joins when the text is a host name or an IPv4 address with an optional
// ":port" (the default port otherwise), Escape closes, Backspace erases. Up and
// Down step through one row of choices: the recent hosts (Up to older ones),
// the player's own text, then the games heard on the local network, listed
// under the line (Down goes down the list). A game chosen puts its address in
// the line, so Enter joins it as if it had been typed.

#include <SDL.h>

#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

#include "discovery/heard_games.h"
#include "join/join_address.h"

enum class PromptAction {
    NotTaken,  // the prompt is closed and the key is the game's
    Taken,     // the prompt took the key: typed, edited, refused or merely swallowed
    Close,     // Escape: the prompt has closed
    Join,      // Enter on a valid address: the prompt has closed; join target()
};

class JoinPrompt {
public:
    // Opens with the most recent host filled in. `recentHosts` most recent
    // first; `defaultPort` is joined when the text names no port.
    void open(const std::vector<std::string>& recentHosts, int32_t defaultPort);

    // One key event: `unicode` is the keysym's character (SDL_EnableUNICODE),
    // 0 when none. Takes every event while open, and after closing the release
    // of each key pressed into it, so that e.g. the l of "box.local" released
    // after Enter does not reach the game as the listen key.
    PromptAction handleKey(SDLKey key, uint16_t unicode, bool pressed);

    bool isOpen() const { return opened; }
    const std::string& text() const { return edited; }
    // Why the last key was refused, e.g. "not a port: 99999"; "" when it was not.
    const std::string& refusal() const { return reason; }
    // The address of the last Enter that joined; text() still holds it as typed.
    const JoinAddress& target() const { return joined; }
    // "join: " + text() + "_", the start of the text cut to ".." to fit `width` characters.
    std::string line(size_t width) const;

    // The games heard, in the order listed; the one chosen stays chosen while
    // it is listed, wherever it moves.
    void showGames(const std::vector<HeardGame>& heard);
    const std::vector<HeardGame>& games() const { return listed; }
    int chosenGame() const { return position < -1 ? -2 - position : -1; }  // index into games(), or -1
    // "name  address:port", the name cut to ".." when the row would be wider than `width`.
    std::string gameLine(size_t index, size_t width) const;

private:
    PromptAction press(SDLKey key, uint16_t unicode);
    void type(uint16_t unicode);
    void erase();
    void step(int direction);
    PromptAction enter();
    void edit(const std::string& text);
    void moveTo(int next);

    bool opened = false;
    std::string edited;
    std::string draft;                 // what the player typed before stepping into the history
    std::vector<std::string> history;  // most recent first
    std::vector<HeardGame> listed;
    int position = -1;  // history index while stepping up, -1 on the draft, -2 - index of the game chosen
    int32_t defaultPort = 0;
    std::string reason;
    JoinAddress joined;
    std::bitset<SDLK_LAST> down;  // keys pressed into the prompt and not yet released
};
