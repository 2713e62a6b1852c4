#pragma once
// Tells from what the game shows, pass after pass, when a match ends that
// counts for the records: a time trial played alone from its start to its
// last star, or a match against the computer played from its start to its end
// at one level. A match that was networked for a while, or whose computer
// changed level, counts for nothing. Matches are told apart by their number,
// as two may start within one millisecond of each other.

#include <cstdint>

#include "settings/bot_level.h"

// What the game shows of the match in one pass.
struct MatchView {
    uint32_t match = 0;           // which match: another number, another match
    bool over = false;
    bool versus = false;          // an energy ran out: the match was played against someone
    bool alone = false;           // neither hosting nor joined nor connecting
    bool againstComputer = false; // the computer is the peer
    BotLevel level = BotLevel::Normal;
};

enum class MatchEnd { None, TimeTrial, ComputerMatch };

class RecordWatch {
public:
    // What ended in this pass: each match that counts is reported once.
    MatchEnd observe(const MatchView& view);

private:
    bool watching = false;
    uint32_t lastMatch = 0;
    bool wasOver = false;
    bool aloneThroughout = false;
    bool computerThroughout = false;
    BotLevel level = BotLevel::Normal;
};
