#pragma once
// One side of a match, without a window: the local player and the mirror of
// the opponent, the connection to the peer, the loop's timers, the messages
// that keep the two sides in step, and the rules of hosting, joining and
// starting matches. The game puts a window, keys, text and sound on top of it;
// the computer opponent puts a pilot.
//
// While two sides are connected the host owns the match: it starts each one
// (when the friend arrives, and on every new match it asks for), drains the
// energies and says when a match is over. The guest mirrors what it is sent
// and never starts or ends a match of its own.
//
// The core is handed its clock and its random source: it reads no other time
// and draws no other chance, so matches replay from their seed and any number
// of them run side by side.

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/random.h"
#include "base/timer.h"
#include "net/connection.h"
#include "settings/settings.h"
#include "world/player_state.h"
#include "world/steering.h"

// What happened in a pass, for the game to play and anyone to watch.
struct MatchEvent {
    enum Kind {
        OwnCapture,       // our ship took `star`
        OpponentCapture,  // the peer took `star` from this side's field
        OwnWrap,          // our ship left through a face
        OpponentWrap,     // the other ship did
        MatchOver,        // the match has ended on this side
    };
    Kind kind = OwnCapture;
    int32_t star = -1;
};

class MatchCore {
public:
    // What one pass did: whether the players were updated, the length of the
    // movement step it ran (-1 when none was due), and what happened.
    struct Pass {
        bool updated = false;
        int32_t movementMs = -1;
        std::vector<MatchEvent> events;
    };

    // The clock and the random source are borrowed for the core's whole life.
    MatchCore(const Clock& clock, RandomSource& random);
    ~MatchCore();  // networking stops first: its thread must not outlive what it posts to
    MatchCore(const MatchCore&) = delete;
    MatchCore& operator=(const MatchCore&) = delete;

    // Gives both players the settings and starts the first match.
    void configure(const GameSettings& settings);
    bool startNetworking();  // false after printing why; the match then runs alone

    // What the player asks for. host() with the port already hosted changes
    // nothing; a host() that fails changes nothing but the connection's port.
    bool host(int32_t port);  // -1 keeps the connection's port
    bool join(const std::string& hostName, int32_t port);
    void leave();
    // False while joined to a host: the host starts the matches.
    bool startNewMatch();
    void resetShip();  // back to the centre, at rest
    // Who may join while hosting (see Connection::limitPeers).
    void limitPeers(int maxPeers, bool loopbackOnly);

    // Every SDL event goes here first; NET2's events feed the connection.
    void handleEvent(const SDL_Event& event);
    // Reads what has reached the connection, without running a pass.
    void readNetwork();
    // The update step, the network step and the movement step, each when due.
    // A null steering leaves the ship alone (the keys steer the free camera).
    Pass runPass(const Steering* steering);
    // Milliseconds until a step of runPass next falls due (0 when one is due).
    int32_t msUntilDue();

    const PlayerState& localPlayer() const { return local; }
    const PlayerState& remotePlayer() const { return remote; }
    const Connection& network() const { return connection; }
    const GameSettings& settings() const { return configured; }

    bool connected() const { return connection.peerCount() > 0; }
    bool joinedToHost() const { return connection.isClient() && connected(); }
    int32_t hostedPort() const { return hostingPort; }  // -1 when not hosting
    // Why the host's last star list was refused, handed out once; "" when none.
    std::string takeRefusal();

private:
    MatchRole role() const;
    bool updateStep(std::vector<MatchEvent>& events);
    void networkStep(std::vector<MatchEvent>& events);
    int32_t movementStep(const Steering* steering);
    void startHostedMatch();
    void newHostedField();
    void clearInbox();
    void report(const WorldEvents& happened, bool ours, std::vector<MatchEvent>& events);

    void runReceiveBatch(std::vector<MatchEvent>& events);
    void dispatch(const ReceivedMessage& message, std::vector<MatchEvent>& events);
    void answerStarListRequest(int32_t socket);
    void applyStarList(std::string_view payload);
    void sendToPeers(const std::string& message);
    void sendPeriodicMessages();
    int32_t receiveDueIn();

    GameSettings configured;
    Connection connection;
    PlayerState local;
    PlayerState remote;
    ReceivedMessage inbound;
    std::string starListAnswer;  // built at most once per receive batch, however many ask
    std::string refusal;
    int32_t hostingPort = -1;
    bool scoreDue = false;  // the match just ended: the guest hears it at once
    Timer updateTimer;
    Timer movementTimer;
    Timer receiveTimer;
    Timer velocityTimer;
    Timer frameSendTimer;
    Timer ownersTimer;
    Timer scoreTimer;
};
