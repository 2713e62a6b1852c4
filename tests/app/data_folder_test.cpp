// Where the game looks for its data and for the player's own settings, as the
// README describes them, in environments like a player's.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "app/data_folder.h"

namespace fs = std::filesystem;

namespace {

// Sets or clears an environment variable for one test, then puts it back.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name(name) {
        if (const char* old = std::getenv(name)) previous = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedVariable() { previous ? setenv(name, previous->c_str(), 1) : unsetenv(name); }

private:
    const char* name;
    std::optional<std::string> previous;
};

// A scratch tree per test, and the working directory put back afterwards.
class Folders : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("starhold-folders-" + std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "home");
        previous = fs::current_path();
    }
    void TearDown() override {
        fs::current_path(previous);
        fs::remove_all(root);
    }
    static void makeData(const fs::path& folder) {
        fs::create_directories(folder / "images");
        fs::create_directories(folder / "audio");
        std::ofstream(folder / "characters.fnt") << "1 1\n";
    }

    fs::path root, previous;
};

}  // namespace

TEST_F(Folders, SettingsLiveInDotConfigUnderHomeWhenXdgConfigHomeIsNotSet) {
    const std::string home = (root / "home").string();
    ScopedVariable homeVariable("HOME", home.c_str());
    ScopedVariable xdg("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(settingsFolder(), home + "/.config/starhold");
    EXPECT_EQ(settingsPath("config.txt"), "config.txt");  // no copy of the player's own: the data folder's
    fs::create_directories(root / "home/.config/starhold");
    std::ofstream(root / "home/.config/starhold/config.txt") << "minstars 10\n";
    EXPECT_EQ(settingsPath("config.txt"), home + "/.config/starhold/config.txt");
    EXPECT_EQ(settingsPath("connection.txt"), "connection.txt");
    {
        ScopedVariable relative("XDG_CONFIG_HOME", "relative/config");  // not a path to use
        EXPECT_EQ(settingsFolder(), home + "/.config/starhold");
    }
    {
        ScopedVariable absolute("XDG_CONFIG_HOME", (root / "xdg").c_str());
        EXPECT_EQ(settingsFolder(), (root / "xdg/starhold").string());
    }
    ScopedVariable homeless("HOME", nullptr);
    EXPECT_EQ(settingsFolder(), "");
    EXPECT_EQ(settingsPath("config.txt"), "config.txt");
}

// Started from a folder without data (the home folder, say), the game looks
// beside its binary: ../data in a build tree, ../share/starhold once installed.
TEST_F(Folders, DataIsFoundInTheWorkingFolderThenBesideTheBinary) {
    fs::current_path(root / "home");
    makeData(root / "checkout/data");
    makeData(root / "prefix/share/starhold");
    ASSERT_TRUE(enterDataFolder((root / "checkout/build/starhold").string()));
    EXPECT_EQ(fs::current_path(), root / "checkout/data");

    fs::current_path(root / "home");
    ASSERT_TRUE(enterDataFolder((root / "prefix/bin/starhold").string()));
    EXPECT_EQ(fs::current_path(), root / "prefix/share/starhold");

    makeData(root / "home");  // the folder it is started in comes first
    fs::current_path(root / "home");
    ASSERT_TRUE(enterDataFolder((root / "checkout/build/starhold").string()));
    EXPECT_EQ(fs::current_path(), root / "home");
    EXPECT_EQ(executablePath("fallback"), fs::read_symlink("/proc/self/exe"));
}

TEST_F(Folders, WithoutDataTheFoldersTriedAreNamedInOneLine) {
    fs::create_directories(root / "checkout/data/images");  // no font, no audio/: not the data
    fs::create_directories(root / "checkout/data/audio");
    fs::current_path(root / "home");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(enterDataFolder((root / "checkout/build/starhold").string()));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "starhold: no game data (characters.fnt, images/, audio/) in " + (root / "home").string() + ", " +
                  (root / "checkout/data").string() + ", " + (root / "checkout/share/starhold").string() + "\n");
    EXPECT_EQ(fs::current_path(), root / "home");
}
