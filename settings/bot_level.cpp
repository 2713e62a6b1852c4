#include "settings/bot_level.h"

namespace {

struct LevelName {
    BotLevel level;
    const char* name;
};

constexpr LevelName kLevelNames[] = {
    {BotLevel::Beginner, "beginner"},
    {BotLevel::Easy, "easy"},
    {BotLevel::Normal, "normal"},
    {BotLevel::Hard, "hard"},
};

}  // namespace

bool parseBotLevel(const std::string& name, BotLevel& level) {
    for (const LevelName& entry : kLevelNames) {
        if (name == entry.name) {
            level = entry.level;
            return true;
        }
    }
    return false;
}

const char* botLevelName(BotLevel level) {
    for (const LevelName& entry : kLevelNames) {
        if (entry.level == level) {
            return entry.name;
        }
    }
    return "normal";
}

const char* botLevelChoices() { return "beginner, easy, normal or hard"; }

BotLevel nextBotLevel(BotLevel level) {
    switch (level) {
        case BotLevel::Beginner: return BotLevel::Easy;
        case BotLevel::Easy: return BotLevel::Normal;
        case BotLevel::Normal: return BotLevel::Hard;
        case BotLevel::Hard: break;
    }
    return BotLevel::Beginner;
}
