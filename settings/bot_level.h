#pragma once
// How well the computer opponent plays. The levels differ in reaction, aim and
// choice of stars, never in what the ship may do.

#include <string>

enum class BotLevel { Easy, Normal, Hard };

// Reads "easy", "normal" or "hard"; false, with `level` untouched, for anything else.
bool parseBotLevel(const std::string& name, BotLevel& level);

// "easy", "normal" or "hard".
const char* botLevelName(BotLevel level);

// The level after this one, round again from hard to easy.
BotLevel nextBotLevel(BotLevel level);
