#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <tuple>

#include "settings/settings.h"

namespace {

GameSettings read(const std::string& text, std::string* messages = nullptr) {
    GameSettings settings;
    std::istringstream in(text);
    std::ostringstream errors;
    readSettings(in, settings, errors);
    if (messages) *messages = errors.str();
    return settings;
}

std::string messagesOf(const std::string& text) {
    std::string messages;
    read(text, &messages);
    return messages;
}

}  // namespace

TEST(Settings, ReadsKeysCaseSensitivelyLastValueWinsAndAMissingFileKeepsTheDefaults) {
    const GameSettings s = read("sensitivity 2.5\nplayerskin 1\nMapdimensions 50\nfoo bar\nmapdimensions 30\nmapdimensions 40");
    EXPECT_TRUE(s.sensitivity == 2.5f && s.playerSkin && s.mapDimensions == 40 && !s.botLevelSet && !s.fullScreen);
    EXPECT_TRUE(read("botlevel beginner").botLevelSet && !read("botlevel expert").botLevelSet);
    EXPECT_TRUE(read("fullscreen 1").fullScreen && !read("fullscreen 1\nfullscreen 0").fullScreen);
    GameSettings settings;
    std::ostringstream errors;
    EXPECT_FALSE(loadSettings("/nonexistent/config.txt", settings, errors));
    EXPECT_TRUE(settings.minStars == 30 && settings.maxStars == 50 && errors.str().empty());
}

// The README's bounds: at most 8192 stars, an arena of 10 to 1000.
TEST(Settings, ChecksTheBounds) {
    const std::tuple<const char*, int32_t, int32_t, int32_t> cases[] = {  // the file, then the bounds and arena
        {"minstars 80\nmaxstars 40\n", 40, 80, 20},
        {"minstars 25 maxstars 25", 25, 26, 20},
        {"minstars 0\nmaxstars -4\n", 0, -4, 20},      // not above 0: left as read
        {"minstars 90 maxstars 0", 90, 0, 20},
        {"maxstars 99999999 mapdimensions 4", 30, 8192, 10},
        {"maxstars 8192 minstars 8192", 8191, 8192, 20},  // equal at the most: the range opens downwards
        {"minstars 8193 maxstars 8192 mapdimensions 1000", 8191, 8192, 1000},
        {"mapdimensions 10", 30, 50, 10},
        {"mapdimensions 1001", 30, 50, 1000},
        {"mapdimensions 100000000000000000000000", 30, 50, 1000},
    };
    for (const auto& [text, min, max, map] : cases) {
        const GameSettings s = read(text);
        EXPECT_EQ(std::make_tuple(s.minStars, s.maxStars, s.mapDimensions), std::make_tuple(min, max, map)) << text;
    }
}

TEST(Settings, EachProblemIsOneLineNamingItsLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"minstars 40\n\nMinstars 80\n", "config.txt:3: unknown key Minstars, skipped with its value\n"},
        {"minstars lots\n", "config.txt:1: minstars lots is not a number; keeping 30\n"},
        {"minstars 123456789012345678901234567890123456789012345678901234567890x",  // a long word is cut
         "config.txt:1: minstars 1234567890123456789012345678901234567890... is out of range (at most 8192); "
         "using 8192\n"},
        {"sensitivity 2\nsensitivity fast", "config.txt:2: sensitivity fast is not a number; keeping 2\n"},
        {"\n\nplayerskin", "config.txt:3: playerskin has no value; keeping 0\n"},
        {"mapdimensions 4", "config.txt:1: mapdimensions 4 is out of range (10 to 1000); using 10\n"},
        {"maxstars 8193", "config.txt:1: maxstars 8193 is out of range (at most 8192); using 8192\n"},
        {"minstars 99999999999", "config.txt:1: minstars 99999999999 is out of range (at most 8192); using 8192\n"},
        {"minstars -99999999999",
         "config.txt:1: minstars -99999999999 is out of range (-2147483648 to 8192); using -2147483648\n"},
        {"playerskin 2", "config.txt:1: playerskin 2 is out of range (0 to 1); keeping 0\n"},
        {"fullscreen 1\nfullscreen yes", "config.txt:2: fullscreen yes is not a number; keeping 1\n"},
        {"fullscreen -1", "config.txt:1: fullscreen -1 is out of range (0 to 1); keeping 0\n"},
        {"botlevel hard\nbotlevel Easy", "config.txt:2: botlevel Easy is not a level (beginner, easy, normal or hard); keeping hard\n"},
        {"announce 0\nannounce 2", "config.txt:2: announce 2 is out of range (0 to 1); keeping 0\n"},
        {"playername alice\nplayername 0123456789abcdefg",
         "config.txt:2: playername 0123456789abcdefg is not a name (at most 16 letters, digits or signs); keeping "
         "alice\n"},
        {"sensitivity 1e99",
         "config.txt:1: sensitivity 1e99 is out of range (-3.40282e+38 to 3.40282e+38); keeping 5\n"},
    };
    for (const auto& [text, message] : cases) EXPECT_EQ(messagesOf(text), message) << text;
    EXPECT_EQ(messagesOf("minstars 8192\nmaxstars -4\nmapdimensions 1000\nplayerskin 1\nsensitivity -2.5\nbotlevel easy"), "");

    const GameSettings named = read("announce 0\nplayername 0123456789abcdef");
    EXPECT_TRUE(!named.announce && announcedName(named) == "0123456789abcdef" && GameSettings().announce);
    EXPECT_TRUE(isPlayerName(announcedName(GameSettings())));  // the login name, made into a player name

    const std::string path = testing::TempDir() + "/config.txt";
    std::ofstream(path) << "sensitivity 1\n  mapdimensions\n\n 5\nwhat ever\n";  // a key and its value may straddle lines
    GameSettings settings;
    std::ostringstream errors;
    ASSERT_TRUE(loadSettings(path, settings, errors));
    EXPECT_EQ(errors.str(), path + ":2: mapdimensions 5 is out of range (10 to 1000); using 10\n" + path +
                                ":5: unknown key what, skipped with its value\n");
}
