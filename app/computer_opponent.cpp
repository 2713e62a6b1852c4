#include "app/computer_opponent.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include <SDL.h>

extern char** environ;

namespace {

constexpr int kQuitTries = 100;
constexpr Uint32 kQuitTryMs = 10;

}  // namespace

ComputerOpponent::~ComputerOpponent() { stop(); }

bool ComputerOpponent::start(const std::string& program, BotLevel level, int32_t port) {
    stop();
    const std::string portText = std::to_string(port);
    const char* const args[] = {program.c_str(), "--level", botLevelName(level), "127.0.0.1", portText.c_str(),
                                nullptr};
    const int failed =
        posix_spawn(&pid, program.c_str(), nullptr, nullptr, const_cast<char* const*>(args), environ);
    if (failed != 0) {
        std::fprintf(stderr, "Could not start the computer opponent %s: %s\n", program.c_str(), std::strerror(failed));
        pid = -1;
        return false;
    }
    return true;
}

// A bot that does not quit within a second is killed: the game never waits on it longer.
void ComputerOpponent::stop() {
    if (pid <= 0) {
        return;
    }
    kill(pid, SIGTERM);
    for (int tries = 0; tries < kQuitTries && waitpid(pid, nullptr, WNOHANG) == 0; ++tries) {
        SDL_Delay(kQuitTryMs);
    }
    if (waitpid(pid, nullptr, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    pid = -1;
}

bool ComputerOpponent::running() {
    if (pid <= 0) {
        return false;
    }
    if (waitpid(pid, nullptr, WNOHANG) == 0) {
        return true;
    }
    pid = -1;
    return false;
}
