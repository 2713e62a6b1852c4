// The ladder: whole matches without a window between the computer's levels and
// against a random flier, each side hosting half of them, and time trials of
// each level alone. Matches run two sides in one process in lockstep on a
// clock of their own, so they take seconds and play the same on any machine.
// One CSV row per match and per trial; bench/ladder.py makes the tables.

#include <SDL.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "base/text.h"
#include "bot/pilot.h"
#include "bot/random_flier.h"
#include "match/local_match.h"

namespace {

constexpr uint32_t kLongestMatchMs = 15 * 60 * 1000;
constexpr uint32_t kLongestTrialMs = 15 * 60 * 1000;

// A level of the computer, or the random flier when there is none.
struct Player {
    std::optional<BotLevel> level;
    const char* name() const { return level ? botLevelName(*level) : "random"; }
};

std::unique_ptr<Flier> makeFlier(const Player& player, uint32_t seed) {
    if (!player.level) {
        return std::make_unique<RandomFlier>(seed);
    }
    return std::make_unique<Pilot>(*player.level, seed);
}

// Half of a pairing's matches, one side hosting them all, one rematch after another.
bool playHalf(const Player& host, const Player& guest, int matches, unsigned seed, std::FILE* out) {
    std::unique_ptr<Flier> hostFlier = makeFlier(host, seed);
    std::unique_ptr<Flier> guestFlier = makeFlier(guest, seed + 1);
    LocalMatch match(GameSettings(), *hostFlier, *guestFlier, seed);
    if (!match.connect()) {
        std::fprintf(stderr, "ladder: %s could not join %s\n", guest.name(), host.name());
        return false;
    }
    for (int i = 0; i < matches; ++i) {
        if (i > 0 && !match.rematch()) {
            std::fprintf(stderr, "ladder: the rematch of %s and %s did not start\n", host.name(), guest.name());
            return false;
        }
        const MatchOutcome outcome = match.playMatch(kLongestMatchMs);
        const char* winner = !outcome.ended ? "none" : outcome.hostWon ? host.name() : guest.name();
        std::fprintf(out, "%s,%s,%s,%d\n", host.name(), guest.name(), winner, outcome.lengthMs);
        std::fflush(out);
    }
    return true;
}

// The other side of a time trial: it never moves, and nobody joins it.
class Idle : public Flier {
public:
    Steering decide(const PlayerState&, const PlayerState&, bool, uint32_t) override { return Steering(); }
};

// One level alone on a default field until it has taken every star: the host
// of a match nobody joins, on the field drawn first from the seed.
int32_t timeTrial(BotLevel level, unsigned seed) {
    Pilot pilot(level, seed);
    Idle idle;
    LocalMatch trial(GameSettings(), pilot, idle, seed);
    const PlayerState& own = trial.host().localPlayer();
    trial.stepUntil(kLongestTrialMs, [&] { return own.isMatchOver(); });
    return own.isMatchOver() ? own.matchTime() : -1;
}

int readCount(const char* text, int fallback) {
    int32_t value = 0;
    return text != nullptr && parseInt(text, value) && value > 0 ? value : fallback;
}

}  // namespace

// ladder MATCHES_PER_PAIRING TRIALS_PER_LEVEL MATCHES_CSV TRIALS_CSV
int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: starhold-ladder MATCHES_PER_PAIRING TRIALS_PER_LEVEL MATCHES_CSV TRIALS_CSV\n");
        return 2;
    }
    const int matches = readCount(argv[1], 20);
    const int trials = readCount(argv[2], 20);
    std::FILE* matchesOut = std::fopen(argv[3], "w");
    std::FILE* trialsOut = std::fopen(argv[4], "w");
    if (matchesOut == nullptr || trialsOut == nullptr || !startHeadlessSdl()) {
        std::fprintf(stderr, "ladder: cannot start: %s\n", matchesOut && trialsOut ? SDL_GetError() : "an output file");
        return 1;
    }
    const Player hard{BotLevel::Hard};
    const Player normal{BotLevel::Normal};
    const Player easy{BotLevel::Easy};
    const Player beginner{BotLevel::Beginner};
    const Player random{std::nullopt};
    const Player pairings[][2] = {{hard, normal}, {normal, easy}, {easy, beginner}, {easy, random}, {beginner, random}};
    std::fprintf(matchesOut, "host,guest,winner,length_ms\n");
    bool played = true;
    unsigned seed = 1;
    for (const auto& pair : pairings) {
        played = played && playHalf(pair[0], pair[1], (matches + 1) / 2, seed++, matchesOut);
        played = played && playHalf(pair[1], pair[0], matches / 2, seed++, matchesOut);
    }
    std::fprintf(trialsOut, "level,seed,time_ms\n");
    for (BotLevel level : kBotLevels) {
        for (int trial = 1; trial <= trials; ++trial) {
            std::fprintf(trialsOut, "%s,%d,%d\n", botLevelName(level), trial, timeTrial(level, 100u + trial));
            std::fflush(trialsOut);
        }
    }
    std::fclose(matchesOut);
    std::fclose(trialsOut);
    SDL_Quit();
    return played ? 0 : 1;
}
