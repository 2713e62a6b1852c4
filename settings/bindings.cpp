#include "settings/bindings.h"

#include <strings.h>

#include <cctype>

namespace {

const ActionInfo kActions[kActionCount] = {
    {"keyforward", "thrust forward", SDLK_UP},
    {"keyback", "thrust back", SDLK_DOWN},
    {"keyleft", "thrust left", SDLK_LEFT},
    {"keyright", "thrust right", SDLK_RIGHT},
    {"keyup", "thrust up", SDLK_w},
    {"keydown", "thrust down", SDLK_s},
    {"keyturnleft", "turn left", SDLK_a},
    {"keyturnright", "turn right", SDLK_d},
    {"keyrollleft", "roll left", SDLK_q},
    {"keyrollright", "roll right", SDLK_e},
    {"keyaxisx", "thrust right/left", SDLK_x},
    {"keyaxisy", "thrust down/up", SDLK_y},
    {"keyaxisz", "thrust back/forward", SDLK_z},
    {"keyreverse", "reverse the last three", SDLK_LSHIFT},
    {"keycentre", "ship to the centre", SDLK_RETURN},
    {"keycamera", "free camera on/off", SDLK_SPACE},
    {"keynewmatch", "new match", SDLK_BACKSPACE},
    {"keymusic", "music on/off", SDLK_m},
    {"keylisten", "listen for a friend", SDLK_l},
    {"keyjoin", "join: type the host", SDLK_j},
    {"keyconnect", "connect (connection.txt)", SDLK_c},
    {"keycomputer", "play the computer", SDLK_b},
    {"keydisconnect", "disconnect", SDLK_o},
    {"keypanel", "show the keys", SDLK_F1},
};

// Button numbers as most pads on Linux give them: A, the shoulders, Back and Start.
const PadActionInfo kPadActions[kPadActionCount] = {
    {"padup", "thrust up", 5},
    {"paddown", "thrust down", 4},
    {"padcentre", "ship to the centre", 0},
    {"padnewmatch", "new match", 6},
    {"padoptions", "options", 7},
};

// Where `value` stands in `table`; false when nowhere.
template <typename Table, typename Value, typename Index>
bool findIn(const Table& table, Value value, Index& index) {
    for (size_t i = 0; i < table.size(); ++i) {
        if (table[i] == value) {
            index = static_cast<Index>(i);
            return true;
        }
    }
    return false;
}

// Binds `value` at `index` of `table`; whatever held `value` takes the old one.
template <typename Table, typename Value>
void swapInto(Table& table, size_t index, Value value) {
    for (Value& held : table) {
        if (held == value) held = table[index];
    }
    table[index] = value;
}

}  // namespace

const ActionInfo& actionInfo(Action action) { return kActions[static_cast<size_t>(action)]; }

std::array<SDLKey, kActionCount> KeyBindings::defaults() {
    std::array<SDLKey, kActionCount> keys{};
    for (size_t i = 0; i < kActionCount; ++i) keys[i] = kActions[i].defaultKey;
    return keys;
}

bool KeyBindings::actionFor(SDLKey key, Action& action) const { return findIn(keys, key, action); }

std::string KeyBindings::refusal(Action action, SDLKey key) const {
    if (key == SDLK_ESCAPE) return "escape opens the options";
    if (key == SDLK_F11) return "f11 switches full screen";
    Action holder = action;
    const bool f1Moves = action == Action::KeysPanel && this->key(action) == SDLK_F1 && actionFor(key, holder);
    if ((key == SDLK_F1 && action != Action::KeysPanel) || (f1Moves && holder != action)) {
        return "f1 always shows the keys";
    }
    return "";
}

void KeyBindings::bindSwapping(Action action, SDLKey key) { swapInto(keys, static_cast<size_t>(action), key); }

std::string keyName(SDLKey key) { return SDL_GetKeyName(key); }

std::string shownKeyName(SDLKey key) {
    std::string name = keyName(key);
    if (name.size() > 1) name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    return name;
}

bool keyNamed(const std::string& name, SDLKey& key) {
    if (strcasecmp(name.c_str(), "unknown key") == 0) return false;  // what SDL calls every key it has no name for
    for (int k = SDLK_FIRST; k < SDLK_LAST; ++k) {
        const SDLKey candidate = static_cast<SDLKey>(k);
        if (strcasecmp(SDL_GetKeyName(candidate), name.c_str()) == 0) {
            key = candidate;
            return true;
        }
    }
    return false;
}

const PadActionInfo& padActionInfo(PadAction action) { return kPadActions[static_cast<size_t>(action)]; }

std::array<int32_t, kPadActionCount> PadBindings::defaults() {
    std::array<int32_t, kPadActionCount> buttons{};
    for (size_t i = 0; i < kPadActionCount; ++i) buttons[i] = kPadActions[i].defaultButton;
    return buttons;
}

bool PadBindings::actionFor(int32_t button, PadAction& action) const { return findIn(buttons, button, action); }

void PadBindings::bindSwapping(PadAction action, int32_t button) {
    swapInto(buttons, static_cast<size_t>(action), button);
}
