#pragma once
// The computer opponent as the game runs it: a starhold-bot process that joins
// the game over loopback and plays as a friend would. The game hosts, starts
// the bot and stops it again; the bot also leaves on its own when the game's
// connection closes, so it never outlives the game.

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "settings/bot_level.h"

class ComputerOpponent {
public:
    ComputerOpponent() = default;
    ~ComputerOpponent();  // stops a bot still running
    ComputerOpponent(const ComputerOpponent&) = delete;
    ComputerOpponent& operator=(const ComputerOpponent&) = delete;

    // Starts `program` at `level` to join 127.0.0.1:`port`; false after one line
    // on standard error when it cannot be started.
    bool start(const std::string& program, BotLevel level, int32_t port);
    void stop();     // asks it to quit and waits for it
    bool running();  // false once it has ended (it is then reaped)

private:
    pid_t pid = -1;
};
