#include "bot/bot_player.h"

BotPlayer::BotPlayer(const Clock& time, BotLevel level, uint32_t seed, const GameSettings& settings)
    : clock(time), random(seed), match(time, random), flier(level, seed, settings.sensitivity) {
    match.configure(settings);
}

bool BotPlayer::host(int32_t port) { return match.host(port); }

bool BotPlayer::join(const std::string& hostName, int32_t port) {
    joining = match.join(hostName, port);
    joinFailed = !joining;
    return joining;
}

void BotPlayer::runPass() {
    const uint32_t nowMs = clock.now();
    const Steering keys = flier.decide(match.localPlayer(), match.remotePlayer(), match.connected(), nowMs);
    match.runPass(match.connected() ? &keys : nullptr);  // waiting alone, it keeps still
    followMatch(nowMs);
}

// Counts the matches that end and, as host, starts the next one after a pause.
void BotPlayer::followMatch(uint32_t nowMs) {
    const Connection& connection = match.network();
    if (match.connected()) {
        hadPeer = true;
        joining = false;
    } else if (joining && !connection.isConnecting()) {
        joining = false;
        joinFailed = true;
    }
    const bool over = match.localPlayer().isMatchOver();
    if (over && !wasOver) {
        ++ended;
        overSinceMs = nowMs;
    }
    wasOver = over;
    if (!over || !connection.isServer() || !match.connected()) {
        return;
    }
    if (matchLimit > 0 && ended >= matchLimit) {
        match.leave();
    } else if (nowMs - overSinceMs >= kRematchDelayMs) {
        match.startNewMatch();
    }
}

bool BotPlayer::finished() const { return joinFailed || (hadPeer && !match.connected()); }
