#pragma once
// How well the computer opponent plays. The levels differ in reaction, aim and
// choice of stars, never in what the ship may do.

#include <string>

enum class BotLevel { Beginner, Easy, Normal, Hard };

// Every level, the weakest first.
constexpr BotLevel kBotLevels[] = {BotLevel::Beginner, BotLevel::Easy, BotLevel::Normal, BotLevel::Hard};

// Reads "beginner", "easy", "normal" or "hard"; false, with `level` untouched, for anything else.
bool parseBotLevel(const std::string& name, BotLevel& level);

// "beginner", "easy", "normal" or "hard".
const char* botLevelName(BotLevel level);

// The names as a list for messages: "beginner, easy, normal or hard".
const char* botLevelChoices();

// The level after this one, round again from hard to beginner.
BotLevel nextBotLevel(BotLevel level);
