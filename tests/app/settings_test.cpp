#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <tuple>

#include "app/settings.h"

namespace {

GameSettings read(const std::string& text, std::string* messages = nullptr) {
    GameSettings settings;
    std::istringstream in(text);
    std::ostringstream errors;
    readSettings(in, settings, errors);
    if (messages) *messages = errors.str();
    return settings;
}

}  // namespace

TEST(Settings, MissingFileKeepsDefaults) {
    GameSettings settings;
    std::ostringstream errors;
    EXPECT_FALSE(loadSettings("/nonexistent/config.txt", settings, errors));
    EXPECT_TRUE(settings.minStars == 30 && settings.maxStars == 50 && settings.mapDimensions == 20);
    EXPECT_TRUE(errors.str().empty());
}

TEST(Settings, ReadsKeysCaseSensitivelyLastValueWins) {
    const GameSettings s = read("sensitivity 2.5\nplayerskin 1\nMapdimensions 50\nfoo bar\nmapdimensions 30\nmapdimensions 40");
    EXPECT_FLOAT_EQ(s.sensitivity, 2.5f);
    EXPECT_TRUE(s.playerSkin);
    EXPECT_EQ(s.mapDimensions, 40);
}

TEST(Settings, ChecksTheBounds) {
    struct Case { const char* text; int32_t min, max, map; };
    const Case cases[] = {
        {"minstars 80\nmaxstars 40\n", 40, 80, 20},
        {"minstars 25 maxstars 25", 25, 26, 20},
        {"minstars 0\nmaxstars -4\n", 0, -4, 20},      // not above 0: left as read
        {"minstars 90 maxstars 0", 90, 0, 20},
        {"maxstars 99999999 mapdimensions 4", 30, kMaxStars, 10},
        {"mapdimensions 10", 30, 50, 10},
        {"mapdimensions 100000", 30, 50, kMaxMapDimensions},
    };
    for (const Case& c : cases) {
        const GameSettings s = read(c.text);
        EXPECT_EQ(std::make_tuple(s.minStars, s.maxStars, s.mapDimensions), std::make_tuple(c.min, c.max, c.map))
            << c.text;
    }
}

TEST(Settings, UnreadableValueKeepsTheDefaultAndSaysWhich) {
    std::string messages;
    const GameSettings s = read("minstars lots\nsensitivity fast\n", &messages);
    EXPECT_EQ(s.minStars, 30);
    EXPECT_FLOAT_EQ(s.sensitivity, 5.0f);
    EXPECT_NE(messages.find("minstars"), std::string::npos);
    EXPECT_NE(messages.find("sensitivity"), std::string::npos);
    EXPECT_EQ(std::count(messages.begin(), messages.end(), '\n'), 2);
}
