// Joining a friend: the address shown while listening, the join prompt, and
// the recent-hosts file the prompt remembers joined hosts in.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <tuple>

#include "join/host_address.h"
#include "join/join_prompt.h"
#include "join/recent_hosts.h"
#include "tests/support/file_size_limit.h"

namespace fs = std::filesystem;

namespace {

// Presses and releases a key, as SDL delivers it; the press's result.
PromptAction tap(JoinPrompt& prompt, SDLKey key, uint16_t unicode = 0) {
    const PromptAction action = prompt.handleKey(key, unicode, true);
    prompt.handleKey(key, 0, false);
    return action;
}

// Types the text, one key each: a letter's keysym is its lower-case code, and
// '\b' and '\r' are Backspace and Return. The last key's result.
PromptAction type(JoinPrompt& prompt, const std::string& text) {
    PromptAction action = PromptAction::NotTaken;
    for (char c : text) action = tap(prompt, static_cast<SDLKey>(std::tolower(c)), uint16_t(c));
    return action;
}

JoinPrompt opened(const std::vector<std::string>& recent = {}, int32_t port = 1337) {
    JoinPrompt prompt;
    prompt.open(recent, port);
    return prompt;
}

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
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
    std::vector<std::string> read() { return readRecentHosts(file, errors); }
    bool remember(const std::string& host) { return rememberJoinedHost(file, host, errors); }
    std::string said() {  // what the reads and writes since the last call wrote to stderr
        const std::string text = errors.str();
        errors.str("");
        return text;
    }

    fs::path folder;
    std::string file;
    std::ostringstream errors;
    SavedVariable state{"XDG_STATE_HOME"}, home{"HOME"};
};

}  // namespace

TEST(ListeningAddress, ChosenFromTheInterfaceTable) {
    const InterfaceAddress lo{"lo", "127.0.0.1", true};
    // What the interfaces are, the interfaces, the default route's and what is shown.
    const std::tuple<const char*, std::vector<InterfaceAddress>, const char*, const char*> cases[] = {
        {"none at all", {}, "", "this machine only: 127.0.0.1:1337"},
        {"loopback only", {lo}, "", "this machine only: 127.0.0.1:1337"},
        {"IPv6 only", {lo, {"eth0", ""}, {"eth0", ""}}, "eth0", "this machine only: 127.0.0.1:1337"},
        {"one", {lo, {"eth0", "192.168.1.20"}}, "eth0", "192.168.1.20:1337"},
        {"several: the default route's first", {lo, {"docker0", "172.17.0.1"}, {"wlan0", "192.168.1.20"}}, "wlan0",
         "192.168.1.20:1337 (+1 more)"},
        {"several, no default route", {{"eth0", "10.0.0.7"}, {"eth1", "10.1.0.7"}, {"eth2", "10.2.0.7"}}, "",
         "10.0.0.7:1337 (+2 more)"},
        {"link-local after the rest", {{"eth0", "169.254.3.4"}, {"wlan0", "10.0.0.5"}}, "eth0",
         "10.0.0.5:1337 (+1 more)"},
        {"an interface that is down", {{"eth0", "10.0.0.5", false, false}, lo}, "eth0",
         "this machine only: 127.0.0.1:1337"},
        {"one address on two interfaces", {{"br0", "10.0.0.5"}, {"br0:1", "10.0.0.5"}}, "", "10.0.0.5:1337"},
        {"a loopback address on another interface", {{"dummy0", "127.0.0.5"}}, "", "this machine only: 127.0.0.1:1337"},
    };
    for (const auto& [what, interfaces, defaultRoute, shown] : cases)
        EXPECT_EQ(chooseListeningAddress(interfaces, defaultRoute, 1337), shown) << what;
    EXPECT_EQ(chooseListeningAddress({{"eth0", "10.0.0.5"}}, "", 4000), "10.0.0.5:4000");
    EXPECT_NE(listeningAddress(4000).find(":4000"), std::string::npos);  // and this machine's own
}

TEST(ListeningAddress, DefaultRouteIsTheUpRouteToEverywhereWithTheLowestMetric) {
    const std::string header = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
    std::istringstream table(header + "docker0\t000011AC\t00000000\t0001\t0\t0\t0\t0000FFFF\t0\t0\t0\n"
                                      "eth0\t00000000\t0101A8C0\t0002\t0\t0\t0\t00000000\t0\t0\t0\n"  // down
                                      "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
                                      "eth1\t00000000\t0100000A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
                                      "garbage\tzz\n"
                                      "eth2\t00000000\t0100000A\t0003\t0\t0\t900\t00000000\t0\t0\t0\n");
    EXPECT_EQ(defaultRouteInterface(table), "eth1");
    std::istringstream none(header + "eth0\t0001A8C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n"), empty;
    EXPECT_TRUE(defaultRouteInterface(none).empty() && defaultRouteInterface(empty).empty());
}

TEST(JoinPrompt, EnterJoinsWithTheDefaultOrTypedPortOrRefusesWithAReason) {
    const std::tuple<std::string, int32_t, std::string> cases[] = {  // the text, the default port, the outcome
        {"Box.lanx\b", 4000, "Box.lan:4000"},
        {"192.168.1.20:65535", 1337, "192.168.1.20:65535"},
        {"box", -1, "no port: add :PORT"},
        {"", 1337, "type a host name or address"},
        {"box:99999", 1337, "not a port: 99999"},
        {"box:0", 1337, "not a port: 0"},
        {"box:", 1337, "no port after ':'"},
        {":1337", 1337, "no host before ':'"},
        {"-box", 1337, "not a host name"},
        {std::string(64, 'b'), 1337, "not a host name"},  // a label holds at most 63
        {"1.2.3", 1337, "not an IPv4 address: 1.2.3"},
        {"010.0.0.1", 1337, "not an IPv4 address: 010.0.0.1"},
        {"1::1", 1337, "IPv6 is not supported"},
    };
    for (const auto& [text, port, joinedOrReason] : cases) {
        JoinPrompt prompt = opened({}, port);
        const PromptAction action = type(prompt, text + "\r");
        if (action == PromptAction::Join) {
            EXPECT_FALSE(prompt.isOpen());
            EXPECT_EQ(prompt.target().host + ":" + std::to_string(prompt.target().port), joinedOrReason);
            continue;
        }
        EXPECT_TRUE(action == PromptAction::Taken && prompt.isOpen()) << text;
        EXPECT_TRUE(prompt.text() == text && prompt.refusal() == joinedOrReason) << text;
        type(prompt, "\b");
        EXPECT_EQ(prompt.refusal(), "") << "an edit clears the reason";
    }
}

TEST(JoinPrompt, RefusesCharactersNoAddressHoldsAndBoundsTheLength) {
    JoinPrompt prompt = opened();
    type(prompt, "a b/c@d_e");
    tap(prompt, static_cast<SDLKey>(233), 0xe9);  // é
    EXPECT_TRUE(prompt.text() == "abcde" && prompt.refusal() == "only letters, digits, - . and :");
    tap(prompt, SDLK_LSHIFT);
    tap(prompt, SDLK_F1);
    EXPECT_EQ(prompt.text(), "abcde");
    type(prompt, std::string(80, 'x'));
    EXPECT_TRUE(prompt.text().size() == 64 && prompt.refusal() == "too long");
    EXPECT_EQ(prompt.line(20), "join: .." + std::string(11, 'x') + "_");
}

TEST(JoinPrompt, OpensOnTheLastHostJoinedAndUpAndDownStepThroughTheOthers) {
    EXPECT_EQ(opened().line(40), "join: _");
    JoinPrompt prompt = opened({"a.lan", "b.lan", "c.lan"});
    EXPECT_EQ(prompt.line(40), "join: a.lan_");
    const std::pair<SDLKey, const char*> steps[] = {
        {SDLK_UP, "b.lan"},   {SDLK_UP, "c.lan"}, {SDLK_UP, "c.lan"}, {SDLK_DOWN, "b.lan"},
        {SDLK_DOWN, "a.lan"}, {SDLK_DOWN, ""},    {SDLK_DOWN, ""},    {SDLK_UP, "a.lan"},
    };
    for (const auto& [key, text] : steps)
        EXPECT_TRUE(tap(prompt, key) == PromptAction::Taken && prompt.text() == text) << text;
    type(prompt, ":4000");  // an edit becomes the player's own line again
    tap(prompt, SDLK_UP);
    EXPECT_EQ(prompt.text(), "a.lan");
    tap(prompt, SDLK_DOWN);
    EXPECT_EQ(prompt.text(), "a.lan:4000");
}

// The games heard are listed under the line: Down goes from the player's own
// text down the list, and the game chosen stays chosen while the list moves.
TEST(JoinPrompt, DownChoosesAGameHeardAndEnterJoinsItAsIfTyped) {
    const HeardGame alice{"alice", "10.0.0.2", 4000, 0}, bob{"bob", "10.0.0.3", 1337, 0};
    JoinPrompt prompt = opened({"old.lan"});
    prompt.showGames({alice, bob});
    const std::pair<SDLKey, const char*> steps[] = {
        {SDLK_DOWN, ""}, {SDLK_DOWN, "10.0.0.2:4000"}, {SDLK_DOWN, "10.0.0.3:1337"}, {SDLK_DOWN, "10.0.0.3:1337"},
        {SDLK_UP, "10.0.0.2:4000"}, {SDLK_UP, ""}, {SDLK_UP, "old.lan"}, {SDLK_DOWN, ""}, {SDLK_DOWN, "10.0.0.2:4000"},
    };
    for (const auto& [key, text] : steps) EXPECT_EQ((tap(prompt, key), prompt.text()), text);
    prompt.showGames({bob, alice});  // a game heard since goes first: the choice moves with alice
    EXPECT_EQ(prompt.chosenGame(), 1);
    ASSERT_EQ(tap(prompt, SDLK_RETURN), PromptAction::Join);
    EXPECT_TRUE(prompt.target().host == "10.0.0.2" && prompt.target().port == 4000);

    prompt = opened();
    prompt.showGames({alice, bob});
    tap(prompt, SDLK_DOWN);
    tap(prompt, SDLK_DOWN);
    prompt.showGames({alice});  // bob is gone: his address stays, as the player's own text
    EXPECT_TRUE(prompt.chosenGame() == -1 && prompt.text() == "10.0.0.3:1337");
    EXPECT_EQ((tap(prompt, SDLK_DOWN), type(prompt, "\b"), prompt.chosenGame()), -1);  // edited: its own text
    prompt.showGames({{"0123456789abcdef", "192.168.100.200", 65535, 0}});
    EXPECT_EQ(prompt.gameLine(0, 36), "0123456789a..  192.168.100.200:65535");
}

TEST(JoinPrompt, SwallowsEveryKeyWhileOpenAndTheReleasesOfItsKeysAfter) {
    JoinPrompt prompt = opened();
    EXPECT_EQ(prompt.handleKey(SDLK_j, 0, false), PromptAction::Taken);  // the key that opened it
    for (SDLKey key : {SDLK_UP, SDLK_LEFT, SDLK_SPACE, SDLK_RETURN, SDLK_BACKSPACE, SDLK_F1, SDLK_LSHIFT, SDLK_c,
                       SDLK_l, SDLK_o, SDLK_m}) {
        EXPECT_EQ(prompt.handleKey(key, 0, true), PromptAction::Taken) << key;
        EXPECT_EQ(prompt.handleKey(key, 0, false), PromptAction::Taken) << key;
    }
    type(prompt, "box.loca");
    prompt.handleKey(SDLK_l, 'l', true);
    EXPECT_EQ(prompt.handleKey(SDLK_KP_ENTER, '\r', true), PromptAction::Join);
    EXPECT_EQ(prompt.handleKey(SDLK_l, 0, false), PromptAction::Taken) << "typed into the prompt";
    EXPECT_EQ(prompt.handleKey(SDLK_KP_ENTER, 0, false), PromptAction::Taken);
    EXPECT_EQ(prompt.handleKey(SDLK_l, 'l', true), PromptAction::NotTaken);
    EXPECT_EQ(prompt.handleKey(SDLK_l, 0, false), PromptAction::NotTaken);

    prompt.open({}, 1337);
    EXPECT_TRUE(prompt.handleKey(SDLK_ESCAPE, 27, true) == PromptAction::Close && !prompt.isOpen());
    EXPECT_EQ(prompt.handleKey(SDLK_ESCAPE, 0, false), PromptAction::Taken);
    EXPECT_EQ(prompt.handleKey(SDLK_c, 'c', true), PromptAction::NotTaken);
}

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
    ASSERT_TRUE(rememberJoinedHost(recentHostsPath(), "192.168.1.20", errors)) << said();
    EXPECT_EQ(contents(folder / ".local" / "state" / "starhold" / "recent-hosts"), "192.168.1.20\n");
}

TEST_F(RecentHosts, MostRecentFirstAtMostEightWithoutDuplicates) {
    for (int n = 1; n <= 10; ++n) ASSERT_TRUE(remember("host" + std::to_string(n)));
    EXPECT_EQ(read(), (std::vector<std::string>{"host10", "host9", "host8", "host7", "host6", "host5", "host4",
                                                "host3"}));
    ASSERT_TRUE(remember("host6:4000") && remember("host6"));
    EXPECT_EQ(contents(file), "host6\nhost6:4000\nhost10\nhost9\nhost8\nhost7\nhost5\nhost4\n");
    EXPECT_TRUE(!remember("not a host") && read().front() == "host6");
}

TEST_F(RecentHosts, FilesThatCannotBeReadAreEmptySilentlyAndDamagedOnesWithOneLine) {
    EXPECT_TRUE(read().empty());
    fs::create_directories(file);  // a folder where the file belongs
    EXPECT_TRUE(read().empty());
    fs::remove(file);
    ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);  // opening it would wait for a writer for ever
    EXPECT_TRUE(read().empty());
    fs::remove(file);
    std::ofstream(file) << "a.lan\n";
    fs::permissions(file, fs::perms::none);  // unless permissions do not bind this user
    EXPECT_TRUE(access(file.c_str(), R_OK) == 0 || read().empty());
    EXPECT_EQ(said(), "");

    const std::string damaged[] = {
        "a.lan\nb\x01.lan\n", "a.lan\r\n", std::string(65, 'a') + "\n", "a.lan\nnot a host\n", "a.lan:99999\n",
        "a.lan\nb.lan\n" + std::string(5000, '\n'), std::string("a.lan\0\n", 7),
    };
    for (const std::string& text : damaged) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
        EXPECT_TRUE(read().empty()) << text;
        const std::string line = said();
        EXPECT_TRUE(lineCount(line) == 1 && line.find(file) != std::string::npos) << line;
    }
    EXPECT_TRUE(remember("c.lan") && contents(file) == "c.lan\n");  // the next join replaces it
}

TEST_F(RecentHosts, AFailedWriteLeavesTheOldFileWhole) {
    ASSERT_TRUE(remember("old.lan"));
    const bool written = withFileSizeLimit(20, [&] { return remember("first.example.org"); });  // stops part-way
    const std::string line = said();
    EXPECT_TRUE(!written && lineCount(line) == 1 && contents(file) == "old.lan\n") << line;
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / "starhold"), {}), 1) << "a temporary file was left";

    fs::permissions(folder / "starhold", fs::perms::owner_read | fs::perms::owner_exec);
    if (access((folder / "starhold").c_str(), W_OK) == 0) return;  // permissions do not bind this user
    EXPECT_FALSE(remember("new.lan"));
    EXPECT_TRUE(lineCount(said()) == 1 && contents(file) == "old.lan\n");
}
