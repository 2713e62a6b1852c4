// The game in process: real window, audio and sockets, passes run one at a time
// on a controlled clock, keys pushed into SDL's queue, a raw-socket peer.

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <tuple>

#include <GL/gl.h>

#include "app/game.h"
#include "settings/bindings.h"
#include "bot/pilot.h"
#include "base/text.h"
#include "join/host_address.h"
#include "net/free_port.h"
#include "tests/support/raw_peer.h"
#include "tests/support/waiting.h"
#include "wire/messages.h"

namespace fs = std::filesystem;

namespace {

// The texture names bound while `watchBinds` is set, and whether each was a
// texture of the context then (binding a name makes it one); GL's own binds them.
std::vector<GLuint> bound;
bool watchBinds = false;
bool allTextures = true;

}  // namespace

extern "C" void glBindTexture(GLenum target, GLuint texture) {
    using Bind = void (*)(GLenum, GLuint);
    static const auto real = reinterpret_cast<Bind>(dlsym(RTLD_NEXT, "glBindTexture"));
    if (watchBinds) bound.push_back(texture);
    allTextures = allTextures && (!watchBinds || glIsTexture(texture) == GL_TRUE);
    real(target, texture);
}

namespace {

std::string frame(const std::string& text) { return std::to_string(text.size() + 1) + "~" + text + '\0'; }

// Everything a host's star list would carry.
std::string fieldText(const PlayerState& player) { return writeStarList(player.mapSize(), player.stars()); }

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
        setenv("XDG_STATE_HOME", (folder / "state").c_str(), 1);
    }
    void TearDown() override {
        game.reset();
        fs::current_path(previous);
        fs::remove_all(folder);
    }
    void start(const std::string& config = "") {
        game.reset();
        // A game hosted here never announces itself on the machine's network.
        std::ofstream(folder / "config.txt", config.empty() ? std::ios::app : std::ios::trunc) << config
                                                                                                 << "\nannounce 0\n";
        game = clock ? std::make_unique<Game>(*clock) : std::make_unique<Game>();
        game->setComputerProgram(std::getenv("STARHOLD_BOT_PROGRAM"));
        ASSERT_TRUE(game->startUp());
        pass();  // the first frame resets ship and camera
    }
    void setConnectionFile(int port) { std::ofstream(folder / "connection.txt") << port << " 127.0.0.1\n"; }
    // Starts the game and presses `key` (c joins, l listens) for the connection file's port.
    void startAnd(SDLKey sym, int port) {
        setConnectionFile(port);
        start();
        tap(sym);
        pass();
    }
    // Starts the game and joins `server` with the c key, through the background connect.
    void joinAsClient(RawPeer& server) {
        startAnd(SDLK_c, server.listen(1));
        ASSERT_TRUE(server.accept() && passUntil([&] { return game->network().isClient(); }));
    }
    void key(SDLKey sym, bool down, char typed = 0) {
        SDL_Event event{};
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.keysym.sym = sym;
        event.key.keysym.unicode = static_cast<Uint16>(typed);
        SDL_PushEvent(&event);
    }
    void resizeTo(int width, int height) {
        SDL_Event event{};
        event.type = SDL_VIDEORESIZE;
        event.resize.w = width;
        event.resize.h = height;
        SDL_PushEvent(&event);
    }
    void tap(SDLKey sym, char typed = 0) {
        key(sym, true, typed);
        key(sym, false, typed);
    }
    void tapAndPass(SDLKey sym) {
        tap(sym);
        pass();
    }
    // Types text as the keyboard does, each key with the character it makes.
    void type(const std::string& text) {
        for (const char c : text) tap(c == ':' ? SDLK_COLON : static_cast<SDLKey>(c), c);
    }
    void pass(uint32_t ms = 11) {
        if (clock) clock->advance(ms);
        game->runPass();
    }
    // Runs passes (real sockets need real time) until the condition holds.
    bool passUntil(const std::function<bool()>& done) {
        return waitUntil([&] {
            pass();
            return done();
        }, 10000);
    }

    // The overlay's texts whose rows lie from `top` to `bottom` below the origin
    // (the centred panel's unless given), each ended by '|'.
    std::string rows(int top, int bottom) { return rows(top, bottom, layout().panel); }
    std::string rows(int top, int bottom, OverlayPoint origin) {
        std::string all;
        for (const HudText& t : game->overlayTexts())
            if (t.y - origin.y >= top && t.y - origin.y <= bottom) all += t.text + "|";
        return all;
    }
    OverlayLayout layout() const { return overlayLayout(game->windowSize().width, game->windowSize().height); }
    // The status line's text and colour as "text r g b", or "" when it is empty.
    std::string statusLine() {
        for (const HudText& t : game->overlayTexts())
            if (t.y == layout().topLeft.y + kStatusY)
                return t.text + " " + toText(t.r) + " " + toText(t.g) + " " + toText(t.b);
        return "";
    }

    // How far the recorded arena reaches from the centre on any axis.
    float arenaReach() const {
        float reach = 0;
        for (const DrawRecord& r : game->scene().recordList())
            reach = std::max({reach, std::fabs(r.quad.x[0]), std::fabs(r.quad.y[0]), std::fabs(r.quad.z[0])});
        return reach;
    }

    std::unique_ptr<ManualClock> clock = std::make_unique<ManualClock>(1000);  // reset: SDL's own clock
    fs::path folder, previous;
    std::unique_ptr<Game> game;
};

}  // namespace

TEST_F(GameTest, StartsWithAFieldAndTheSecondSkinOnTheSideTheSettingNamesAndBackspaceStartsANewOne) {
    for (const bool localSkin : {false, true}) {
        start(localSkin ? "playerskin 1\n" : "playerskin 0\n");
        const PlayerState& local = game->localPlayer();
        EXPECT_TRUE(local.starCount() % 2 == 0 && local.starCount() >= 30 && local.starCount() <= 50);
        EXPECT_TRUE(game->remotePlayer().stars().empty());
        EXPECT_TRUE(local.alternateSkin() == localSkin && game->remotePlayer().alternateSkin() == !localSkin);
    }
    EXPECT_FLOAT_EQ(game->camera().position[2], 20.0f);  // the first frame puts the camera back
    pass();
    EXPECT_FLOAT_EQ(game->camera().position[2], 15.0f);  // following the ship at the origin
    const std::string before = fieldText(game->localPlayer());
    tapAndPass(SDLK_BACKSPACE);
    EXPECT_NE(fieldText(game->localPlayer()), before);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    pass();
    EXPECT_TRUE(game->quitRequested());
}

TEST_F(GameTest, AMissingFontIsOneLineAndWithoutSoundItPlaysSilentlyOnThePlayersOwnSettings) {
    fs::remove(folder / "characters.fnt");
    const fs::path own = folder / "settings" / "starhold";
    fs::create_directories(own);
    std::ofstream(own / "config.txt") << "minstars 900\nmaxstars 1000\n";  // passes over the data folder's
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    testing::internal::CaptureStderr();
    start();
    const std::string messages = testing::internal::GetCapturedStderr();
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_EQ(std::count(messages.begin(), messages.end(), '\n'), 2) << messages;  // the font and the sound
    EXPECT_NE(messages.find("characters.fnt: no such file\n"), std::string::npos) << messages;
    EXPECT_TRUE(statusLine() == "no sound device: playing silently 1 1 1" && game->localPlayer().starCount() >= 900);
}

TEST_F(GameTest, DrawsOncePerUpdatePeriodAfterTheWorldMovedAndHeldKeysSteerUnlessTheirPartnerIsHeld) {
    start("sensitivity 2.5\n");
    const int first = game->framesDrawn();
    pass(0);
    pass(0);
    EXPECT_EQ(game->framesDrawn(), first);
    for (int ms = 0; ms < 100; ++ms) pass(1);  // updates fall due every 10 ms, movement steps every 11 ms
    EXPECT_EQ(game->framesDrawn() - first, 10);
    key(SDLK_LEFT, true);
    key(SDLK_RIGHT, true);
    pass(20);
    pass(20);
    EXPECT_FLOAT_EQ(game->localPlayer().ship().vx, 0.0f);
    key(SDLK_RIGHT, false);
    pass(20);
    EXPECT_NEAR(game->localPlayer().ship().vx, -2.5f * 20 / 1000, 1e-6f);
}

TEST_F(GameTest, FreeCameraKeysMoveAndTurnTheCameraInsteadOfTheShip) {
    start();
    tapAndPass(SDLK_SPACE);
    // One step each, the camera tilted first so that turns about the world and its own axes differ.
    const std::pair<SDLKey, std::function<void(Frame&)>> steps[] = {
        {SDLK_w, [](Frame& f) { f.rotateLocal(-0.5f, 1, 0, 0); }},
        {SDLK_a, [](Frame& f) { f.rotateWorld(-0.5f, 0, 1, 0); }},
        {SDLK_d, [](Frame& f) { f.rotateWorld(0.5f, 0, 1, 0); }},
        {SDLK_q, [](Frame& f) { f.rotateLocal(-0.5f, 0, 0, 1); }},
        {SDLK_e, [](Frame& f) { f.rotateLocal(0.5f, 0, 0, 1); }},
        {SDLK_s, [](Frame& f) { f.rotateLocal(0.5f, 1, 0, 0); }},
        {SDLK_UP, [](Frame& f) { f.moveLocal(0, 0, 0.25f, 1); }},
        {SDLK_DOWN, [](Frame& f) { f.moveLocal(0, 0, -0.25f, 1); }},
        {SDLK_LEFT, [](Frame& f) { f.moveLocal(-0.25f, 0, 0, 1); }},
        {SDLK_RIGHT, [](Frame& f) { f.moveLocal(0.25f, 0, 0, 1); }},
    };
    for (const auto& [sym, move] : steps) {
        Frame expected = game->camera();
        move(expected);
        key(sym, true);
        pass(30);  // whatever the time, one step
        key(sym, false);
        pass(30);
        for (int i = 0; i < 16; ++i)
            ASSERT_NEAR(game->camera().matrix[i], expected.matrix[i], 1e-5f) << SDL_GetKeyName(sym) << " " << i;
    }
    const Ship& ship = game->localPlayer().ship();
    EXPECT_TRUE(ship.vx == 0 && ship.vy == 0 && ship.vz == 1e-8f);
}

TEST_F(GameTest, ServerAnswersAndAppliesWhatItsPeerSends) {
    const int port = freeTcpPort();
    startAnd(SDLK_l, port);
    ASSERT_TRUE(game->network().isServer());
    RawPeer peer, other;
    ASSERT_TRUE(peer.connectTo(port) && other.connectTo(port));
    ASSERT_TRUE(passUntil([&] { return game->network().peerCount() == 2; }) && peer.sendAll(frame("2|!")));
    ASSERT_TRUE(passUntil([&] { return peer.arrived().find("~2|") != std::string::npos; }));

    const PlayerState& local = game->localPlayer();
    const int32_t held = local.ownStars();
    // Noise and hostile messages first; each is ignored and the good one behind them applies.
    ASSERT_TRUE(peer.sendAll("xx" + frame("q|1") + frame("3|-4") + frame("3|99999") + frame("3|abc") +
                             frame("7|0") + frame("2|20,99999999") + frame("3|0")));
    ASSERT_TRUE(passUntil([&] { return local.ownStars() == held - 1; }));
    EXPECT_EQ(local.stars()[0].owner, 2.0f);
    ASSERT_TRUE(passUntil([&] { return peer.arrived().find("~5|" + toText(held - 1) + ",") != std::string::npos; }));
    ASSERT_TRUE(passUntil([&] { return other.arrived().find("~5|") != std::string::npos; }));
    EXPECT_EQ(other.received.find("~2|"), std::string::npos);  // the star list went to the asker only
}

TEST_F(GameTest, ClientRefusesAStarListItCannotHoldAndLeavesTheHost) {
    RawPeer server;
    ASSERT_NO_FATAL_FAILURE(joinAsClient(server));
    const std::string field = fieldText(game->localPlayer());
    testing::internal::CaptureStderr();
    ASSERT_TRUE(server.sendAll(frame("2|20,9000")));
    const bool left = passUntil([&] { return !game->network().isClient(); });
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "star list refused: star count 9000 is outside 0..8192; disconnecting\n");
    ASSERT_TRUE(left);
    EXPECT_TRUE(game->network().peerCount() == 0 && fieldText(game->localPlayer()) == field);
    // The reason, on two rows since it is too long for one.
    EXPECT_EQ(rows(kStatusY, kStatusY + kStatusRowHeight, layout().topLeft),
              "star list refused:|star count 9000 is outside 0..8192|");
}

TEST_F(GameTest, ConnectionFileFallsBackToTheHeldValuesAndListeningNeedsNoHost) {
    start();
    std::ofstream(folder / "connection.txt") << "x 127.0.0.1\n";
    testing::internal::CaptureStderr();
    tapAndPass(SDLK_c);
    EXPECT_EQ(game->network().host() + ":" + toText(game->network().port()), "127.0.0.1:1337");
    const int port = freeTcpPort();
    std::ofstream(folder / "connection.txt") << port << "\n";
    tapAndPass(SDLK_l);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(game->network().isServer());
    EXPECT_EQ(errors.find("connection.txt is missing or has no port; using port 1337\n"), 0u) << errors;
    EXPECT_EQ(errors.find("no host"), std::string::npos) << errors;
    fs::remove(folder / "connection.txt");
    tapAndPass(SDLK_c);
    EXPECT_EQ(game->network().host() + ":" + toText(game->network().port()), "127.0.0.1:" + toText(port));
}

// Pixels of the last frame, in a box of window pixels, whose channels are all near (r, g, b).
int countPixels(WindowSize size, OverlayBox box, float r, float g, float b) {
    std::vector<uint8_t> rgb(size_t(size.width) * size.height * 3);
    glReadBuffer(GL_BACK);  // Mesa keeps the swapped frame there
    glReadPixels(0, 0, size.width, size.height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    int n = 0;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x) {
            const uint8_t* p = &rgb[((size.height - 1 - y) * size.width + x) * 3];  // rows from the bottom
            n += std::abs(p[0] - 255 * r) < 60 && std::abs(p[1] - 255 * g) < 60 && std::abs(p[2] - 255 * b) < 60;
        }
    return n;
}

TEST_F(GameTest, StatusLineFollowsTheConnection) {
    const int port = freeTcpPort();
    const std::string listening = "listening on " + listeningAddress(port) + " 1 1 0";  // where a friend joins
    setConnectionFile(port);
    start();
    EXPECT_EQ(statusLine(), "");
    tapAndPass(SDLK_l);
    EXPECT_EQ(statusLine(), listening);
    {
        RawPeer peer;
        ASSERT_TRUE(peer.connectTo(port) && passUntil([&] { return game->network().peerCount() == 1; }));
        EXPECT_EQ(statusLine(), "connected on port " + toText(port) + " 0 1 0");
    }
    ASSERT_TRUE(passUntil([&] { return game->network().peerCount() == 0; }));
    EXPECT_EQ(statusLine(), "connection closed 1 0.4 0.4");
    pass(StatusLine::kEventMs - StatusLine::kFadeMs / 2);
    EXPECT_EQ(statusLine(), "connection closed 0.5 0.2 0.2");  // fading
    pass(StatusLine::kFadeMs);
    EXPECT_EQ(statusLine(), listening);

    // A listen that fails changes nothing: still hosting on the old port, the same field.
    RawPeer squatter;
    const int busy = squatter.listen(1);
    setConnectionFile(busy);
    const std::string field = fieldText(game->localPlayer());
    tapAndPass(SDLK_l);
    EXPECT_EQ(statusLine(), "could not listen on port " + toText(busy) + " 1 0.4 0.4");
    pass(StatusLine::kEventMs);
    EXPECT_TRUE(statusLine() == listening && fieldText(game->localPlayer()) == field) << statusLine();
    tap(SDLK_o);
    tapAndPass(SDLK_l);
    EXPECT_TRUE(!game->network().isServer() && fieldText(game->localPlayer()) == field);
    const HudValues hud = game->hudValues();  // alone, so the rate shows
    EXPECT_TRUE(!hud.connected && !hud.networking);
    tap(SDLK_o);
    setConnectionFile(freeTcpPort());  // nobody listens there
    tap(SDLK_c);
    ASSERT_TRUE(passUntil([&] { return statusLine().find("could not connect to 127.0.0.1:") == 0; }));
}

TEST_F(GameTest, KeyHintKeyPanelAndResultBanner) {
    start();
    // Each text and where it stands from the origin of its group.
    auto texts = [&](OverlayPoint origin) {
        std::string all;
        for (const HudText& t : game->overlayTexts())
            all += t.text + "@" + toText(t.x - origin.x) + "," + toText(t.y - origin.y) + " ";
        return all;
    };
    const OverlayPoint panel = layout().panel;
    auto onPanel = [&](OverlayBox box) {
        return OverlayBox{box.left + panel.x, box.top + panel.y, box.right + panel.x, box.bottom + panel.y};
    };
    EXPECT_EQ(texts(layout().bottomLeft), "F1: keys  Esc: options@0,0 ");
    pass(kHintMs);
    EXPECT_EQ(texts(panel), "");
    tapAndPass(SDLK_F1);
    EXPECT_NE(texts(panel).find("Backspace@20,256 new match@207,256 "), std::string::npos);
    EXPECT_NE(texts(panel).find("F11@20,416 full screen (Alt+Enter)@207,416 "), std::string::npos);
    EXPECT_GT(countPixels(game->windowSize(), onPanel({20, 76, 190, 452}), 1, 1, 0), 500);  // the yellow key names
    tapAndPass(SDLK_F1);
    EXPECT_EQ(texts(panel), "");

    // Against a host: the score it sends (its stars, its energy, ours) ends the match.
    RawPeer host;
    tap(SDLK_o);
    setConnectionFile(host.listen(1));
    tapAndPass(SDLK_c);
    ASSERT_TRUE(host.accept() && passUntil([&] { return game->network().peerCount() == 1; }));
    ASSERT_TRUE(host.sendAll(frame("2|10,2,5,5,5,1,-5,5,5,2") + frame("5|1,0,120")));
    ASSERT_TRUE(passUntil([&] { return game->localPlayer().isMatchOver(); }));
    const std::string waiting = "waiting for the host's new match@48,170 ";
    EXPECT_EQ(statusLine(), "connected to 127.0.0.1 0 1 0");
    EXPECT_EQ(texts(panel).substr(texts(panel).find("YOU")), "YOU WIN@201,90 energy 120 / 0@201,135 " + waiting);
    EXPECT_GT(countPixels(game->windowSize(), onPanel({100, 90, 540, 122}), 0, 1, 0), 150);  // the title, green
    // Alone again, on a field whose last free star lies where the ship stands.
    ASSERT_TRUE(host.sendAll(frame("2|10,3,0,0,1,0,-5,5,5,2,5,-5,5,2")));
    shutdown(host.stream, SHUT_WR);  // a close with what it was sent unread would be a reset, which may lose the list
    ASSERT_TRUE(passUntil([&] { return game->network().peerCount() == 0 && game->localPlayer().starCount() == 3; }));
    pass(83456);
    EXPECT_EQ(texts(panel), "FIELD CLEARED@99,90 in 83.4 s@244,135 Backspace: new match@150,170 ");
    EXPECT_GT(countPixels(game->windowSize(), onPanel({100, 90, 540, 122}), 1, 1, 0), 150);  // yellow
    tapAndPass(SDLK_BACKSPACE);
    EXPECT_EQ(texts(panel), "");
}

TEST_F(GameTest, AJoinedGuestMirrorsTheHostWaitsForItsMatchAndMovesToAnotherHostWithoutAFalseClose) {
    RawPeer server;
    ASSERT_NO_FATAL_FAILURE(joinAsClient(server));
    ASSERT_TRUE(passUntil([&] { return server.arrived().find(frame("2|!")) != std::string::npos; }));
    EXPECT_EQ(arenaReach(), 20.0f);
    ASSERT_TRUE(server.sendAll(frame("2|30,4,3,-7,12,1,0,5,-20,2,8,8,8,2,9,9,9,2") + frame("5|1,420,377")));
    const PlayerState& local = game->localPlayer();
    ASSERT_TRUE(passUntil([&] { return local.ownEnergy() == 377; }));
    EXPECT_EQ(arenaReach(), 30.0f);  // the arena is drawn anew for the host's size
    EXPECT_TRUE(local.mapSize() == 30 && game->remotePlayer().mapSize() == 30 && local.starCount() == 4);
    const HudValues hud = game->hudValues();
    EXPECT_TRUE(hud.ownStars == 3 && hud.opponentStars == 1 && hud.connected && hud.networking);
    EXPECT_TRUE(hud.ownEnergy == 377 && hud.opponentEnergy == 420 && !hud.matchOver);

    ASSERT_TRUE(server.sendAll(frame("5|garbage,x,y") + frame("5|2,420,376")));  // garbage changes nothing
    ASSERT_TRUE(passUntil([&] { return local.ownEnergy() == 376; }));
    EXPECT_FALSE(local.isMatchOver());
    ASSERT_TRUE(server.sendAll(frame("5|1,420,0")));  // this side's energy is gone
    ASSERT_TRUE(passUntil([&] { return local.isMatchOver(); }));
    const std::string banner = "YOU LOSE|energy 0 / 420|waiting for the host's new match|";
    EXPECT_EQ(rows(90, 170), banner);
    const std::string field = fieldText(local);
    tapAndPass(SDLK_BACKSPACE);
    EXPECT_EQ(fieldText(local), field);  // only the host starts matches
    tapAndPass(SDLK_F1);  // the key panel covers the banner while it is open
    EXPECT_EQ(rows(90, 170).find("YOU LOSE"), std::string::npos);
    tapAndPass(SDLK_F1);
    EXPECT_EQ(rows(90, 170), banner);

    // Another host, whose queue of connections is full: the connect stays in
    // progress, and the host left for it is no lost connection.
    RawPeer other, queued;
    const int otherPort = other.listen(0);
    ASSERT_TRUE(queued.connectTo(otherPort));
    setConnectionFile(otherPort);
    tap(SDLK_c);
    for (int i = 0; i < 20; ++i) {
        pass();
        ASSERT_EQ(statusLine(), "connecting to 127.0.0.1:" + toText(otherPort) + " 1 1 0");
        SDL_Delay(2);
    }
    EXPECT_EQ(game->network().peerCount(), 0);
}

// A host that falls silent is counted on the status line from 2 s on and given
// up at 15 s with one line on stderr; a host from before hello is named.
TEST_F(GameTest, ASilentHostIsCountedThenLost) {
    RawPeer server;
    ASSERT_NO_FATAL_FAILURE(joinAsClient(server));
    ASSERT_TRUE(passUntil([&] { return game->network().peerCount() == 1; }));
    pass(1500);
    EXPECT_EQ(statusLine(), "connected to 127.0.0.1 0 1 0");
    pass(1000);
    EXPECT_EQ(statusLine(), "no word from 127.0.0.1 for 2 s 1 1 0");
    pass(1000);  // meanwhile, a friend that never said hello runs an older game
    EXPECT_EQ(statusLine(), "your friend runs an older starhold 1 1 0");
    testing::internal::CaptureStderr();
    pass(11500);
    EXPECT_TRUE(game->network().peerCount() == 0 && statusLine() == "connection lost 1 0.4 0.4");
    EXPECT_EQ(testing::internal::GetCapturedStderr().find("Dropped peer 127.0.0.1:"), 0u);
}

// In a process of its own, so that SDL has not started yet, as at a player's start.
TEST_F(GameTest, TheKeyHintShowsOnSdlsOwnClock) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            clock.reset();  // the player's clock: SDL's own
            start();
            bool hint = false;
            for (const HudText& t : game->overlayTexts()) hint |= t.text == "F1: keys  Esc: options";
            std::exit(hint ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

// Dragging the window's corner sends many sizes: the last of a pass counts. F11
// and Alt+Enter switch full screen (Enter alone puts the ship back). A new video
// mode may come with a new GL context: every texture then bound must be one of it.
TEST_F(GameTest, TheWindowResizesSwitchesFullScreenAndDrawsWithTexturesOfItsContext) {
    start();
    resizeTo(500, 400);
    resizeTo(1000, 700);
    key(SDLK_UP, true);
    pass(50);
    key(SDLK_UP, false);
    EXPECT_TRUE(game->windowSize() == (WindowSize{1000, 700}) && !game->fullScreen());
    const float vz = game->localPlayer().ship().vz;
    tapAndPass(SDLK_F11);
    EXPECT_TRUE(game->fullScreen() && game->windowSize().width > 1000);
    SDL_Event altEnter{};
    altEnter.type = SDL_KEYDOWN;
    altEnter.key.keysym = {0, SDLK_RETURN, KMOD_LALT, 0};
    SDL_PushEvent(&altEnter);
    pass();
    EXPECT_TRUE(!game->fullScreen() && game->windowSize() == (WindowSize{1000, 700}) && statusLine().empty());
    EXPECT_EQ(game->localPlayer().ship().vz, vz);  // not put back

    SDL_SetVideoMode(800, 600, 32, 0);  // without OpenGL: the next mode comes with a new context
    game->setFullScreen(true);
    watchBinds = true;
    pass();
    watchBinds = false;
    EXPECT_TRUE(bound.size() == 3 && allTextures);  // the ship's top, bottom and burner
    const WindowSize size = game->windowSize();
    std::vector<uint8_t> rgb(size_t(size.width) * size.height * 3);
    glReadPixels(0, 0, size.width, size.height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    int lights = 0;  // the green cockpit lights, at the centre: an untextured ship is plain white
    for (int y = size.height / 2 - 10; y < size.height / 2 + 10; ++y)
        for (int x = size.width / 2 - 40; x < size.width / 2 + 40; ++x)
            lights += rgb[(size_t(y) * size.width + x) * 3 + 1] > 150 && rgb[(size_t(y) * size.width + x) * 3] < 120;
    EXPECT_GT(lights, 20);

    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    EXPECT_TRUE(game->run());  // the window's size is kept for the next start, full screen in config.txt
    start();
    EXPECT_TRUE(game->fullScreen() && game->windowSize().width > 1000);
    tap(SDLK_ESCAPE);
    for (int i = 0; i < 10; ++i) tap(SDLK_DOWN);  // the options' row for full screen
    tapAndPass(SDLK_RIGHT);
    tapAndPass(SDLK_ESCAPE);
    EXPECT_TRUE(!game->fullScreen() && game->windowSize() == (WindowSize{1000, 700}));
    std::ofstream(folder / "state" / "starhold" / "window") << "1000 tall\n";
    testing::internal::CaptureStderr();
    start();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "starhold: ignoring the damaged window size in " + (folder / "state/starhold/window").string() +
                  ": not a width and a height\n");
    EXPECT_TRUE(game->windowSize() == kFirstWindowSize);
}

TEST_F(GameTest, TheJoinPromptTakesEveryKeyAndJoinsAsConnectDoes) {
    RawPeer host;
    const int port = host.listen(1);
    setConnectionFile(freeTcpPort());  // the prompt's port wins over the file's
    start();
    key(SDLK_UP, true);  // held as the prompt opens: it lets go
    pass();
    tapAndPass(SDLK_j);
    ASSERT_TRUE(game->promptOpen());
    const float vz = game->localPlayer().ship().vz;
    key(SDLK_DOWN, true);  // no key steers while the prompt is open
    pass(50);
    key(SDLK_DOWN, false);
    key(SDLK_UP, false);
    pass(50);
    EXPECT_EQ(game->localPlayer().ship().vz, vz);
    type("l");  // the l types; it does not listen
    tapAndPass(SDLK_BACKSPACE);
    EXPECT_FALSE(game->network().isServer());
    type("127.0.0.1:99999");
    tapAndPass(SDLK_RETURN);
    // Under the line: no game heard (none listed while another program holds the port), then the keys.
    const auto shows = [&](const std::string& line, const std::string& note) {
        return rows(kPromptY, kPromptY + 200) == line + note + "|Enter: join   Esc: close|Up, Down: hosts joined, games heard|";
    };
    const std::string refused = "join: 127.0.0.1:99999_|not a port: 99999|";
    EXPECT_TRUE(shows(refused, kNoGamesHeardText) || shows(refused, kGamesUnlistedText)) << rows(kPromptY, 400);
    for (int i = 0; i < 5; ++i) tap(SDLK_BACKSPACE);
    type(toText(port));
    tapAndPass(SDLK_RETURN);
    const std::string joining = statusLine();  // on loopback the connect may end within the pass
    EXPECT_TRUE(joining == "connecting to 127.0.0.1:" + toText(port) + " 1 1 0" ||
                joining == "connected to 127.0.0.1 0 1 0")
        << joining;
    EXPECT_FALSE(game->promptOpen());
    ASSERT_TRUE(host.accept() && passUntil([&] { return host.arrived().find("~2|!") != std::string::npos; }));
    ASSERT_TRUE(passUntil([&] { return game->network().peerCount() == 1; }));
    EXPECT_EQ(statusLine(), "connected to 127.0.0.1 0 1 0");
    std::ifstream recent(folder / "state" / "starhold" / "recent-hosts");
    std::string first;
    EXPECT_TRUE(std::getline(recent, first) && first == "127.0.0.1:" + toText(port)) << first;

    tapAndPass(SDLK_j);  // opens on the host last joined; Escape leaves it be
    const std::string reopened = "join: 127.0.0.1:" + toText(port) + "_|";
    EXPECT_TRUE(shows(reopened, kNoGamesHeardText) || shows(reopened, kGamesUnlistedText)) << rows(kPromptY, 400);
    tapAndPass(SDLK_ESCAPE);
    EXPECT_TRUE(!game->promptOpen() && game->network().peerCount() == 1);
}

TEST_F(GameTest, BPlaysTheComputerAndBAgainMovesToTheNextLevel) {
    start("botlevel hard\n");
    tapAndPass(SDLK_b);
    EXPECT_TRUE(game->playingComputer() && game->network().isServer());
    EXPECT_EQ(statusLine(), "playing the computer (hard) 0 1 0");
    ASSERT_TRUE(passUntil([&] { return game->network().peerCount() == 1; }));
    ASSERT_TRUE(passUntil([&] { return game->core().remotePlayer().ship().vx != 0; }));  // it flies
    RawPeer stranger;  // nobody else may join
    ASSERT_TRUE(stranger.connectTo(game->core().hostedPort()));
    ASSERT_TRUE(passUntil([&] { return stranger.seesEndOfStream(true); }));
    EXPECT_EQ(game->network().peerCount(), 1);

    tap(SDLK_b);  // the next level is a new match with a new computer
    pass();
    EXPECT_EQ(statusLine(), "playing the computer (beginner) 0 1 0");
    ASSERT_TRUE(passUntil([&] { return game->network().peerCount() == 1 && game->localPlayer().matchTime() < 100; }));
    const PlayerState& host = game->localPlayer();
    EXPECT_TRUE(host.ownEnergy() == 500 && host.opponentEnergy() == 500);
    EXPECT_EQ(host.ownStars(), host.starCount() / 2);  // no star lies where the ships start
    tapAndPass(SDLK_o);
    EXPECT_FALSE(game->playingComputer() || game->network().isServer());
    EXPECT_EQ(statusLine().find("playing"), std::string::npos);

    // The computer's limit of one peer from this machine goes with it.
    const int port = freeTcpPort();
    setConnectionFile(port);
    tapAndPass(SDLK_l);
    RawPeer friend1, friend2;
    ASSERT_TRUE(friend1.connectTo(port) && friend2.connectTo(port));
    EXPECT_TRUE(passUntil([&] { return game->network().peerCount() == 2; }));
}

// Escape opens the options over the running match: no key steers while it is
// open, the thrust applies at once, the arena from the next match, and closing
// writes the player's own file around the lines it already had.
TEST_F(GameTest, TheOptionsApplyEachSettingWhenItShouldAndCloseIntoThePlayersFile) {
    start("# my settings\nfoo bar\nsensitivity 5\n");
    const Ship& ship = game->localPlayer().ship();
    const float rest = ship.vz;
    const int32_t started = game->localPlayer().matchTime();
    key(SDLK_LEFT, true);  // held as the screen opens: let go of
    tapAndPass(SDLK_ESCAPE);
    ASSERT_TRUE(game->optionsOpen());
    const float vx = ship.vx;
    key(SDLK_UP, true);  // moves in the screen, to the last row
    pass(50);
    key(SDLK_UP, false);
    key(SDLK_LEFT, false);
    EXPECT_TRUE(ship.vz == rest && ship.vx == vx && game->localPlayer().matchTime() > started);  // runs on, unsteered
    tap(SDLK_DOWN);
    tap(SDLK_RIGHT);
    pass();
    EXPECT_EQ(game->core().settings().sensitivity, 5.5f);
    for (int i = 0; i < 3; ++i) tap(SDLK_DOWN);
    tap(SDLK_RIGHT);
    pass();
    EXPECT_EQ(game->core().settings().mapDimensions, 25);
    EXPECT_EQ(game->localPlayer().mapSize(), 20);  // this match keeps its field
    tapAndPass(SDLK_ESCAPE);
    EXPECT_FALSE(game->optionsOpen());
    std::ifstream saved(folder / "settings" / "starhold" / "config.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(saved), {}),
              "# my settings\nfoo bar\nsensitivity 5.5\n\nannounce 0\nmapdimensions 25\n");  // the test's own line too
    tapAndPass(SDLK_BACKSPACE);
    EXPECT_EQ(game->localPlayer().mapSize(), 25);
}

TEST_F(GameTest, ASettingsFileThatCannotBeWrittenIsNamedAndTheSettingStillApplies) {
    std::ofstream(folder / "settings") << "a file where the settings folder should be";
    start();
    tap(SDLK_ESCAPE);
    tap(SDLK_RIGHT);
    testing::internal::CaptureStderr();
    tapAndPass(SDLK_ESCAPE);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.rfind("starhold: could not save the settings in " + (folder / "settings").string(), 0), 0u) << said;
    EXPECT_EQ(rows(kStatusY, kStatusY + kStatusRowHeight, layout().topLeft)
                  .rfind("could not save|" + (folder / "settings").string(), 0),
              0u);
    EXPECT_EQ(game->core().settings().sensitivity, 5.5f);
}

// The pad, with events pushed into SDL's queue as a joystick would send them.
TEST_F(GameTest, ThePadThrustsInProportionNeverBeyondTheKeysAndDrivesTheOptions) {
    start();
    auto push = [](Uint8 type, Uint8 which, int value) {  // axis, button and hat events share this layout
        SDL_Event event{};
        event.jaxis = {type, 0, which, static_cast<Sint16>(value)};
        if (type != SDL_JOYAXISMOTION) event.jbutton = {type, 0, which, static_cast<Uint8>(value)};
        SDL_PushEvent(&event);
    };
    const Ship& ship = game->localPlayer().ship();
    const float keyThrust = 5.0f * 20 / 1000;  // the keys' thrust in a step of 20 ms
    auto stepWith = [&](int axis, int value) {  // the change of vz and vx in one step with the stick so
        push(SDL_JOYAXISMOTION, axis, value);
        pass(0);
        const float vz = ship.vz, vx = ship.vx;
        pass(20);
        return std::make_pair(ship.vz - vz, ship.vx - vx);
    };
    EXPECT_NEAR(stepWith(1, -32768).first, keyThrust, 1e-6f);  // pushed all the way forward
    EXPECT_NEAR(stepWith(1, 32767).first, -keyThrust, 1e-6f);
    const float half = stepWith(1, -16384).first;
    EXPECT_TRUE(half > 0 && half < keyThrust) << half;
    EXPECT_EQ(stepWith(1, -3000).first, 0.0f);  // at rest within the dead zone
    EXPECT_NEAR(stepWith(0, -32768).second, -keyThrust, 1e-6f);
    push(SDL_JOYAXISMOTION, 0, 0);
    key(SDLK_RIGHT, true);  // a key held on the axis thrusts as a key does, whatever the stick
    EXPECT_NEAR(stepWith(0, 32767).second, keyThrust, 1e-6f);
    key(SDLK_RIGHT, false);
    push(SDL_JOYAXISMOTION, 0, 0);
    push(SDL_JOYBUTTONDOWN, static_cast<Uint8>(PadBindings().button(PadAction::Up)), 0);
    pass(0);
    const float vy = ship.vy;
    pass(20);
    EXPECT_NEAR(ship.vy - vy, keyThrust, 1e-6f);
    push(SDL_JOYBUTTONUP, static_cast<Uint8>(PadBindings().button(PadAction::Up)), 0);

    const Uint8 options = static_cast<Uint8>(PadBindings().button(PadAction::Options));
    push(SDL_JOYBUTTONDOWN, options, 0);
    pass();
    ASSERT_TRUE(game->optionsOpen());
    push(SDL_JOYHATMOTION, 0, SDL_HAT_RIGHT);  // on the first row, the sensitivity
    push(SDL_JOYHATMOTION, 0, SDL_HAT_CENTERED);
    pass();
    EXPECT_EQ(game->core().settings().sensitivity, 5.5f);
    push(SDL_JOYBUTTONDOWN, options, 0);
    pass();
    EXPECT_FALSE(game->optionsOpen());
}

TEST_F(GameTest, AKeyBoundInTheOptionsDoesItsActionAndThePanelNamesIt) {
    start();
    tapAndPass(SDLK_ESCAPE);
    auto chosen = [&](const std::string& label) {  // the chosen row is yellow
        for (const HudText& t : game->overlayTexts())
            if (t.text == label && t.b == 0) return true;
        return false;
    };
    for (int i = 0; i < 50 && !chosen("new match"); ++i) tapAndPass(SDLK_DOWN);
    tap(SDLK_RETURN);
    tap(SDLK_k);
    tapAndPass(SDLK_ESCAPE);
    const std::string field = fieldText(game->localPlayer());
    tapAndPass(SDLK_k);
    EXPECT_NE(fieldText(game->localPlayer()), field);
    tapAndPass(SDLK_F1);
    EXPECT_EQ(rows(256, 256), "k|new match|");
}

TEST_F(GameTest, TheOptionsTellTheRecordAgainstTheLevelBWouldStartAt) {
    fs::create_directories(folder / "state" / "starhold");
    std::ofstream(folder / "state" / "starhold" / "records") << "computer beginner 2 1\ncomputer hard 0 3\n";
    start();
    tap(SDLK_ESCAPE);
    for (int i = 0; i < 5; ++i) tap(SDLK_DOWN);  // the computer's level, not set: the first not beaten
    pass();
    EXPECT_EQ(rows(366, 366), "against easy: won 0, lost 0|");
    tapAndPass(SDLK_LEFT);
    EXPECT_EQ(rows(366, 366), "against hard: won 0, lost 3|");
}

// A field alone flown to its last star by the computer's pilot, pressing the
// keys a player would; then a match the computer wins.
TEST_F(GameTest, RecordsKeepTheBestTimeAndTheResultsAndBStartsAtTheLowestLevelNotYetBeaten) {
    fs::create_directories(folder / "state" / "starhold");
    std::ofstream(folder / "state" / "starhold" / "records") << "best 10 4 5 999999\ncomputer beginner 1 3\n";
    start("mapdimensions 10\nminstars 4\nmaxstars 5\n");
    const PlayerState& local = game->localPlayer();
    Pilot pilot(BotLevel::Hard, 5);
    const std::pair<bool Steering::*, SDLKey> keys[] = {
        {&Steering::forward, SDLK_UP}, {&Steering::back, SDLK_DOWN}, {&Steering::left, SDLK_LEFT},
        {&Steering::right, SDLK_RIGHT}, {&Steering::up, SDLK_w},     {&Steering::down, SDLK_s}};
    for (int step = 0; step < 20000 && !local.isMatchOver(); ++step) {
        const Steering chosen = pilot.decide(local, game->core().remotePlayer(), false, clock->now());
        for (const auto& [flag, sym] : keys) key(sym, chosen.*flag);  // a held key repeats nothing
        pass();
    }
    for (const auto& [flag, sym] : keys) key(sym, false);
    ASSERT_TRUE(local.isMatchOver() && local.ownStars() == local.starCount());
    const int32_t best = local.matchTime();
    EXPECT_EQ(rows(90, 210),
              "FIELD CLEARED|in " + toText((best / 100) / 10.0f) + " s|a new best|Backspace: new match|");
    tapAndPass(SDLK_BACKSPACE);

    tapAndPass(SDLK_b);  // beginner was beaten once
    EXPECT_EQ(rows(kStatusY, kStatusY + kStatusRowHeight, layout().topLeft),
              "playing the computer (easy)|won 0, lost 0|");
    ASSERT_TRUE(passUntil([&] { return game->network().peerCount() == 1 && local.matchTime() < 100; }));
    // The ship stays where it starts; once the computer holds more than half,
    // seconds pass at a time on this side, each once the computer was heard, which drains the energies.
    ASSERT_TRUE(passUntil([&] { return local.ownStars() < local.starCount() / 2; }));
    for (int second = 0; second < 1000 && !local.isMatchOver(); ++second) {
        pass(1000);
        ASSERT_TRUE(passUntil([&] { return game->core().silentMs() < 1000 || local.isMatchOver(); }));
    }
    EXPECT_TRUE(local.isMatchOver() && local.ownEnergy() == 0);
    EXPECT_EQ(rows(kStatusY, kStatusY + kStatusRowHeight, layout().topLeft),
              "playing the computer (easy)|won 0, lost 1|");
    std::ifstream file(folder / "state" / "starhold" / "records");
    const std::string kept{std::istreambuf_iterator<char>(file), {}};
    EXPECT_EQ(kept, "best 10 4 5 " + toText(best) + "\ncomputer beginner 1 3\ncomputer easy 0 1\n");
}
