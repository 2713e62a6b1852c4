#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "settings/settings_file.h"
#include "tests/support/file_size_limit.h"

namespace fs = std::filesystem;

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

// The text changed from what it gives to `after`, checked to give `after` when read back.
std::string changed(const std::string& text, const GameSettings& after) {
    const std::string result = changedConfigText(text, read(text), after);
    EXPECT_TRUE(sameSettings(read(result), after)) << result;
    return result;
}

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
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

// The README's ranges: 2 to 8192 stars, an arena of 10 to 1000, a sensitivity of 0.5 to 50.
TEST(Settings, ChecksTheRanges) {
    const std::tuple<const char*, int32_t, int32_t, int32_t> cases[] = {  // the file, then the bounds and arena
        {"minstars 80\nmaxstars 40\n", 40, 80, 20},
        {"minstars 25 maxstars 25", 25, 26, 20},
        {"minstars 0\nmaxstars -4\n", 2, 3, 20},  // both brought to 2, then widened: never an empty field
        {"minstars 90 maxstars 0", 2, 90, 20},
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
    const std::pair<const char*, float> sensitivities[] = {{"0", 0.5f}, {"-2.5", 0.5f}, {"0.5", 0.5f}, {"50", 50},
                                                           {"1e99", 50}, {"7.25", 7.25f}};
    for (const auto& [value, used] : sensitivities) EXPECT_EQ(read(std::string("sensitivity ") + value).sensitivity, used);
}

TEST(Settings, EachProblemIsOneLineNamingItsLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"minstars 40\n\nMinstars 80\n", "config.txt:3: unknown key Minstars, skipped with its value\n"},
        {"minstars lots\n", "config.txt:1: minstars lots is not a number; keeping 30\n"},
        {"minstars 20x\n", "config.txt:1: minstars 20x is not a number; keeping 30\n"},
        {"mapdimensions 20.5", "config.txt:1: mapdimensions 20.5 is not a number; keeping 20\n"},
        {"minstars 123456789012345678901234567890123456789012345678901234567890",  // a long word is cut
         "config.txt:1: minstars 1234567890123456789012345678901234567890... is out of range (2 to 8192); "
         "using 8192\n"},
        {"sensitivity 2\nsensitivity fast", "config.txt:2: sensitivity fast is not a number; keeping 2\n"},
        {"sensitivity 2.5.1", "config.txt:1: sensitivity 2.5.1 is not a number; keeping 5\n"},
        {"\n\nplayerskin", "config.txt:3: playerskin has no value; keeping 0\n"},
        {"mapdimensions 4", "config.txt:1: mapdimensions 4 is out of range (10 to 1000); using 10\n"},
        {"maxstars 8193", "config.txt:1: maxstars 8193 is out of range (2 to 8192); using 8192\n"},
        {"minstars 0", "config.txt:1: minstars 0 is out of range (2 to 8192); using 2\n"},
        {"minstars -99999999999", "config.txt:1: minstars -99999999999 is out of range (2 to 8192); using 2\n"},
        {"playerskin 2", "config.txt:1: playerskin 2 is out of range (0 to 1); keeping 0\n"},
        {"fullscreen 1\nfullscreen yes", "config.txt:2: fullscreen yes is not a number; keeping 1\n"},
        {"fullscreen -1", "config.txt:1: fullscreen -1 is out of range (0 to 1); keeping 0\n"},
        {"botlevel hard\nbotlevel Easy", "config.txt:2: botlevel Easy is not a level (beginner, easy, normal or hard); keeping hard\n"},
        {"sensitivity -1", "config.txt:1: sensitivity -1 is out of range (0.5 to 50); using 0.5\n"},
        {"sensitivity 1e99", "config.txt:1: sensitivity 1e99 is out of range (0.5 to 50); using 50\n"},
        {"# my own settings\n  #indented, too\nminstars 40 #x", "config.txt:3: unknown key #x, skipped with its value\n"},
        {"announce 0\nannounce 2", "config.txt:2: announce 2 is out of range (0 to 1); keeping 0\n"},
        {"playername alice\nplayername 0123456789abcdefg",
         "config.txt:2: playername 0123456789abcdefg is not a name (at most 16 letters, digits or signs); keeping "
         "alice\n"},
    };
    for (const auto& [text, message] : cases) EXPECT_EQ(messagesOf(text), message) << text;
    EXPECT_EQ(messagesOf("minstars 8192\nmaxstars 2\nmapdimensions 1000\nplayerskin 1\nsensitivity 0.5\nbotlevel easy"), "");
    std::string messages;
    EXPECT_EQ(read("# my own settings\nsensitivity\n   # the thrust\n3\n#", &messages).sensitivity, 3);
    EXPECT_EQ(messages, "");

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

// Keys are named as SDL names them, which it does once its video has started.
class KeyBindingsInConfig : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
    }
    static void TearDownTestSuite() { SDL_Quit(); }
};

TEST_F(KeyBindingsInConfig, KeysAreReadByNameWithTheChecksOfEveryOtherValue) {
    std::string messages;
    const GameSettings s = read("keyforward  Left Shift \nkeyup s\nkeydown w\npadcentre 3\npadupaxis 2\nsoundvolume 40", &messages);
    EXPECT_EQ(messages, "");
    EXPECT_EQ(s.keys.key(Action::Forward), SDLK_LSHIFT);  // a name of two words, in any case
    EXPECT_EQ(s.keys.key(Action::Reverse), SDLK_UP);      // no key does two actions: it took forward's old key
    EXPECT_TRUE(s.keys.key(Action::Up) == SDLK_s && s.keys.key(Action::Down) == SDLK_w);
    EXPECT_TRUE(s.pad.button(PadAction::Centre) == 3 && s.pad.upAxis == 2 && s.soundVolume == 40);

    const std::pair<const char*, const char*> cases[] = {
        {"\nkeyforward upp", "config.txt:2: keyforward upp is not a key name; keeping up\n"},
        {"keyforward\n# up", "config.txt:1: keyforward has no value; keeping up\n"},
        {"keymusic escape", "config.txt:1: keymusic escape: escape opens the options; keeping m\n"},
        {"keymusic F1", "config.txt:1: keymusic F1: f1 always shows the keys; keeping m\n"},
        {"keymusic f11", "config.txt:1: keymusic f11: f11 switches full screen; keeping m\n"},
        {"keypanel m", "config.txt:1: keypanel m: f1 always shows the keys; keeping f1\n"},
        {"padoptions 32", "config.txt:1: padoptions 32 is out of range (0 to 31); keeping 7\n"},
        {"padupaxis 1", "config.txt:1: padupaxis 1 is out of range (2 to 31); keeping 4\n"},
        {"musicvolume 101", "config.txt:1: musicvolume 101 is out of range (0 to 100); using 100\n"},
    };
    for (const auto& [text, message] : cases) {
        GameSettings settings = read(text, &messages);
        EXPECT_EQ(messages, message) << text;
        EXPECT_TRUE(settings.keys == KeyBindings() && settings.pad == PadBindings()) << text;  // defaults kept
    }
}

// The player's config.txt written back: what changed is rewritten in place,
// everything else stays byte for byte, and a write that fails leaves the old
// file whole.
TEST(ConfigText, OnlyTheValuesOfChangedSettingsChangeAndTheStarBoundsAsAPair) {
    const std::string text =
        "# my settings\nfoo bar\nsensitivity 5.0\n\nminstars 25 maxstars 25\nmapdimensions\n\n 30\nsensitivity 4\nplayerskin";
    GameSettings after = read(text);
    EXPECT_EQ(changed(text, after), text);
    after.sensitivity = 2.5f;  // the last of two lines is the one that counts
    after.mapDimensions = 40;  // its value on a line of its own
    after.playerSkin = true;   // a key without a value gets one
    EXPECT_EQ(changed(text, after),
              "# my settings\nfoo bar\nsensitivity 5.0\n\nminstars 25 maxstars 25\nmapdimensions\n\n 40\nsensitivity 2.5\n"
              "playerskin 1");
    // A setting the text does not name yet gets a line of its own at the end.
    const std::pair<std::string, std::string> added[] = {
        {"sensitivity 4\n", "sensitivity 4\nbotlevel hard\n"},
        {"", "botlevel hard\n"},
        {"# the end", "# the end\nbotlevel hard\n"},
        {"minstars 40 foo", "minstars 40 botlevel hard\nfoo"},  // foo would take it as its value
        {text, "# my settings\nfoo bar\nsensitivity 5.0\n\nminstars 25 maxstars 25\nmapdimensions\n\n 30\n"
               "sensitivity 4\nbotlevel hard\nplayerskin"},
    };
    for (const auto& [before, expected] : added) {
        after = read(before);
        after.botLevel = BotLevel::Hard;
        after.botLevelSet = true;
        EXPECT_EQ(changed(before, after), expected);
    }
    after = read("minstars 80\nmaxstars 40\n");  // read as 40 to 80: checked, so written, as a pair
    after.minStars = 44;
    EXPECT_EQ(changed("minstars 80\nmaxstars 40\n", after), "minstars 44\nmaxstars 80\n");
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name = testing::TempDir() + "/settings-XXXXXX";
        ASSERT_NE(mkdtemp(&name[0]), nullptr);
        folder = name;
        own = folder / "config" / "starhold" / "config.txt";
        std::ofstream(folder / "shared.txt") << "# shipped with the game\nsensitivity 5.0\nmapdimensions 30\n";
    }
    void TearDown() override { fs::remove_all(folder); }
    SettingsFile loaded(const fs::path& path, GameSettings& settings) {
        SettingsFile file(path.string(), (folder / "shared.txt").string());
        file.load(settings, errors);
        return file;
    }
    std::string said() {
        const std::string text = errors.str();
        errors.str("");
        return text;
    }

    fs::path folder;
    fs::path own;
    std::ostringstream errors;
};

TEST_F(SettingsFileTest, TheFirstChangeMakesThePlayersFileFromTheSharedOne) {
    GameSettings settings;
    SettingsFile file = loaded(own, settings);
    ASSERT_EQ(settings.mapDimensions, 30);
    EXPECT_TRUE(file.save(settings, errors) && !fs::exists(own));  // nothing changed, nothing written
    settings.sensitivity = 3;
    ASSERT_TRUE(file.save(settings, errors)) << said();
    EXPECT_EQ(contents(own), "# shipped with the game\nsensitivity 3\nmapdimensions 30\n");
    EXPECT_EQ(fs::status(own.parent_path()).permissions(), fs::perms::owner_all);
    std::ofstream(own, std::ios::app) << "mystery 1\n";  // the player edits it while the game runs
    settings.playerSkin = true;
    ASSERT_TRUE(file.save(settings, errors));
    EXPECT_EQ(contents(own), "# shipped with the game\nsensitivity 3\nmapdimensions 30\nmystery 1\nplayerskin 1\n");
}

TEST_F(SettingsFileTest, AFileThatCannotBeWrittenIsNamedAndTheNextSaveTriesAgain) {
    GameSettings settings;
    SettingsFile file = loaded(own, settings);
    settings.sensitivity = 3;
    ASSERT_TRUE(file.save(settings, errors));
    settings.sensitivity = 4;
    settings.botLevel = BotLevel::Easy;
    settings.botLevelSet = true;
    EXPECT_FALSE(withFileSizeLimit(20, [&] { return file.save(settings, errors); }));  // cut short part-way
    EXPECT_EQ(said().rfind("starhold: could not save the settings in " + own.string() + ": cannot write (", 0), 0u);
    EXPECT_EQ(contents(own), "# shipped with the game\nsensitivity 3\nmapdimensions 30\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(own.parent_path()), {}), 1) << "a temporary file was left";
    ASSERT_TRUE(file.save(settings, errors));
    EXPECT_EQ(contents(own), "# shipped with the game\nsensitivity 4\nmapdimensions 30\nbotlevel easy\n");
}
