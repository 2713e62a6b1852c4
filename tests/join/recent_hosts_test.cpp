#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "join/recent_hosts.h"

namespace fs = std::filesystem;

namespace {

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void put(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

size_t lineCount(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

// A private folder, and XDG_STATE_HOME and HOME as they were when the test began.
class RecentHosts : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name = testing::TempDir() + "/recent-XXXXXX";
        ASSERT_NE(mkdtemp(&name[0]), nullptr);
        folder = name;
        file = (folder / "starhold" / "recent-hosts").string();
        saveVariable("XDG_STATE_HOME", savedState);
        saveVariable("HOME", savedHome);
    }
    void TearDown() override {
        restoreVariable("XDG_STATE_HOME", savedState);
        restoreVariable("HOME", savedHome);
        std::error_code error;
        fs::permissions(folder / "starhold", fs::perms::owner_all, error);
        fs::remove_all(folder, error);
    }
    static void saveVariable(const char* name, std::unique_ptr<std::string>& saved) {
        const char* value = std::getenv(name);
        if (value) saved = std::make_unique<std::string>(value);
    }
    static void restoreVariable(const char* name, const std::unique_ptr<std::string>& saved) {
        if (saved) setenv(name, saved->c_str(), 1);
        else unsetenv(name);
    }
    std::vector<std::string> read(std::string* messages = nullptr) {
        std::ostringstream errors;
        const std::vector<std::string> hosts = readRecentHosts(file, errors);
        if (messages) *messages = errors.str();
        return hosts;
    }
    bool remember(const std::string& host) {
        std::ostringstream errors;
        return rememberJoinedHost(file, host, errors);
    }
    std::vector<std::string> folderListing() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder / "starhold")) names.push_back(entry.path().filename());
        return names;
    }

    fs::path folder;
    std::string file;
    std::unique_ptr<std::string> savedState, savedHome;
};

}  // namespace

TEST_F(RecentHosts, PathFollowsTheEnvironment) {
    setenv("HOME", "/home/player", 1);
    setenv("XDG_STATE_HOME", "/var/state", 1);
    EXPECT_EQ(recentHostsPath(), "/var/state/starhold/recent-hosts");
    setenv("XDG_STATE_HOME", "", 1);
    EXPECT_EQ(recentHostsPath(), "/home/player/.local/state/starhold/recent-hosts");
    unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(recentHostsPath(), "/home/player/.local/state/starhold/recent-hosts");
    unsetenv("HOME");
    EXPECT_EQ(recentHostsPath(), "");
}

TEST_F(RecentHosts, ThePlayersOwnEnvironmentWithoutXdgStateHome) {
    unsetenv("XDG_STATE_HOME");
    setenv("HOME", folder.c_str(), 1);
    std::ostringstream errors;
    ASSERT_TRUE(rememberJoinedHost(recentHostsPath(), "192.168.1.20", errors)) << errors.str();
    EXPECT_EQ(contents(folder / ".local" / "state" / "starhold" / "recent-hosts"), "192.168.1.20\n");
    EXPECT_EQ(readRecentHosts(recentHostsPath(), errors), std::vector<std::string>{"192.168.1.20"});
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

TEST_F(RecentHosts, BlankLinesAndRepeatsInTheFileAreHarmless) {
    fs::create_directories(folder / "starhold");
    put(file, "a.lan\n\nb.lan:4000\na.lan");
    std::string messages;
    EXPECT_EQ(read(&messages), (std::vector<std::string>{"a.lan", "b.lan:4000"}));
    EXPECT_EQ(messages, "");
}

TEST_F(RecentHosts, MissingOrUnreadableFilesAreEmptySilently) {
    std::string messages;
    EXPECT_TRUE(read(&messages).empty());
    EXPECT_EQ(messages, "");
    fs::create_directories(file);  // a folder where the file belongs
    EXPECT_TRUE(read(&messages).empty());
    EXPECT_EQ(messages, "");
    fs::remove(file);
    ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);  // reading it would wait for a writer for ever
    EXPECT_TRUE(read(&messages).empty());
    EXPECT_EQ(messages, "");
}

TEST_F(RecentHosts, AFileThePlayerCannotReadIsEmptySilently) {
    fs::create_directories(folder / "starhold");
    put(file, "a.lan\n");
    fs::permissions(file, fs::perms::none);
    if (access(file.c_str(), R_OK) == 0) GTEST_SKIP() << "permissions do not bind this user";
    std::string messages;
    EXPECT_TRUE(read(&messages).empty());
    EXPECT_EQ(messages, "");
}

TEST_F(RecentHosts, DamagedFilesAreEmptyWithOneLine) {
    fs::create_directories(folder / "starhold");
    const std::string cases[] = {
        "a.lan\nb\x01.lan\n",
        "a.lan\r\n",
        std::string(65, 'a') + "\n",
        "a.lan\nnot a host\n",
        "a.lan:99999\n",
        "a.lan\nb.lan\n" + std::string(5000, '\n'),
        std::string("a.lan\0\n", 7),
    };
    for (const std::string& text : cases) {
        put(file, text);
        std::string messages;
        EXPECT_TRUE(read(&messages).empty()) << text;
        EXPECT_EQ(lineCount(messages), 1u) << text;
        EXPECT_NE(messages.find(file), std::string::npos) << messages;
    }
    EXPECT_TRUE(remember("c.lan"));  // the next join replaces it
    EXPECT_EQ(contents(file), "c.lan\n");
}

TEST_F(RecentHosts, AFailedWriteLeavesTheOldFileWhole) {
    ASSERT_TRUE(remember("old.lan"));
    const std::vector<std::string> longer{"first.example.org", "second.example.org", "third.example.org"};
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit saved = limit;
    limit.rlim_cur = 20;  // the new list stops part-way through
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    std::ostringstream errors;
    const bool written = writeRecentHosts(file, longer, errors);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(written);
    EXPECT_EQ(lineCount(errors.str()), 1u) << errors.str();
    EXPECT_EQ(contents(file), "old.lan\n");
    EXPECT_EQ(folderListing(), std::vector<std::string>{"recent-hosts"});  // no temporary file left
}

TEST_F(RecentHosts, AnUnwritableFolderLeavesTheOldFileWhole) {
    ASSERT_TRUE(remember("old.lan"));
    fs::permissions(folder / "starhold", fs::perms::owner_read | fs::perms::owner_exec);
    if (access((folder / "starhold").c_str(), W_OK) == 0) GTEST_SKIP() << "permissions do not bind this user";
    std::ostringstream errors;
    EXPECT_FALSE(rememberJoinedHost(file, "new.lan", errors));
    EXPECT_EQ(lineCount(errors.str()), 1u);
    EXPECT_EQ(contents(file), "old.lan\n");
}
