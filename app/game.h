#pragma once
// The application: owns every long-lived object for the whole run, starts them
// up in order, runs the frame loop one pass at a time and tears down in reverse.

#include <cstdint>
#include <string>

#include "app/hud.h"
#include "app/input.h"
#include "app/settings.h"
#include "app/status_line.h"
#include "app/timer.h"
#include "net/connection.h"
#include "render/draw_surface.h"
#include "render/font.h"
#include "render/frame.h"
#include "sound/sound_manager.h"
#include "textures/texture_manager.h"
#include "world/player_state.h"
#include "world/steering.h"

class Game {
public:
    Game();
    ~Game();
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    // Opens the window and audio and loads everything; false after printing why.
    bool startUp();
    // Runs passes until the window is closed.
    void run();
    // One pass of the loop: events, update, network, movement, drawing.
    void runPass();
    bool quitRequested() const { return input.quit; }

    // Read access for tests and tools.
    PlayerState& localPlayer() { return local; }
    PlayerState& remotePlayer() { return remote; }
    Connection& network() { return connection; }
    const Frame& camera() const { return mainCamera; }
    const DrawSurface3D& scene() const { return sceneSurface; }
    HudValues hudValues();  // what the heads-up line shows now
    // The texts drawn over the world this pass: status line, banner, key panel, hint.
    std::vector<HudText> overlayTexts();
    int framesDrawn() const { return frameCount; }

private:
    // Start-up steps
    bool startVideo();
    void readConfiguration();
    bool startAudio();
    void placeCameras();
    void wirePlayers();
    void startLoopTimers();

    // Loop steps
    void drainEvents();
    void handleKey(SDLKey key, bool pressed);
    bool updateStep();    // true when the players were updated
    void networkStep();
    bool movementStep();  // true when the held keys were applied
    bool frameDue(bool updated, bool moved);
    Steering heldSteering() const;
    void moveCamera();
    void drawFrame();
    void drawHud();
    void drawOverlay();
    void observeConnection();
    uint32_t now();
    void waitForNextDue();

    // Keys that reach the network
    bool readConnectionFile(int32_t& port, std::string& host);
    void listen();
    void connect();

    // Message protocol
    void runReceiveBatch();
    int32_t receiveDueIn();
    void dispatch(const ReceivedMessage& message);
    void applyStarList(const std::string& payload);
    void sendPeriodicMessages();
    std::string starListAnswer;  // built at most once per receive batch, however many ask

    // Owned objects, in order of creation; destroyed in reverse.
    DrawSurface3D sceneSurface;
    DrawSurface3D shipSurface;
    DrawSurface2D hudSurface;
    TextureManager textures;
    FontManager fonts;
    Timer frameTimer;
    Connection connection;
    GameSettings settings;
    ReceivedMessage inbound;
    SoundManager sounds;
    Frame mainCamera;
    Frame hudCamera;
    PlayerState local{true};
    PlayerState remote{false};
    Timer updateTimer;
    Timer receiveTimer;
    Timer velocityTimer;
    Timer frameSendTimer;
    Timer ownersTimer;
    Timer scoreTimer;
    InputState input;
    Timer runClock;  // time since start-up, for the status line and hint
    StatusLine status;
    bool showKeys = false;
    bool drawnSinceUpdate = false;
    int frameCount = 0;
};
