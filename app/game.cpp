#include "app/game.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <iostream>

#include "app/data_folder.h"
#include "base/text.h"
#include "render/frame_gl.h"
#include "window/window_state.h"
#include "world/arena.h"
#include "world/world_drawing.h"

namespace fs = std::filesystem;

Game::Game(const Clock& time) : settingsFile(ownSettingsPath("config.txt"), "config.txt"), clock(time) {}

Game::~Game() = default;

bool Game::startUp() {
    readConfiguration();  // first: it says whether the window opens full screen
    if (!startVideo()) {
        return false;
    }
    runClock.start();  // SDL's tick count means time since start-up only once SDL has started
    if (computerProgram.empty()) {
        computerProgram = (fs::path(executablePath("starhold")).parent_path() / "starhold-bot").string();
    }
    records = readRecords(recordsPath(), std::cerr);
    match.startNetworking();  // on failure the game runs without a network
    if (!startAudio()) {
        return false;
    }
    placeCameras();
    match.configure(settings);
    loadShipTextures(textures);
    fonts.setSurface(&hudSurface);
    fonts.setTextureManager(&textures);
    fonts.loadFont("characters.fnt", "font");  // a font that cannot be read says why; the heads-up text is then blank
    input = InputState();
    arenaSize = settings.mapDimensions;
    buildArena(sceneSurface, arenaSize);
    input.firstFrame = true;
    return true;
}

bool Game::startVideo() {
    sceneSurface.setTextureManager(&textures);
    readWindowSize(windowStatePath(), lastWindowSize, std::cerr);
    if (!window.open(lastWindowSize, settings.fullScreen)) {
        return false;  // the window has printed the reason
    }
    hudSurface.setResolution(window.drawnSize().width, window.drawnSize().height);
    SDL_WM_SetCaption("starhold", "starhold");
    SDL_EnableUNICODE(1);  // the join prompt types what the keys say
    pad.open();            // without a pad nothing changes
    hudSurface.setTextureManager(&textures);
    shipSurface = sceneSurface;
    return true;
}

void Game::readConfiguration() {
    settingsFile.load(settings, std::cerr);
    announcedAs = announcedName(settings);  // the login name is looked up once
}

void Game::saveSettings() {
    if (!settingsFile.save(settings, std::cerr)) {
        showProblem("could not save " + shownPath(settingsFile.ownPath()));
    }
}

// Without a sound device the game plays silently through SDL's dummy driver,
// so the music key and the sound calls behave as they would with one.
bool Game::startAudio() {
    if (!sounds.openAudio()) {
        std::fprintf(stderr, "No sound device (%s); playing without sound\n", Mix_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        sounds.openAudio();  // should even this fail, the sound calls do nothing
        status.showEvent(kSilentPlayText, 1, 1, 1, now());
    }
    sounds.loadMusic("audio/drx.ogg", "1");
    sounds.playMusic("1", -1);
    sounds.loadSound("audio/slam.ogg", "wh1");
    sounds.loadSound("audio/pop.ogg", "pop1");
    sounds.loadSound("audio/enemySlam.ogg", "wh2");
    sounds.loadSound("audio/enemyPop.ogg", "pop2");
    applyVolumes();
    return true;
}

void Game::placeCameras() {
    mainCamera.reset(0, 0, 0);
    mainCamera.moveLocal(0, 0, -20, 1);
}

bool Game::run() {
    while (!input.quit) {
        runPass();
        waitForNextDue();
    }
    saveSettings();  // what the options screen changed, should the window close while it is open
    if (window.windowedSize() != lastWindowSize) {  // the next start opens the window as it was left
        writeWindowSize(windowStatePath(), window.windowedSize(), std::cerr);
    }
    return !window.lost();
}

void Game::runPass() {
    drainEvents();
    updateLan();
    const Steering steering = heldSteering();
    const MatchCore::Pass pass = match.runPass(input.freeCamera ? nullptr : &steering);
    playSounds(pass.events);
    observeMatch();
    const bool moved = pass.movementMs >= 0;
    if (moved && input.freeCamera) {
        moveCamera();
    }
    if (frameDue(pass.updated, moved)) {
        drawFrame();
        drawnSinceUpdate = true;
        ++frameCount;
    }
}

// A frame shows something new only after the world moved, and one frame per
// update period is all the eye gets: a second one in between only makes the
// spacing uneven. The very first pass draws so the first frame's resets run.
bool Game::frameDue(bool updated, bool moved) {
    if (updated) {
        drawnSinceUpdate = false;
    }
    return input.firstFrame || ((updated || moved) && !drawnSinceUpdate);
}

// A dragged corner sends a stream of sizes; only the last of a pass is set.
void Game::drainEvents() {
    SDL_Event event;
    WindowSize resized;
    while (SDL_PollEvent(&event)) {
        match.handleEvent(event);
        if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) {
            handleKey(event.key.keysym, event.type == SDL_KEYDOWN);
        } else if (event.type == SDL_VIDEORESIZE) {
            resized = {event.resize.w, event.resize.h};
        } else if (event.type == SDL_QUIT) {
            input.quit = true;
        } else {
            handlePad(event);
        }
    }
    if (resized.width > 0) {
        resizeWindow(resized);
    }
}

void Game::resizeWindow(WindowSize wanted) { noteVideoMode(window.resize(wanted), kWindowSizeRefusedText); }

// The choice is kept in config.txt for the next start; a refused one keeps what the window is.
void Game::setFullScreen(bool on) {
    noteVideoMode(window.setFullScreen(on), on ? kFullScreenRefusedText : kWindowSizeRefusedText);
    settings.fullScreen = window.isFullScreen();
    if (!options.isOpen()) {
        saveSettings();  // else when the screen closes
    }
}

// After a video mode was set or refused; a display that took the window away ends the game.
void Game::noteVideoMode(bool set, const char* refusal) {
    if (!set) {
        status.showEvent(refusal, 1, 0.4f, 0.4f, now());
    }
    hudSurface.setResolution(window.drawnSize().width, window.drawnSize().height);
    input.quit = input.quit || window.lost();
}

// The full-screen keys switch unless the options screen, which has a row for
// it, is open; the join prompt and the options screen see every other key
// first: while either is open no other key is the game's.
void Game::handleKey(const SDL_keysym& key, bool pressed) {
    if (isFullScreenKey(key.sym, key.mod) && !options.isOpen()) {
        if (pressed) {
            setFullScreen(!window.isFullScreen());
        }
        return;
    }
    switch (prompt.handleKey(key.sym, key.unicode, pressed)) {
        case PromptAction::NotTaken: break;
        case PromptAction::Join:
            closeJoinPrompt();
            promptJoin = prompt.text();
            joinHost(prompt.target().host, prompt.target().port);
            return;
        case PromptAction::Close: closeJoinPrompt(); return;
        case PromptAction::Taken: return;
    }
    if (optionsTakeKey(key, pressed)) {
        return;
    }
    switch (applyKey(input, settings.keys, key.sym, pressed)) {
        case KeyAction::ResetShip: resetShip(); break;
        case KeyAction::NewMatch: match.startNewMatch(); break;
        case KeyAction::ToggleMusic: toggleMusic(); break;
        case KeyAction::Listen: listen(); break;
        case KeyAction::Connect: connect(); break;
        case KeyAction::Disconnect:
            endComputerGame();
            match.leave();
            break;
        case KeyAction::PlayComputer: playComputer(); break;
        case KeyAction::OpenJoinPrompt: openJoinPrompt(); break;
        case KeyAction::ToggleKeys: showKeys = !showKeys; break;
        case KeyAction::OpenOptions: openOptions(); break;
        case KeyAction::None: break;
    }
}

void Game::resetShip() {
    match.resetShip();
    mainCamera.reset(0, 0, 20);
}

// "pop1" our capture, "pop2" the opponent's, "wh1" / "wh2" a ship wrapping at a
// face, by the skin it wears.
void Game::playSounds(const std::vector<MatchEvent>& events) {
    for (const MatchEvent& event : events) {
        const char* name = nullptr;
        switch (event.kind) {
            case MatchEvent::OwnCapture: name = "pop1"; break;
            case MatchEvent::OpponentCapture: name = "pop2"; break;
            case MatchEvent::OwnWrap: name = match.localPlayer().alternateSkin() ? "wh2" : "wh1"; break;
            case MatchEvent::OpponentWrap: name = match.remotePlayer().alternateSkin() ? "wh2" : "wh1"; break;
            case MatchEvent::MatchOver: break;
            case MatchEvent::LinkLost: linkLost = true; break;
        }
        if (name != nullptr) {
            sounds.playSound(name, -1, 0);
        }
    }
}

void Game::toggleMusic() {
    if (sounds.isMusicPaused()) {
        sounds.resumeMusic();
    } else {
        sounds.pauseMusic();
    }
}

Steering Game::heldSteering() const {
    Steering held = input.held;
    pad.steer(held);
    return held;
}

void Game::moveCamera() {
    const Steering& held = input.held;
    if (held.forward != held.back) mainCamera.moveLocal(0, 0, held.forward ? 0.25f : -0.25f, 1);
    if (held.left != held.right) mainCamera.moveLocal(held.left ? -0.25f : 0.25f, 0, 0, 1);
    if (held.turnLeft != held.turnRight) mainCamera.rotateWorld(held.turnLeft ? -0.5f : 0.5f, 0, 1, 0);
    if (held.rollLeft != held.rollRight) mainCamera.rotateLocal(held.rollLeft ? -0.5f : 0.5f, 0, 0, 1);
    if (held.up != held.down) mainCamera.rotateLocal(held.up ? -0.5f : 0.5f, 1, 0, 0);
}

void Game::drawFrame() {
    const PlayerState& local = match.localPlayer();
    if (local.mapSize() != arenaSize) {  // a host's field of another size
        arenaSize = local.mapSize();
        buildArena(sceneSurface, arenaSize);
    }
    if (!input.freeCamera) {
        followCamera(local, mainCamera);
    }
    drawStars(local, shipSurface);
    sceneSurface.beginFrame();
    drawHud();
    glLoadIdentity();
    applyAsView(mainCamera);
    // The arena's lines and the star markers are opaque, untextured and of one
    // colour each: GL's default blending, an alpha test they always pass and
    // smooth shading change none of their pixels, but have a software
    // rasterizer read, test and interpolate the colour of every one of them.
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glShadeModel(GL_FLAT);
    sceneSurface.flush(false, false);
    shipSurface.flush(true, false);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    drawShip(local, mainCamera, textures);
    if (match.connected()) {
        drawShip(match.remotePlayer(), mainCamera, textures);
    }
    drawOverlay();
    sceneSurface.endFrame();
    if (input.firstFrame) {
        match.resetShip();
        mainCamera.reset(0, 0, 20);
        input.firstFrame = false;
    }
}

// Sleeps until the next step of the match falls due, so an early pass does not
// spin the processor.
void Game::waitForNextDue() {
    const int32_t wait = match.msUntilDue();
    if (wait > 0) {
        SDL_Delay(static_cast<Uint32>(wait));
    }
}
