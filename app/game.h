#pragma once
// The game: a window, the keyboard, the heads-up line, the status line and
// sound on top of one side of a match (match/match_core.h). Owns every
// long-lived object for the whole run, starts them up in order, runs the frame
// loop one pass at a time and tears down in reverse.

#include <cstdint>
#include <string>
#include <vector>

#include "app/computer_opponent.h"
#include "app/gamepad.h"
#include "app/hud.h"
#include "app/input.h"
#include "settings/settings.h"
#include "settings/settings_file.h"
#include "app/status_line.h"
#include "base/clock.h"
#include "base/random.h"
#include "base/timer.h"
#include "discovery/lan.h"
#include "join/join_prompt.h"
#include "match/match_core.h"
#include "options/options_screen.h"
#include "records/record_watch.h"
#include "records/records.h"
#include "render/draw_surface.h"
#include "render/font.h"
#include "render/frame.h"
#include "sound/sound_manager.h"
#include "textures/texture_manager.h"
#include "window/game_window.h"

class Game {
public:
    // The game's time: SDL's tick count, or a clock its owner moves.
    explicit Game(const Clock& clock = sdlClock());
    ~Game();
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    // Opens the window and audio and loads everything; false after printing why.
    bool startUp();
    // Runs passes until the window is closed, then keeps the window's size for
    // the next start; false when the display took the window away.
    bool run();
    // One pass of the loop: events, update, network, movement, drawing.
    void runPass();
    bool quitRequested() const { return input.quit; }

    // What the game shows, read-only.
    const MatchCore& core() const { return match; }
    const PlayerState& localPlayer() const { return match.localPlayer(); }
    const PlayerState& remotePlayer() const { return match.remotePlayer(); }
    const Connection& network() const { return match.network(); }
    const Frame& camera() const { return mainCamera; }
    const DrawSurface3D& scene() const { return sceneSurface; }
    HudValues hudValues();  // what the heads-up line shows now
    // The texts drawn over the world this pass: status line, banner, key panel,
    // hint, join prompt.
    std::vector<HudText> overlayTexts();
    // The same texts in their groups, each with its backings: what drawOverlay draws.
    std::vector<OverlayGroup> overlayGroups();
    int framesDrawn() const { return frameCount; }
    // Full screen at the desktop's size, or back to the window's last size. A
    // switch the display refuses leaves the window as it was, says so on
    // standard error and shows an event on the status line.
    void setFullScreen(bool on);
    bool fullScreen() const { return window.isFullScreen(); }
    WindowSize windowSize() const { return window.drawnSize(); }
    bool promptOpen() const { return prompt.isOpen(); }
    bool optionsOpen() const { return options.isOpen(); }
    const GameSettings& currentSettings() const { return settings; }
    // The starhold-bot program b starts; beside the game's own binary unless set.
    void setComputerProgram(const std::string& path) { computerProgram = path; }
    bool playingComputer() const { return againstComputer; }
    // Writes the settings changed in the game to the player's config.txt. A file
    // that cannot be written is named on the status line and standard error;
    // the settings still apply for this run.
    void saveSettings();
    // The player's best times and results against the computer, as last read or kept.
    const Records& playerRecords() const { return records; }

private:
    // Start-up steps
    bool startVideo();
    void readConfiguration();
    bool startAudio();
    void placeCameras();

    // Loop steps
    void drainEvents();
    void resizeWindow(WindowSize wanted);
    void noteVideoMode(bool set, const char* refusal);
    void playSounds(const std::vector<MatchEvent>& events);
    void handleKey(const SDL_keysym& key, bool pressed);
    bool optionsTakeKey(const SDL_keysym& key, bool pressed);
    void handlePad(const SDL_Event& event);
    void padInOptions(const SDL_Event& event);
    void openOptions();
    std::string optionsNotice() const;
    void applyOptions(OptionsAction action);
    void applySettings(const GameSettings& next);
    void applyVolumes();
    void resetShip();
    Steering heldSteering() const;
    void moveCamera();
    bool frameDue(bool updated, bool moved);
    void drawFrame();
    void drawHud();
    void drawOverlay();
    void observeMatch();
    void noteFriendsVersion();
    uint32_t now() { return static_cast<uint32_t>(runClock.elapsed()); }  // since start-up
    void waitForNextDue();

    // Keys that reach the match
    bool readConnectionFile(int32_t& port, std::string& host);
    void listen();
    void connect();
    void joinHost(const std::string& host, int32_t port);
    void openJoinPrompt();
    void closeJoinPrompt();
    void updateLan();
    void noteJoinOutcome();
    void playComputer();
    void endComputerGame();
    void watchComputer();
    void keepRecords();
    void keepTrialTime(const TrialKind& kind, int32_t ms);
    void keepComputerResult(BotLevel level, bool won);
    const std::string& listeningText();
    void toggleMusic();
    void showProblem(const std::string& text);

    // Owned objects, in order of creation; destroyed in reverse.
    DrawSurface3D sceneSurface;
    DrawSurface3D shipSurface;
    DrawSurface2D hudSurface;
    TextureManager textures;
    GameWindow window{sceneSurface, textures};
    WindowSize lastWindowSize = kFirstWindowSize;  // as the last run left it
    FontManager fonts;
    GameSettings settings;
    SettingsFile settingsFile;
    SoundManager sounds;
    Frame mainCamera;
    const Clock& clock;
    RandomSource random{seedFromTime()};
    MatchCore match{clock, random};
    InputState input;
    Gamepad pad;
    OptionsScreen options;
    Timer runClock{clock};  // time since SDL started, for the status line and hint
    StatusLine status;
    JoinPrompt prompt;
    std::string promptJoin;     // the host typed into the prompt, until its connect ends
    std::string listening;      // where a friend joins us: worked out once per port hosted
    std::string announcedAs;    // the name a hosted game is listed under: the setting or the login name
    int32_t listeningPort = -1;
    LanAnnouncer announcer;  // while waiting for a friend: where to join us, to the local network
    LanListener lanGames;    // while the join prompt is open: the games announced there
    ComputerOpponent computer;
    std::string computerProgram;
    BotLevel computerLevel = BotLevel::Normal;
    bool againstComputer = false;
    Records records;
    RecordWatch recordWatch;
    int32_t trialBestMs = -1;  // the best time of the trial that just ended, this one included
    bool trialNewBest = false;
    int32_t arenaSize = 0;  // the size the arena was last drawn at
    bool showKeys = false;
    bool drawnSinceUpdate = false;
    bool linkLost = false;        // the pass just gave up a silent friend
    int32_t versionNoted = 0;     // the friend's protocol the status line has told of
    int frameCount = 0;
};
