#include "options/options_screen.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

#include "base/text.h"

namespace {

constexpr float kSensitivityStep = 0.5f;
constexpr int32_t kStarStep = 2;  // a match holds an even number of stars
constexpr int32_t kArenaStep = 5;
constexpr int32_t kVolumeStep = 10;
constexpr int kAxisTaken = 16384;  // half its travel: a stick pushed on purpose

// The next value on the grid of `step` in `direction`, within [low, high]: a
// value between two steps goes to the nearer one that way.
template <typename T>
T stepped(T value, T step, int direction, T low, T high) {
    const double steps = static_cast<double>(value) / static_cast<double>(step);
    const double next = direction > 0 ? std::floor(steps + 1e-6) + 1 : std::ceil(steps - 1e-6) - 1;
    return std::clamp(static_cast<T>(next * static_cast<double>(step)), low, high);
}

// The computer's levels in the order the row steps through them: "auto" (the
// weakest level not yet beaten), then each level from the weakest.
void stepLevel(GameSettings& settings, int direction) {
    const int count = static_cast<int>(std::size(kBotLevels)) + 1;  // with "auto" at 0
    int at = 0;
    for (int i = 1; i < count && settings.botLevelSet; ++i) {
        if (kBotLevels[i - 1] == settings.botLevel) at = i;
    }
    at = (at + direction + count) % count;
    settings.botLevelSet = at != 0;
    if (at != 0) settings.botLevel = kBotLevels[at - 1];
}

std::string percent(int32_t volume) { return toText(volume) + "%"; }

}  // namespace

void OptionsScreen::open(const GameSettings& current) {
    opened = true;
    edited = current;
    loginName = announcedName(GameSettings());
    entries = {{Kind::Sensitivity}, {Kind::FewestStars},   {Kind::MostStars},   {Kind::ArenaSize},
               {Kind::Skin},        {Kind::ComputerLevel}, {Kind::MusicVolume}, {Kind::SoundVolume},
               {Kind::PlayerName},  {Kind::Announce},      {Kind::FullScreen}};
    for (size_t i = 0; i < kActionCount; ++i) entries.push_back({Kind::Key, i});
    for (size_t i = 0; i < kPadActionCount; ++i) entries.push_back({Kind::PadButton, i});
    entries.push_back({Kind::PadAxis});
    entries.push_back({Kind::RestoreDefaults});
    waiting = Waiting::Nothing;
    select(std::min(row, entries.size() - 1));
}

OptionsAction OptionsScreen::handleKey(SDLKey key, uint16_t unicode, bool pressed) {
    const bool known = static_cast<size_t>(key) < down.size();
    const bool wasDown = known && down[key];
    if (known) down[key] = pressed && opened;  // a press the game takes makes its release the game's too
    if (!pressed) return opened || wasDown ? OptionsAction::Taken : OptionsAction::NotTaken;
    return opened ? press(key, unicode) : OptionsAction::NotTaken;
}

OptionsAction OptionsScreen::press(SDLKey key, uint16_t unicode) {
    switch (waiting) {
        case Waiting::Key: return takeKey(key);
        case Waiting::Swap: return swapOrCancel(key);
        case Waiting::Name: return typeName(key, unicode);
        case Waiting::PadButton:
        case Waiting::PadAxis:
            if (key == SDLK_ESCAPE) select(row);
            return OptionsAction::Taken;
        case Waiting::Nothing: break;
    }
    switch (key) {
        case SDLK_ESCAPE: opened = false; return OptionsAction::Close;
        case SDLK_UP: move(-1); break;
        case SDLK_DOWN: move(1); break;
        case SDLK_LEFT: return change(-1);
        case SDLK_RIGHT: return change(1);
        case SDLK_RETURN:
        case SDLK_KP_ENTER: return choose();
        default: break;
    }
    return OptionsAction::Taken;
}

OptionsAction OptionsScreen::handlePadButton(int32_t button) {
    if (!opened) return OptionsAction::NotTaken;
    if (waiting == Waiting::PadButton) {
        PadAction holder = padAction();
        const bool swapped = edited.pad.actionFor(button, holder) && holder != padAction();
        edited.pad.bindSwapping(padAction(), button);
        select(row);
        if (swapped) note = std::string("swapped with ") + padActionInfo(holder).label;
        return OptionsAction::Changed;
    }
    if (waiting != Waiting::Nothing) return OptionsAction::Taken;
    if (button == edited.pad.button(PadAction::Options)) return press(SDLK_ESCAPE, 0);
    if (button == edited.pad.button(PadAction::Centre)) return choose();
    return OptionsAction::Taken;
}

OptionsAction OptionsScreen::handlePadAxis(int32_t axis, int16_t value) {
    if (!opened) return OptionsAction::NotTaken;
    if (waiting != Waiting::PadAxis || axis < kMinUpAxis || axis > kMaxPadAxis || std::abs(value) < kAxisTaken) {
        return OptionsAction::Taken;
    }
    edited.pad.upAxis = axis;
    select(row);
    return OptionsAction::Changed;
}

OptionsAction OptionsScreen::choose() {
    switch (entries[row].kind) {
        case Kind::Key:
            waiting = Waiting::Key;
            note = std::string("press the key for ") + actionInfo(action()).label + " (Esc: cancel)";
            return OptionsAction::Taken;
        case Kind::PadButton:
            waiting = Waiting::PadButton;
            note = std::string("press the pad's button for ") + padActionInfo(padAction()).label + " (Esc: cancel)";
            return OptionsAction::Taken;
        case Kind::PadAxis:
            waiting = Waiting::PadAxis;
            note = "push the stick for up and down (Esc: cancel)";
            return OptionsAction::Taken;
        case Kind::RestoreDefaults:
            edited.keys = KeyBindings();
            edited.pad = PadBindings();
            note = "every key and button is back";
            return OptionsAction::Changed;
        case Kind::PlayerName:
            waiting = Waiting::Name;
            typed = edited.playerName;
            note = "type your name: Enter takes it, Esc cancels";
            return OptionsAction::Taken;
        case Kind::Skin:
        case Kind::Announce:
        case Kind::FullScreen:
        case Kind::ComputerLevel: return change(1);
        default: return OptionsAction::Taken;
    }
}

OptionsAction OptionsScreen::typeName(SDLKey key, uint16_t unicode) {
    if (key == SDLK_ESCAPE) {
        select(row);
    } else if (key == SDLK_BACKSPACE) {
        if (!typed.empty()) typed.pop_back();
    } else if (key == SDLK_RETURN || key == SDLK_KP_ENTER) {
        if (!isPlayerName(typed)) {
            note = "a name is 1 to " + toText(static_cast<int32_t>(kMaxPlayerNameLength)) + " letters, digits or signs";
            return OptionsAction::Taken;
        }
        const bool changed = typed != edited.playerName;
        edited.playerName = typed;
        select(row);
        return changed ? OptionsAction::Changed : OptionsAction::Taken;
    } else if (unicode > ' ' && unicode < 0x7f && typed.size() < kMaxPlayerNameLength) {
        typed += static_cast<char>(unicode);
    }
    return OptionsAction::Taken;
}

OptionsAction OptionsScreen::change(int direction) {
    const GameSettings before = edited;
    int32_t fewest = fewestStars(edited);
    int32_t most = mostStars(edited);
    switch (entries[row].kind) {
        case Kind::Sensitivity:
            edited.sensitivity = stepped(edited.sensitivity, kSensitivityStep, direction, kMinSensitivity, kMaxSensitivity);
            break;
        case Kind::FewestStars:
            fewest = stepped(fewest, kStarStep, direction, kMinStarBound, kMaxStars);
            most = std::max(most, fewest);
            break;
        case Kind::MostStars:
            most = stepped(most, kStarStep, direction, kMinStarBound, kMaxStars);
            fewest = std::min(fewest, most);
            break;
        case Kind::ArenaSize:
            edited.mapDimensions = stepped(edited.mapDimensions, kArenaStep, direction, kMinMapDimensions, kMaxMapDimensions);
            break;
        case Kind::Skin: edited.playerSkin = !edited.playerSkin; break;
        case Kind::Announce: edited.announce = !edited.announce; break;
        case Kind::FullScreen: edited.fullScreen = !edited.fullScreen; break;
        case Kind::ComputerLevel: stepLevel(edited, direction); break;
        case Kind::MusicVolume: edited.musicVolume = stepped(edited.musicVolume, kVolumeStep, direction, 0, kMaxVolume); break;
        case Kind::SoundVolume: edited.soundVolume = stepped(edited.soundVolume, kVolumeStep, direction, 0, kMaxVolume); break;
        default: return OptionsAction::Taken;
    }
    if (fewest != fewestStars(edited) || most != mostStars(edited)) {
        edited.minStars = fewest;
        edited.maxStars = most;
        checkStarBounds(edited);
    }
    return sameSettings(before, edited) ? OptionsAction::Taken : OptionsAction::Changed;
}

OptionsAction OptionsScreen::takeKey(SDLKey key) {
    if (key == SDLK_ESCAPE) {
        select(row);
        return OptionsAction::Taken;
    }
    const std::string refusal = edited.keys.refusal(action(), key);
    Action holder = action();
    if (!refusal.empty()) {
        waiting = Waiting::Nothing;
        note = refusal;
    } else if (edited.keys.actionFor(key, holder) && holder != action()) {
        waiting = Waiting::Swap;
        offered = key;
        note = shownKeyName(key) + " is bound to " + actionInfo(holder).label + ": Enter swaps, Esc cancels";
    } else {
        edited.keys.bindSwapping(action(), key);
        select(row);
        return OptionsAction::Changed;
    }
    return OptionsAction::Taken;
}

OptionsAction OptionsScreen::swapOrCancel(SDLKey key) {
    if (key != SDLK_RETURN && key != SDLK_KP_ENTER && key != SDLK_ESCAPE) return OptionsAction::Taken;
    const bool swap = key != SDLK_ESCAPE;
    if (swap) edited.keys.bindSwapping(action(), offered);
    select(row);
    return swap ? OptionsAction::Changed : OptionsAction::Taken;
}

void OptionsScreen::move(int direction) {
    const long count = static_cast<long>(entries.size());
    select(static_cast<size_t>((static_cast<long>(row) + direction + count) % count));
}

// Selects a row, waiting for nothing, with the row's own note.
void OptionsScreen::select(size_t to) {
    row = to;
    waiting = Waiting::Nothing;
    const Kind kind = entries[row].kind;
    const bool field = kind == Kind::FewestStars || kind == Kind::MostStars || kind == Kind::ArenaSize;
    note = field ? "from the next match" : "";
}

std::vector<OptionRow> OptionsScreen::rows() const {
    std::vector<OptionRow> shown;
    for (size_t i = 0; i < entries.size(); ++i) shown.push_back(rowOf(entries[i], i == row));
    return shown;
}

// A row waiting for the player shows what it has so far: the name typed, or a '?'.
OptionRow OptionsScreen::rowOf(const Entry& entry, bool chosen) const {
    if (chosen && waiting == Waiting::Name) return {"your name", typed + "_"};
    if (chosen && waiting != Waiting::Nothing) return {rowOf(entry, false).label, "?"};
    switch (entry.kind) {
        case Kind::Sensitivity: return {"sensitivity", toText(edited.sensitivity)};
        case Kind::FewestStars: return {"fewest stars", toText(fewestStars(edited))};
        case Kind::MostStars: return {"most stars", toText(mostStars(edited))};
        case Kind::ArenaSize: return {"arena size", toText(edited.mapDimensions)};
        case Kind::Skin: return {"your ship", edited.playerSkin ? "orange" : "green"};
        case Kind::ComputerLevel:
            return {"computer's level", edited.botLevelSet ? botLevelName(edited.botLevel) : "first unbeaten"};
        case Kind::MusicVolume: return {"music volume", percent(edited.musicVolume)};
        case Kind::SoundVolume: return {"sound volume", percent(edited.soundVolume)};
        case Kind::PlayerName: return {"your name", edited.playerName.empty() ? loginName : edited.playerName};
        case Kind::Announce: return {"announce hosted games", edited.announce ? "on" : "off"};
        case Kind::FullScreen: return {"full screen", edited.fullScreen ? "on" : "off"};
        case Kind::Key: {
            const Action shownAction = static_cast<Action>(entry.index);
            return {actionInfo(shownAction).label, shownKeyName(edited.keys.key(shownAction))};
        }
        case Kind::PadButton: {
            const PadAction shownAction = static_cast<PadAction>(entry.index);
            return {std::string("pad: ") + padActionInfo(shownAction).label, "button " + toText(edited.pad.button(shownAction))};
        }
        case Kind::PadAxis: return {"pad: up/down stick", "axis " + toText(edited.pad.upAxis)};
        case Kind::RestoreDefaults: return {"restore default keys", ""};
    }
    return {};
}
