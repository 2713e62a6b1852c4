#pragma once
// starhold-bot, the computer opponent as a program: it joins a game over the
// real protocol (or hosts one for another computer) and plays until its
// connection closes. It needs no display: SDL runs on its dummy video driver,
// which gives the event queue and no window.

#include <cstdint>
#include <string>

#include "settings/bot_level.h"

struct BotOptions {
    BotLevel level = BotLevel::Normal;
    bool listen = false;  // host on `port` instead of joining
    std::string host;
    int32_t port = -1;
    int matches = 0;  // as host: leave after this many matches; 0 never
};

enum class BotCommand { Play, Help, Wrong };

// Reads the arguments; for Wrong, `problem` says what is wrong in a few words.
BotCommand parseBotArguments(int argc, const char* const* argv, BotOptions& options, std::string& problem);
const char* botUsage();

// Runs the bot to its end; the process's exit status: 0 after a game, 1 when
// the host could not be reached or the port not opened, 2 for wrong arguments.
int runBotProgram(int argc, const char* const* argv);
