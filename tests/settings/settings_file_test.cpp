// The player's config.txt written back: what changed is rewritten in place,
// everything else stays byte for byte, and a write that fails leaves the old
// file whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "settings/settings_file.h"
#include "tests/support/file_size_limit.h"

namespace fs = std::filesystem;

namespace {

GameSettings read(const std::string& text) {
    GameSettings settings;
    std::istringstream in(text);
    std::ostringstream errors;
    readSettings(in, settings, errors);
    return settings;
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

    std::ofstream(folder / "file") << "not a folder";
    SettingsFile blocked = loaded(folder / "file" / "starhold" / "config.txt", settings);
    settings.sensitivity = 6;
    EXPECT_FALSE(blocked.save(settings, errors));
    EXPECT_EQ(said(), "starhold: could not save the settings in " + (folder / "file/starhold/config.txt").string() +
                          ": cannot create its folder (Not a directory)\n");
}
