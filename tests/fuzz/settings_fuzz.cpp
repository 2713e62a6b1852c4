// The input read as config.txt and as connection.txt, and pushed through the
// text conversions. Checks: settings within the README's bounds (and a match can
// be generated from them), one message per line and defaults kept when no key is
// recognised, changed settings written into the text reading back as written
// and an unchanged text left alone, a port that is a TCP port or -1, and numbers
// that survive being written and read back.
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "settings/settings.h"
#include "settings/settings_file.h"
#include "base/text.h"
#include "harness.h"
#include "world/player_state.h"

namespace {

bool namesAKey(const std::string& text) {
    for (const char* known : {"sensitivity", "minstars", "maxstars", "mapdimensions", "playerskin", "botlevel", "volume",
                              "key", "pad"})
        if (text.find(known) != std::string::npos) return true;
    return false;
}

GameSettings read(const std::string& text) {
    std::istringstream in(text);
    std::ostringstream errors;
    GameSettings settings;
    readSettings(in, settings, errors);
    return settings;
}

// Settings other than `before` in the fields `mask` picks, each still within its range.
GameSettings changedFrom(const GameSettings& before, size_t mask) {
    GameSettings after = before;
    if (mask & 1) after.sensitivity = before.sensitivity == 2.5f ? 7.5f : 2.5f;
    if (mask & 2) {
        after.minStars = before.minStars == 40 ? 42 : 40;
        after.maxStars = after.minStars + 10;
    }
    if (mask & 4) after.mapDimensions = before.mapDimensions == 25 ? 35 : 25;
    if (mask & 8) after.playerSkin = !before.playerSkin;
    if (mask & 16) {
        after.botLevel = nextBotLevel(before.botLevel);
        after.botLevelSet = !before.botLevelSet;
    }
    if (mask & 32) after.musicVolume = before.musicVolume == 50 ? 60 : 50;
    if (mask & 64) {
        after.keys.bindSwapping(Action::Forward, before.keys.key(Action::Forward) == SDLK_k ? SDLK_LSHIFT : SDLK_k);
        after.pad.bindSwapping(PadAction::Centre, before.pad.button(PadAction::Centre) == 9 ? 10 : 9);
    }
    return after;
}

void checkRewrite(const std::string& text, const GameSettings& before) {
    require(changedConfigText(text, before, before) == text);
    const GameSettings after = changedFrom(before, text.size() % 127 + 1);
    require(sameSettings(read(changedConfigText(text, before, after)), after));
}

void checkSettings(const std::string& text) {
    std::istringstream in(text);
    std::ostringstream errors;
    GameSettings settings;
    readSettings(in, settings, errors);
    require(settings.minStars >= 2 && settings.minStars < settings.maxStars && settings.maxStars <= 8192);
    require(settings.sensitivity >= 0.5f && settings.sensitivity <= 50);
    require(settings.mapDimensions >= 10 && settings.mapDimensions <= 1000);
    // No key does two actions, and Escape and F1 stay the game's own.
    for (size_t i = 0; i < kActionCount; ++i) {
        const SDLKey key = settings.keys.key(static_cast<Action>(i));
        require(key != SDLK_ESCAPE && (key != SDLK_F1 || static_cast<Action>(i) == Action::KeysPanel));
        for (size_t j = i + 1; j < kActionCount; ++j) require(key != settings.keys.key(static_cast<Action>(j)));
    }
    // Every message is one line naming the file and a line number; without a key, each an unknown key.
    const bool namedAKey = namesAKey(text);
    std::istringstream lines(errors.str());
    for (std::string line; std::getline(lines, line);)
        require(line.rfind("config.txt:", 0) == 0 && (namedAKey || line.find(": unknown key ") != std::string::npos));
    require(errors.str().empty() || errors.str().back() == '\n');
    require(namedAKey || sameSettings(settings, GameSettings()));
    static ManualClock clock;
    static RandomSource random(1);
    static PlayerState local(true, clock, random);
    local.setMapSize(settings.mapDimensions);
    local.setStarRange(settings.minStars, settings.maxStars);
    local.newMatch();
    require(local.starCount() >= 2 && local.starCount() <= 8192);
    checkRewrite(text, settings);
}

void checkConnection(const std::string& text) {
    std::istringstream in(text);
    int32_t port = 0;
    std::string host;
    const bool read = readConnectionTokens(in, port, host);
    require(port == -1 || (port >= 0 && port <= 65535));
    require(read == (port != -1 && host != "NULL" && !host.empty()));
}

bool closeEnough(float a, float b) { return std::fabs(a - b) <= 1e-5f * std::fmax(std::fabs(a), std::fabs(b)); }

// A number read from the text, written and read back whole, is the same number.
void checkConversions(const std::string& text) {
    int32_t whole = 0, again = 0;
    if (parseInt(text, whole)) require(parseWholeInt(toText(whole), again) && again == whole);
    float value = 0, back = 0;
    if (readNumber(text, value) == NumberRead::Read && std::isfinite(value))
        require(parseWholeFloat(toText(value), back) && closeEnough(back, value));
    if (parseWholeFloat(text, value)) require(readNumber(text, back) == NumberRead::Read && back == value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool keyNames = [] {  // SDL names the keys once its video has started
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        return SDL_Init(SDL_INIT_VIDEO) == 0;
    }();
    require(keyNames);
    const std::string text(reinterpret_cast<const char*>(data), size);
    checkSettings(text);
    checkConnection(text);
    checkConversions(text);
    return 0;
}
