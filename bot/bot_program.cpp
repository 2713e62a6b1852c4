#include "bot/bot_program.h"

#include <SDL.h>
#include <sys/prctl.h>

#include <csignal>
#include <cstdio>

#include "base/text.h"
#include "base/clock.h"
#include "base/random.h"
#include "bot/bot_player.h"
#include "match/local_match.h"

namespace {

bool parsePort(const std::string& text, int32_t& port) {
    int32_t value = 0;
    if (!parseInt(text, value) || value < 1 || value > 65535) {
        return false;
    }
    port = value;
    return true;
}

bool parseCount(const std::string& text, int& count) {
    int32_t value = 0;
    if (!parseInt(text, value) || value < 0) {
        return false;
    }
    count = value;
    return true;
}

// The options that take a value, then the host and port (or --listen's port).
BotCommand parseWords(int argc, const char* const* argv, BotOptions& options, std::string& problem) {
    std::string places[2];
    int placeCount = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--help" || word == "-h") {
            return BotCommand::Help;
        }
        const bool takesValue = word == "--level" || word == "--listen" || word == "--matches";
        if (takesValue && i + 1 >= argc) {
            problem = word + " needs a value";
            return BotCommand::Wrong;
        }
        if (word == "--level" && !parseBotLevel(argv[++i], options.level)) {
            problem = "no level '" + std::string(argv[i]) + "' (" + botLevelChoices() + ")";
            return BotCommand::Wrong;
        } else if (word == "--listen") {
            options.listen = true;
            if (!parsePort(argv[++i], options.port)) {
                problem = "not a port: " + std::string(argv[i]);
                return BotCommand::Wrong;
            }
        } else if (word == "--matches" && !parseCount(argv[++i], options.matches)) {
            problem = "not a number of matches: " + std::string(argv[i]);
            return BotCommand::Wrong;
        } else if (!takesValue) {
            if (word.size() > 1 && word[0] == '-') {
                problem = "no option " + word;
                return BotCommand::Wrong;
            }
            if (placeCount == 2) {
                problem = "too many arguments";
                return BotCommand::Wrong;
            }
            places[placeCount++] = word;
        }
    }
    if (options.listen) {
        if (placeCount != 0) {
            problem = "--listen takes no host";
            return BotCommand::Wrong;
        }
        return BotCommand::Play;
    }
    if (placeCount != 2) {
        problem = "a host and a port are needed";
        return BotCommand::Wrong;
    }
    options.host = places[0];
    if (!parsePort(places[1], options.port)) {
        problem = "not a port: " + places[1];
        return BotCommand::Wrong;
    }
    return BotCommand::Play;
}

bool startSdl() {
    if (!startHeadlessSdl()) {
        std::fprintf(stderr, "starhold-bot: SDL could not start: %s\n", SDL_GetError());
        return false;
    }
    return true;
}

// Plays until the match is over for the bot or it is asked to quit.
void play(BotPlayer& bot) {
    bool quit = false;
    while (!quit && !bot.finished()) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            bot.handleEvent(event);
            quit = quit || event.type == SDL_QUIT;  // SIGINT and SIGTERM arrive this way
        }
        bot.runPass();
        const int32_t wait = bot.msUntilDue();
        if (wait > 0) {
            SDL_Delay(static_cast<Uint32>(wait));
        }
    }
}

int runBot(const BotOptions& options) {
    // A bot started by the game goes with it, however the game ends; when the
    // game's sockets close, the bot's connection closes too.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (!startSdl()) {
        return 1;
    }
    int status = 0;
    {
        BotPlayer bot(sdlClock(), options.level, seedFromTime());
        bot.setMatchLimit(options.matches);
        const bool ready = bot.startNetworking() &&
                           (options.listen ? bot.host(options.port) : bot.join(options.host, options.port));
        if (ready) {
            play(bot);
        }
        status = ready && !bot.failed() ? 0 : 1;  // the connection's own line has said why
    }
    SDL_Quit();
    return status;
}

}  // namespace

BotCommand parseBotArguments(int argc, const char* const* argv, BotOptions& options, std::string& problem) {
    options = BotOptions();
    problem.clear();
    return parseWords(argc, argv, options, problem);
}

const char* botUsage() {
    return "usage: starhold-bot [--level beginner|easy|normal|hard] [--matches N] HOST PORT\n"
           "       starhold-bot [--level beginner|easy|normal|hard] [--matches N] --listen PORT\n"
           "The computer opponent of starhold: joins the game hosted at HOST:PORT, or hosts\n"
           "one on PORT for another player, and plays until the connection closes.\n";
}

int runBotProgram(int argc, const char* const* argv) {
    BotOptions options;
    std::string problem;
    switch (parseBotArguments(argc, argv, options, problem)) {
        case BotCommand::Help: std::fputs(botUsage(), stdout); return 0;
        case BotCommand::Wrong:
            std::fprintf(stderr, "starhold-bot: %s\n%s", problem.c_str(), botUsage());
            return 2;
        case BotCommand::Play: break;
    }
    return runBot(options);
}
