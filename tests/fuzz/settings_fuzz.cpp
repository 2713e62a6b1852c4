// The input read as config.txt and as connection.txt, and pushed through the
// text conversions. Checks: settings within the README's bounds (and a match can
// be generated from them), one message per line and defaults kept when no key is
// recognised, a port that is a TCP port or -1, and numbers that survive being
// written and read back.
#include <cmath>
#include <sstream>

#include "settings/settings.h"
#include "base/text.h"
#include "harness.h"
#include "world/player_state.h"

namespace {

bool namesAKey(const std::string& text) {
    std::istringstream words(text);
    for (std::string key, value; words >> key; words >> value) {
        for (const char* known : {"sensitivity", "minstars", "maxstars", "mapdimensions", "playerskin", "botlevel"})
            if (key == known) return true;
    }
    return false;
}

void checkSettings(const std::string& text) {
    std::istringstream in(text);
    std::ostringstream errors;
    GameSettings settings;
    readSettings(in, settings, errors);
    require(settings.minStars <= 8192 && settings.maxStars <= 8192);
    require(settings.mapDimensions >= 10 && settings.mapDimensions <= 1000);
    // Every message is one line naming the file and a line number; without a key, each an unknown key.
    const bool namedAKey = namesAKey(text);
    std::istringstream lines(errors.str());
    for (std::string line; std::getline(lines, line);)
        require(line.rfind("config.txt:", 0) == 0 && (namedAKey || line.find(": unknown key ") != std::string::npos));
    require(errors.str().empty() || errors.str().back() == '\n');
    const GameSettings defaults;
    require(namedAKey || (settings.sensitivity == defaults.sensitivity && settings.minStars == defaults.minStars &&
                          settings.maxStars == defaults.maxStars && settings.mapDimensions == defaults.mapDimensions &&
                          settings.playerSkin == defaults.playerSkin && settings.botLevel == defaults.botLevel));
    static ManualClock clock;
    static RandomSource random(1);
    static PlayerState local(true, clock, random);
    local.setMapSize(settings.mapDimensions);
    local.setStarRange(settings.minStars, settings.maxStars);
    local.newMatch();
    require(local.starCount() >= 0 && local.starCount() <= 8192);
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
    const std::string text(reinterpret_cast<const char*>(data), size);
    checkSettings(text);
    checkConnection(text);
    checkConversions(text);
    return 0;
}
