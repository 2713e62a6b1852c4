// The options screen and the gamepad as the game runs them: what they take,
// and when each changed setting applies.

#include "app/game.h"

namespace {

// A volume in percent as SDL_mixer takes it.
int mixerVolume(int32_t percent) { return percent * MIX_MAX_VOLUME / kMaxVolume; }

// The hat moves in the options screen as the arrow keys do.
SDLKey arrowOf(PadAsk ask) {
    switch (ask) {
        case PadAsk::MenuUp: return SDLK_UP;
        case PadAsk::MenuDown: return SDLK_DOWN;
        case PadAsk::MenuLeft: return SDLK_LEFT;
        case PadAsk::MenuRight: return SDLK_RIGHT;
        default: return SDLK_UNKNOWN;
    }
}

}  // namespace

bool Game::optionsTakeKey(const SDL_keysym& key, bool pressed) {
    const OptionsAction action = options.handleKey(key.sym, key.unicode, pressed);
    applyOptions(action);
    return action != OptionsAction::NotTaken;
}

void Game::handlePad(const SDL_Event& event) {
    if (options.isOpen()) {
        padInOptions(event);
        return;
    }
    switch (pad.handle(event, settings.pad)) {
        case PadAsk::Centre: resetShip(); break;
        case PadAsk::NewMatch: match.startNewMatch(); break;
        case PadAsk::Options:
            if (!prompt.isOpen()) openOptions();
            break;
        default: break;
    }
}

// Buttons choose and close, the hat moves; a row waiting for a button or the
// up/down stick takes it.
void Game::padInOptions(const SDL_Event& event) {
    if (event.type == SDL_JOYBUTTONDOWN && event.jbutton.which == 0) {
        applyOptions(options.handlePadButton(event.jbutton.button));
    } else if (event.type == SDL_JOYAXISMOTION && event.jaxis.which == 0) {
        applyOptions(options.handlePadAxis(event.jaxis.axis, event.jaxis.value));
    } else if (event.type == SDL_JOYHATMOTION) {
        const SDLKey arrow = arrowOf(pad.handle(event, settings.pad));
        if (arrow != SDLK_UNKNOWN) {
            applyOptions(options.handleKey(arrow, 0, true));
            applyOptions(options.handleKey(arrow, 0, false));
        }
    }
}

// On the computer's level, the record against the level b would start at.
std::string Game::optionsNotice() const {
    if (!options.choosingComputerLevel()) {
        return options.notice();
    }
    const GameSettings& chosen = options.settings();
    const BotLevel level = chosen.botLevelSet ? chosen.botLevel : records.lowestUnbeaten();
    return std::string("against ") + botLevelName(level) + ": " + recordText(records.against(level));
}

void Game::openOptions() {
    releaseMovementKeys(input);
    pad.release();
    options.open(settings);
}

void Game::applyOptions(OptionsAction action) {
    if (action == OptionsAction::Changed) {
        applySettings(options.settings());
    } else if (action == OptionsAction::Close) {
        saveSettings();
    }
}

// The keys, the pad, the thrust, the skins, the volumes and full screen apply
// at once; the computer's level when b next starts it; the field from the next match.
void Game::applySettings(const GameSettings& next) {
    match.changeSettings(next);
    if (next.playerName != settings.playerName) {
        announcedAs = announcedName(next);
    }
    settings = next;
    applyVolumes();
    if (settings.fullScreen != window.isFullScreen()) {
        setFullScreen(settings.fullScreen);
    }
}

void Game::applyVolumes() {
    sounds.setMusicVolume(mixerVolume(settings.musicVolume));
    sounds.setAllSoundVolumes(mixerVolume(settings.soundVolume));
}
