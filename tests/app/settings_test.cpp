#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "app/settings.h"

namespace {

GameSettings read(const std::string& text, std::string* messages = nullptr) {
    GameSettings settings;
    std::istringstream in(text);
    std::ostringstream errors;
    readSettings(in, settings, errors);
    if (messages) {
        *messages = errors.str();
    }
    return settings;
}

}  // namespace

TEST(Settings, DefaultsWhenTheFileIsEmptyOrMissing) {
    const GameSettings s = read("");
    EXPECT_FLOAT_EQ(s.sensitivity, 5.0f);
    EXPECT_EQ(s.minStars, 30);
    EXPECT_EQ(s.maxStars, 50);
    EXPECT_EQ(s.mapDimensions, 20);
    EXPECT_FALSE(s.playerSkin);
    GameSettings missing;
    std::ostringstream errors;
    EXPECT_FALSE(loadSettings("/nonexistent/config.txt", missing, errors));
    EXPECT_EQ(missing.minStars, 30);
    EXPECT_TRUE(errors.str().empty());
}

TEST(Settings, ReadsKeysCaseSensitivelyLastValueWins) {
    const GameSettings s = read(
        "sensitivity 2.5\nplayerskin 1\nMapdimensions 50\nfoo bar\nmapdimensions 30\nmapdimensions 40");
    EXPECT_FLOAT_EQ(s.sensitivity, 2.5f);
    EXPECT_TRUE(s.playerSkin);
    EXPECT_EQ(s.mapDimensions, 40);
}

TEST(Settings, StarBoundsAreOrderedAndApart) {
    GameSettings s = read("minstars 80\nmaxstars 40\n");
    EXPECT_EQ(s.minStars, 40);
    EXPECT_EQ(s.maxStars, 80);
    s = read("minstars 25 maxstars 25");
    EXPECT_EQ(s.minStars, 25);
    EXPECT_EQ(s.maxStars, 26);
    s = read("minstars 0\nmaxstars -4\n");
    EXPECT_EQ(s.minStars, 0);
    EXPECT_EQ(s.maxStars, -4);
    s = read("minstars 90 maxstars 0");
    EXPECT_EQ(s.minStars, 90);
    EXPECT_EQ(s.maxStars, 0);
}

TEST(Settings, MapDimensionsAreKeptWithinBounds) {
    EXPECT_EQ(read("mapdimensions 4").mapDimensions, 10);
    EXPECT_EQ(read("mapdimensions 10").mapDimensions, 10);
    std::string messages;
    EXPECT_EQ(read("mapdimensions 100000", &messages).mapDimensions, kMaxMapDimensions);
    EXPECT_NE(messages.find("mapdimensions"), std::string::npos);
    EXPECT_EQ(read("maxstars 99999999").maxStars, kMaxStars);
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
