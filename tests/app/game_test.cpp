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

TEST_F(GameTest, DrawsOnlyAfterTheWorldMovedAndOncePerUpdatePeriod) {
    start();
    const int first = game->framesDrawn();
    pass(0);
    pass(0);
    EXPECT_EQ(game->framesDrawn(), first);
    for (int ms = 0; ms < 100; ++ms) {
        pass(1);  // updates fall due every 10 ms, movement steps every 11 ms
    }
    EXPECT_EQ(game->framesDrawn() - first, 10);
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
