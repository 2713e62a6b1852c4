#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "join/recent_hosts.h"

namespace fs = std::filesystem;

namespace {

std::string contents(const fs::path& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

size_t lineCount(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

// An environment variable put back as it was when the test ends.
struct SavedVariable {
    explicit SavedVariable(const char* name) : name(name) {
        if (const char* value = std::getenv(name)) saved = value;
    }
    ~SavedVariable() { saved ? setenv(name, saved->c_str(), 1) : unsetenv(name); }
    const char* name;
    std::optional<std::string> saved;
};

class RecentHosts : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name = testing::TempDir() + "/recent-XXXXXX";
        ASSERT_NE(mkdtemp(&name[0]), nullptr);
        folder = name;
        file = (folder / "starhold" / "recent-hosts").string();
    }
    void TearDown() override {
        std::error_code error;
        fs::permissions(folder / "starhold", fs::perms::owner_all, error);
        fs::remove_all(folder, error);
    }
    std::vector<std::string> read(std::string* messages = nullptr) {
        std::ostringstream errors;
        const std::vector<std::string> hosts = readRecentHosts(file, errors);
        if (messages) *messages = errors.str();
        return hosts;
    }
    bool remember(const std::string& host, std::string* messages = nullptr) {
        std::ostringstream errors;
        const bool written = rememberJoinedHost(file, host, errors);
        if (messages) *messages = errors.str();
        return written;
    }

    fs::path folder;
    std::string file;
    SavedVariable state{"XDG_STATE_HOME"}, home{"HOME"};
};

}  // namespace

TEST_F(RecentHosts, LivesInTheStateFolderOfThePlayersEnvironment) {
    setenv("HOME", "/home/player", 1);
    setenv("XDG_STATE_HOME", "/var/state", 1);
    EXPECT_EQ(recentHostsPath(), "/var/state/starhold/recent-hosts");
    setenv("XDG_STATE_HOME", "", 1);
    EXPECT_EQ(recentHostsPath(), "/home/player/.local/state/starhold/recent-hosts");
    unsetenv("HOME");
    EXPECT_EQ(recentHostsPath(), "");

    unsetenv("XDG_STATE_HOME");  // as most players have it: written under HOME, folders created
    setenv("HOME", folder.c_str(), 1);
    std::ostringstream errors;
    ASSERT_TRUE(rememberJoinedHost(recentHostsPath(), "192.168.1.20", errors)) << errors.str();
    EXPECT_EQ(contents(folder / ".local" / "state" / "starhold" / "recent-hosts"), "192.168.1.20\n");
}

TEST_F(RecentHosts, MostRecentFirstAtMostEightWithoutDuplicates) {
    for (int n = 1; n <= 10; ++n) ASSERT_TRUE(remember("host" + std::to_string(n)));
    EXPECT_EQ(read(), (std::vector<std::string>{"host10", "host9", "host8", "host7", "host6", "host5", "host4",
                                                "host3"}));
    ASSERT_TRUE(remember("host6:4000"));
    ASSERT_TRUE(remember("host6"));
    EXPECT_EQ(contents(file), "host6\nhost6:4000\nhost10\nhost9\nhost8\nhost7\nhost5\nhost4\n");
    EXPECT_FALSE(remember("not a host"));
    EXPECT_EQ(read().front(), "host6");
}

TEST_F(RecentHosts, FilesThatCannotBeReadAreEmptySilentlyAndDamagedOnesWithOneLine) {
    std::string messages;
    EXPECT_TRUE(read(&messages).empty());
    fs::create_directories(file);  // a folder where the file belongs
    EXPECT_TRUE(read(&messages).empty());
    fs::remove(file);
    ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);  // opening it would wait for a writer for ever
    EXPECT_TRUE(read(&messages).empty());
    fs::remove(file);
    std::ofstream(file) << "a.lan\n";
    fs::permissions(file, fs::perms::none);  // unless permissions do not bind this user
    EXPECT_TRUE(access(file.c_str(), R_OK) == 0 || read(&messages).empty());
    EXPECT_EQ(messages, "");

    const std::string damaged[] = {
        "a.lan\nb\x01.lan\n", "a.lan\r\n", std::string(65, 'a') + "\n", "a.lan\nnot a host\n", "a.lan:99999\n",
        "a.lan\nb.lan\n" + std::string(5000, '\n'), std::string("a.lan\0\n", 7),
    };
    for (const std::string& text : damaged) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
        EXPECT_TRUE(read(&messages).empty()) << text;
        EXPECT_TRUE(lineCount(messages) == 1 && messages.find(file) != std::string::npos) << messages;
    }
    EXPECT_TRUE(remember("c.lan"));  // the next join replaces it
    EXPECT_EQ(contents(file), "c.lan\n");
}

TEST_F(RecentHosts, AFailedWriteLeavesTheOldFileWhole) {
    ASSERT_TRUE(remember("old.lan"));
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit saved = limit;
    limit.rlim_cur = 20;  // the new list stops part-way through
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    std::string messages;
    const bool written = remember("first.example.org", &messages);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    EXPECT_EQ(lineCount(messages), 1u) << messages;
    EXPECT_EQ(contents(file), "old.lan\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / "starhold"), {}), 1) << "a temporary file was left";

    fs::permissions(folder / "starhold", fs::perms::owner_read | fs::perms::owner_exec);
    if (access((folder / "starhold").c_str(), W_OK) == 0) return;  // permissions do not bind this user
    EXPECT_FALSE(remember("new.lan", &messages));
    EXPECT_EQ(lineCount(messages), 1u);
    EXPECT_EQ(contents(file), "old.lan\n");
}
