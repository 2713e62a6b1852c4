// Where the game looks for its data and for the player's own settings, as the
// README describes them, in environments like a player's.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/data_folder.h"

namespace fs = std::filesystem;

namespace {

// A scratch tree per test; the working folder, HOME and XDG_CONFIG_HOME are put back afterwards.
class Folders : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("starhold-folders-" + std::to_string(getpid()));
        fs::create_directories(root / "home");
        previous = fs::current_path();
        for (const char* name : {"HOME", "XDG_CONFIG_HOME"})
            saved.emplace_back(name, std::getenv(name) ? std::optional<std::string>(std::getenv(name)) : std::nullopt);
    }
    void TearDown() override {
        for (const auto& [name, value] : saved) value ? setenv(name, value->c_str(), 1) : unsetenv(name);
        fs::current_path(previous);
        fs::remove_all(root);
    }
    // The game's data in `folder`, entered from the home folder.
    void makeData(const fs::path& folder) {
        fs::create_directories(folder / "images");
        fs::create_directories(folder / "audio");
        std::ofstream(folder / "characters.fnt") << "1 1\n";
        fs::current_path(root / "home");
    }

    fs::path root, previous;
    std::vector<std::pair<const char*, std::optional<std::string>>> saved;
};

}  // namespace

TEST_F(Folders, SettingsLiveInDotConfigUnderHomeWhenXdgConfigHomeIsNotSet) {
    const std::string home = (root / "home").string(), own = home + "/.config/starhold";
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(settingsFolder(), own);
    EXPECT_EQ(settingsPath("config.txt"), "config.txt");  // no copy of the player's own: the data folder's
    fs::create_directories(own);
    std::ofstream(own + "/config.txt") << "minstars 10\n";
    EXPECT_EQ(settingsPath("config.txt"), own + "/config.txt");
    EXPECT_EQ(settingsPath("connection.txt"), "connection.txt");
    setenv("XDG_CONFIG_HOME", "relative/config", 1);  // not a path to use
    EXPECT_EQ(settingsFolder(), own);
    setenv("XDG_CONFIG_HOME", (root / "xdg").c_str(), 1);
    EXPECT_EQ(settingsFolder(), (root / "xdg/starhold").string());
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");
    EXPECT_EQ(settingsPath("config.txt"), "config.txt");
}

// Started from a folder without data (the home folder, say), the game looks
// beside its binary: ../data in a build tree, ../share/starhold once installed.
TEST_F(Folders, DataIsFoundInTheWorkingFolderThenBesideTheBinary) {
    const std::pair<fs::path, fs::path> layouts[] = {{"checkout/build/starhold", "checkout/data"},
                                                     {"prefix/bin/starhold", "prefix/share/starhold"}};
    for (const auto& [binary, data] : layouts) {
        makeData(root / data);
        EXPECT_TRUE(enterDataFolder((root / binary).string()) && fs::current_path() == root / data) << data;
    }
    makeData(root / "home");  // the folder it is started in comes first
    EXPECT_TRUE(enterDataFolder((root / "checkout/build/starhold").string()) && fs::current_path() == root / "home");
    EXPECT_EQ(executablePath("fallback"), fs::read_symlink("/proc/self/exe"));
}

TEST_F(Folders, WithoutDataTheFoldersTriedAreNamedInOneLine) {
    fs::create_directories(root / "checkout/data/images");  // no font, no audio/: not the data
    fs::current_path(root / "home");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(enterDataFolder((root / "checkout/build/starhold").string()));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "starhold: no game data (characters.fnt, images/, audio/) in " + (root / "home").string() + ", " +
                  (root / "checkout/data").string() + ", " + (root / "checkout/share/starhold").string() + "\n");
    EXPECT_EQ(fs::current_path(), root / "home");
}
