// The player's records: which matches count, and keeping them.

#include <iostream>

#include "app/game.h"

// A match that counts, once it is over: a time alone, or a result against the
// computer. The file is read again first, so that another copy of the game
// playing meanwhile loses nothing of its own.
void Game::keepRecords() {
    const PlayerState& local = match.localPlayer();
    MatchView view;
    view.match = local.matchNumber();
    view.over = local.isMatchOver();
    view.versus = local.ownEnergy() <= 0 || local.opponentEnergy() <= 0;
    view.alone = !network().isServer() && !network().isClient() && !network().isConnecting();
    view.againstComputer = againstComputer && match.connected();
    view.level = computerLevel;
    if (!view.over) {
        trialBestMs = -1;
        trialNewBest = false;
    }
    switch (recordWatch.observe(view)) {
        case MatchEnd::TimeTrial: {
            const GameSettings& field = match.settings();
            keepTrialTime(TrialKind{field.mapDimensions, field.minStars, field.maxStars}, local.matchTime());
            break;
        }
        case MatchEnd::ComputerMatch:
            keepComputerResult(computerLevel, local.ownEnergy() > local.opponentEnergy());
            break;
        case MatchEnd::None: break;
    }
}

void Game::keepTrialTime(const TrialKind& kind, int32_t ms) {
    records = readRecords(recordsPath(), std::cerr);
    trialNewBest = records.offerTime(kind, ms);
    trialBestMs = records.bestTime(kind);
    writeRecords(recordsPath(), records, std::cerr);
}

void Game::keepComputerResult(BotLevel level, bool won) {
    records = readRecords(recordsPath(), std::cerr);
    records.addResult(level, won);
    writeRecords(recordsPath(), records, std::cerr);
}
