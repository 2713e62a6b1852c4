#pragma once
// One player's view of the game: the ship, the star field with its owners, both
// players' star counts and energies, and the match clock. The game keeps two:
// the local state (its own ship and the field) and the remote mirror (the
// opponent's ship as received from the peer, moved between messages).

#include <cstdint>
#include <string>
#include <vector>

#include "base/timer.h"
#include "render/frame.h"

class Connection;
class WorldSounds;

// owner: 0 free, 1 held by this side, 2 held by the opponent.
struct Star {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    float r = 0.0f, g = 0.0f, b = 0.0f;
    float owner = 0.0f;
};

// A positive vz moves the ship towards negative world Z (its own -Z is forward).
struct Ship {
    Frame frame;
    float vx = 0.0f, vy = 0.0f, vz = 0.0f;  // units per second, each within +-15
    float dx = 0.0f, dy = 0.0f, dz = 0.0f;  // the latest update's displacement
};

class PlayerState {
public:
    static constexpr int32_t kStartEnergy = 500;
    static constexpr float kMaxSpeed = 15.0f;      // units per second, on each velocity component
    static constexpr float kCaptureRadius = 1.5f;  // a ship nearer than this to a star takes it

    // Seeds the random generator and starts a first match, before any wiring.
    explicit PlayerState(bool local);

    // Wiring; every pointer is borrowed and may be null, meaning "none".
    void setSounds(WorldSounds* sounds);
    void setConnection(Connection* connection);
    void toggleSkin();

    void setMapSize(int32_t size);
    int32_t mapSize() const;
    void setStarRange(int32_t minStars, int32_t maxStars);

    // Matches.
    void newMatch();
    void splitStars();   // half the field each: the start of a game as server
    // A new match on the field held now: the clock from 0, the ship at the
    // centre, both energies full and no end yet. The owners stay as they are.
    void restartMatch();
    void resetShip();
    void setMatchOverTime(int32_t ms);  // 0 reopens the match
    void restartMatchClock();

    // Heads-up queries.
    int32_t ownStars() const;
    int32_t opponentStars() const;
    int32_t ownEnergy() const;
    int32_t opponentEnergy() const;
    bool isMatchOver() const;
    int32_t matchTime();  // the frozen length once over, else the running clock

    // Steering and time.
    void addVelocity(float dvx, float dvy, float dvz);  // each component clamped to +-15
    void rotateShip(float degrees, float ax, float ay, float az);
    // The energy tick, then the ship's step. Only a host with a guest drains
    // energy; it stops at 0, and that ends the match.
    void update();
    void starTakenByOpponent(int32_t index);  // an index outside the field is ignored

    // Texts exchanged with the peer (comma-separated payloads).
    std::string frameText() const;
    std::string velocityText() const;
    std::string starListText() const;
    std::string ownersText() const;
    std::string scoreText() const;
    void applyFrameText(const std::string& text);
    void applyVelocityText(const std::string& text);
    // False when refused, with nothing changed; `reason` then says why in a few words.
    bool applyStarListText(const std::string& text, std::string* reason = nullptr);
    void applyOwnersText(const std::string& text);
    // The host's counts and energies; an energy of 0 (or less, from an older
    // host) is how the guest learns that the match is over.
    void applyScoreText(const std::string& text);

    const std::vector<Star>& stars() const { return starField; }
    const Ship& ship() const { return playerShip; }
    int32_t starCount() const { return starTotal; }
    bool alternateSkin() const { return secondSkin; }

private:
    void generateStars();
    void setVelocity(float vx, float vy, float vz);  // each component clamped to +-15
    void tickEnergy();
    void stepShip();
    void wrapAtFaces();
    void captureStars();
    void orientAlongVelocity();
    void endMatch();
    void playSound(const char* name) const;
    void sendToPeers(const std::string& message) const;
    bool hasPeers() const;
    bool actsAsServer() const;

    std::vector<Star> starField;
    WorldSounds* sounds = nullptr;
    int32_t matchOverTime = 0;
    Connection* connection = nullptr;
    Timer frameTimer;
    int32_t minStars = 30;
    int32_t maxStars = 50;
    int32_t arenaSize = 20;
    int32_t ownStarCount = 0;
    int32_t starTotal = 0;
    int32_t ownEnergyLeft = 500;
    int32_t opponentEnergyLeft = 500;
    Ship playerShip;
    int32_t captureUnit = 1;
    bool secondSkin = false;
    bool local;
    Timer energyTimer;
    Timer matchClock;
};
