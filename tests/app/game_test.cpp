// The game in process: real window, audio and sockets, passes run one at a time
// on a controlled clock, keys pushed into SDL's queue, a raw-socket peer.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "app/game.h"
#include "app/text.h"
#include <GL/gl.h>
#include "tests/support/fake_clock.h"

namespace fs = std::filesystem;

namespace {

std::string frame(const std::string& text) { return std::to_string(text.size() + 1) + "~" + text + '\0'; }

// A plain TCP socket on the loopback that speaks the wire format.
class RawPeer {
public:
    ~RawPeer() {
        if (fd >= 0) close(fd);
        if (listener >= 0) close(listener);
    }
    bool connectTo(int port) {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = loopback(port);
        return ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    int listenOnFreePort() {
        listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = loopback(0);
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener, 1);
        socklen_t size = sizeof address;
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
        return ntohs(address.sin_port);
    }
    bool accept() {
        fd = ::accept(listener, nullptr, nullptr);
        return fd >= 0;
    }
    void send(const std::string& bytes) { ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), 0), ssize_t(bytes.size())); }
    // Reads whatever has arrived, without waiting.
    std::string receive() {
        char buffer[65536];
        const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) received.append(buffer, n);
        return received;
    }
    std::string received;

private:
    static sockaddr_in loopback(int port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }
    int fd = -1;
    int listener = -1;
};

int freePort() {
    RawPeer probe;
    return probe.listenOnFreePort();
}

class GameTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* source = std::getenv("STARHOLD_SOURCE_DIR");
        ASSERT_NE(source, nullptr);
        folder = fs::temp_directory_path() / ("starhold-game-" + std::to_string(getpid()));
        fs::remove_all(folder);
        fs::copy(fs::path(source) / "data", folder, fs::copy_options::recursive);
        previous = fs::current_path();
        fs::current_path(folder);
        setenv("XDG_CONFIG_HOME", (folder / "settings").c_str(), 1);  // the player's own files stay out
    }
    void TearDown() override {
        game.reset();
        fs::current_path(previous);
        fs::remove_all(folder);
    }
    void start(const std::string& config = "") {
        if (!config.empty()) std::ofstream(folder / "config.txt") << config;
        game = std::make_unique<Game>();
        ASSERT_TRUE(game->startUp());
        pass();  // the first frame resets ship and camera
    }
    void setConnectionFile(int port) { std::ofstream(folder / "connection.txt") << port << " 127.0.0.1\n"; }
    void key(SDLKey sym, bool down) {
        SDL_Event event{};
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.keysym.sym = sym;
        SDL_PushEvent(&event);
    }
    void tap(SDLKey sym) {
        key(sym, true);
        key(sym, false);
    }
    void pass(uint32_t ms = 11) {
        clock.advance(ms);
        game->runPass();
    }
    // Runs passes (real sockets need real time) until the condition holds.
    bool passUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            pass();
            if (done()) return true;
            SDL_Delay(2);
        }
        return false;
    }

    FakeClock clock;
    fs::path folder;
    fs::path previous;
    std::unique_ptr<Game> game;
};

}  // namespace

TEST_F(GameTest, StartsWithAFieldAndTwoSkins) {
    start();
    PlayerState& local = game->localPlayer();
    EXPECT_EQ(local.starCount() % 2, 0);
    EXPECT_GE(local.starCount(), 30);
    EXPECT_LE(local.starCount(), 50);
    EXPECT_TRUE(game->remotePlayer().stars().empty());
    EXPECT_NE(local.alternateSkin(), game->remotePlayer().alternateSkin());
    EXPECT_FLOAT_EQ(game->camera().position[2], 20.0f);  // the first frame puts the camera back
    pass();
    EXPECT_FLOAT_EQ(game->camera().position[2], 15.0f);  // following the ship at the origin
}

TEST_F(GameTest, HeldKeysSteerOnlyWhenTheirPartnerIsNotHeld) {
    start("sensitivity 2.5\n");
    key(SDLK_LEFT, true);
    key(SDLK_RIGHT, true);
    pass(20);
    pass(20);
    EXPECT_FLOAT_EQ(game->localPlayer().ship().vx, 0.0f);
    key(SDLK_RIGHT, false);
    pass(20);
    EXPECT_NEAR(game->localPlayer().ship().vx, -2.5f * 20 / 1000, 1e-6f);
    key(SDLK_LEFT, false);
    pass(20);
    EXPECT_NEAR(game->localPlayer().ship().vx, -2.5f * 20 / 1000, 1e-6f);
}

TEST_F(GameTest, FreeCameraMovesTheCameraInsteadOfTheShip) {
    start();
    tap(SDLK_SPACE);
    pass();
    const float z = game->camera().position[2];
    key(SDLK_UP, true);
    pass(30);
    key(SDLK_UP, false);
    pass(30);
    EXPECT_NEAR(game->camera().position[2], z - 0.25f, 1e-5f);  // 0.25 along its own Z axis, whatever the time
    EXPECT_FLOAT_EQ(game->localPlayer().ship().vz, 1e-8f);
}

TEST_F(GameTest, BackspaceStartsANewMatchAndQuitEndsTheLoop) {
    start();
    const std::string before = game->localPlayer().starListText();
    tap(SDLK_BACKSPACE);
    pass();
    EXPECT_NE(game->localPlayer().starListText(), before);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    pass();
    EXPECT_TRUE(game->quitRequested());
}

TEST_F(GameTest, ListeningOnABusyPortStillSplitsTheStars) {
    RawPeer squatter;
    setConnectionFile(squatter.listenOnFreePort());
    start();
    tap(SDLK_l);
    pass();
    EXPECT_FALSE(game->network().isServer());
    EXPECT_EQ(game->localPlayer().ownStars(), game->localPlayer().starCount() / 2);
}

TEST_F(GameTest, MissingConnectionFileFallsBackToTheHeldValues) {
    start();
    fs::remove(folder / "connection.txt");
    tap(SDLK_c);
    pass();
    EXPECT_EQ(game->network().port(), 1337);
    EXPECT_EQ(game->network().host(), "localhost");
    EXPECT_EQ(game->network().peerCount(), game->network().isClient() ? 1 : 0);
}

TEST_F(GameTest, ServerAnswersAndAppliesWhatItsPeerSends) {
    const int port = freePort();
    setConnectionFile(port);
    start();
    tap(SDLK_l);
    pass();
    ASSERT_TRUE(game->network().isServer());
    RawPeer peer;
    ASSERT_TRUE(peer.connectTo(port));
    ASSERT_TRUE(passUntil([&] { return game->network().peerCount() == 1; }));
    peer.send(frame("2|!"));
    ASSERT_TRUE(passUntil([&] { return peer.receive().find("~2|") != std::string::npos; }));

    PlayerState& local = game->localPlayer();
    const int32_t held = local.ownStars();
    // Noise and hostile messages first; each is ignored and the good one behind them applies.
    peer.send("xx" + frame("q|1") + frame("3|-4") + frame("3|99999") + frame("3|abc") + frame("7|0") +
              frame("2|20,99999999") + frame("3|0"));
    ASSERT_TRUE(passUntil([&] { return local.ownStars() == held - 1; }));
    EXPECT_EQ(local.stars()[0].owner, 2.0f);
    ASSERT_TRUE(passUntil([&] { return peer.receive().find("~5|" + std::to_string(held - 1) + ",") != std::string::npos; }));
}

TEST_F(GameTest, ClientAsksForTheFieldAndMirrorsIt) {
    RawPeer server;
    setConnectionFile(server.listenOnFreePort());
    start();
    tap(SDLK_c);
    pass();
    ASSERT_TRUE(game->network().isClient());
    ASSERT_TRUE(server.accept());
    ASSERT_TRUE(passUntil([&] { return server.receive().find(frame("2|!")) != std::string::npos; }));

    server.send(frame("2|30,2,3,-7,12,1,0,5,-20,2") + frame("5|1,420,377"));
    PlayerState& local = game->localPlayer();
    ASSERT_TRUE(passUntil([&] { return local.ownEnergy() == 377; }));
    EXPECT_EQ(local.mapSize(), 30);
    EXPECT_EQ(game->remotePlayer().mapSize(), 30);
    EXPECT_EQ(local.starCount(), 2);
    EXPECT_EQ(local.ownStars(), 1);
    EXPECT_EQ(local.opponentEnergy(), 420);
    EXPECT_FALSE(local.isMatchOver());
}

// The status line's text and colour as "text r g b", or "" when it is empty.
std::string statusLine(Game& game) {
    for (const HudText& t : game.overlayTexts()) {
        if (t.y == kStatusY && t.x == 0) return t.text + " " + toText(t.r) + " " + toText(t.g) + " " + toText(t.b);
    }
    return "";
}

// Pixels of the last frame in a box of heads-up units that pass the colour test.
int countPixels(int left, int top, int right, int bottom, bool (*match)(const uint8_t*)) {
    auto px = [](int x) { return static_cast<int>(33 + 1.155 * x); };
    auto py = [](int y) { return 600 - static_cast<int>((y + 5) * 0.866); };  // GL rows count from the bottom
    std::vector<uint8_t> rgb(800 * 600 * 3);
    glReadBuffer(GL_BACK);  // Mesa keeps the swapped frame there
    glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    int n = 0;
    for (int y = py(bottom); y < py(top); ++y)
        for (int x = px(left); x < px(right); ++x) n += match(&rgb[(y * 800 + x) * 3]);
    return n;
}
bool isGreen(const uint8_t* p) { return p[1] > 200 && p[0] < 80 && p[2] < 80; }
bool isRed(const uint8_t* p) { return p[0] > 200 && p[1] < 80 && p[2] < 80; }
bool isYellow(const uint8_t* p) { return p[0] > 200 && p[1] > 200 && p[2] < 80; }

TEST_F(GameTest, StatusLineFollowsTheConnection) {
    const int port = freePort();
    const std::string p = std::to_string(port);
    setConnectionFile(port);
    start();
    EXPECT_EQ(statusLine(*game), "");
    tap(SDLK_l);
    pass();
    EXPECT_EQ(statusLine(*game), "listening on port " + p + " 1 1 0");
    EXPECT_GT(countPixels(0, 34, 300, 50, isYellow), 30);
    {
        RawPeer peer;
        ASSERT_TRUE(peer.connectTo(port));
        ASSERT_TRUE(passUntil([&] { return game->network().peerCount() == 1; }));
        EXPECT_EQ(statusLine(*game), "connected on port " + p + " 0 1 0");
    }
    ASSERT_TRUE(passUntil([&] { return game->network().peerCount() == 0; }));
    EXPECT_EQ(statusLine(*game), "connection closed 1 0.4 0.4");
    pass(StatusLine::kEventMs - StatusLine::kFadeMs / 2);
    EXPECT_EQ(statusLine(*game), "connection closed 0.5 0.2 0.2");  // fading
    pass(StatusLine::kFadeMs);
    EXPECT_EQ(statusLine(*game), "listening on port " + p + " 1 1 0");

    RawPeer squatter;
    const int busy = squatter.listenOnFreePort();
    setConnectionFile(busy);
    tap(SDLK_l);
    pass();
    EXPECT_EQ(statusLine(*game), "could not listen on port " + std::to_string(busy) + " 1 0.4 0.4");
    tap(SDLK_o);
    pass(StatusLine::kEventMs);
    setConnectionFile(freePort());  // nobody listens there
    tap(SDLK_c);
    ASSERT_TRUE(passUntil([&] { return statusLine(*game).find("could not connect to 127.0.0.1:") == 0; }));
}

TEST_F(GameTest, ClientShowsARefusedStarList) {
    RawPeer server;
    setConnectionFile(server.listenOnFreePort());
    start();
    tap(SDLK_c);
    pass();
    ASSERT_TRUE(server.accept());
    ASSERT_TRUE(passUntil([&] { return statusLine(*game).find("connected to 127.0.0.1 ") == 0; }));
    server.send(frame("2|20,99999999"));
    ASSERT_TRUE(passUntil([&] { return statusLine(*game).find("star list refused") == 0; }));
}

TEST_F(GameTest, SilentPlayWhenNoSoundDeviceOpens) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    start();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_EQ(statusLine(*game), "no sound device: playing silently 1 1 1");
    tap(SDLK_m);
    pass();  // the music key still works
}

TEST_F(GameTest, KeyHintKeyPanelAndResultBanner) {
    start();
    auto has = [&](const std::string& text, int x, int y) {
        for (const HudText& t : game->overlayTexts())
            if (t.text == text && t.x == x && t.y == y) return true;
        return false;
    };
    EXPECT_TRUE(has("F1: keys", 0, 650));
    pass(kHintMs);
    EXPECT_FALSE(has("F1: keys", 0, 650));
    tap(SDLK_F1);
    pass();
    EXPECT_TRUE(has("Backspace", 20, 338));
    EXPECT_TRUE(has("new match", 207, 338));
    EXPECT_GT(countPixels(20, 130, 180, 490, isYellow), 500);
    tap(SDLK_F1);
    pass();
    EXPECT_FALSE(has("Backspace", 20, 338));

    struct Case {
        int32_t own, opponent;
        const char* title;
        const char* second;
        bool (*colour)(const uint8_t*);
    };
    const Case cases[] = {{0, 0, "FIELD CLEARED", "in 83.4 s", isYellow},
                          {120, 0, "YOU WIN", "energy 120 / 0", isGreen},
                          {0, 75, "YOU LOSE", "energy 0 / 75", isRed}};
    for (const Case& c : cases) {
        PlayerState& local = game->localPlayer();
        local.applyScoreText("0,1,1");  // neither out: alone
        if (c.own || c.opponent) local.applyScoreText("0," + std::to_string(c.opponent) + "," + std::to_string(c.own));
        local.setMatchOverTime(83456);
        pass();
        const int titleX = kHudCentreX - 17 * static_cast<int>(std::string(c.title).size());  // twice as large
        EXPECT_TRUE(has(c.title, titleX, 170)) << c.title;
        EXPECT_TRUE(has(c.second, kHudCentreX - 17 * static_cast<int>(std::string(c.second).size()) / 2, 215));
        EXPECT_TRUE(has("Backspace: new match", 150, 250));
        EXPECT_GT(countPixels(titleX, 170, titleX + 17 * 14, 204, c.colour), 150) << c.title;
        tap(SDLK_BACKSPACE);
        pass();
        EXPECT_FALSE(has(c.title, titleX, 170));
    }
}

TEST_F(GameTest, PlayersOwnSettingsFolderComesFirst) {
    const fs::path own = folder / "settings" / "starhold";
    fs::create_directories(own);
    std::ofstream(own / "config.txt") << "minstars 900\nmaxstars 1000\n";
    const int port = freePort();
    std::ofstream(own / "connection.txt") << port << " 127.0.0.1\n";
    setConnectionFile(freePort());  // the data folder's copy is passed over
    start();
    EXPECT_GE(game->localPlayer().starCount(), 900);
    tap(SDLK_l);
    pass();
    EXPECT_EQ(game->network().port(), port);
}
