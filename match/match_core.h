#pragma once
// One side of a match, without a window: the local player and the mirror of
// the opponent, the connection to the peer, the loop's timers, the messages
// that keep the two sides in step, and the rules of hosting, joining and
// starting matches. The game puts a window, keys, text and sound on top of it;
// the computer opponent puts a pilot.
//
// While two sides are connected the host owns the match: it starts each one
// (when the friend arrives, and on every new match it asks for), decides every
// capture, drains the energies and says when a match is over. The guest mirrors
// what it is sent and never starts or ends a match of its own. Only the first
// guest plays; whoever connects while it plays may watch: it is sent what the
// guest is sent and its requests for the field are answered, and nothing else
// it sends counts. A peer not heard from for kGiveUpMs is given up.
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
#include "wire/messages.h"
#include "world/steering.h"

// What happened in a pass, for the game to play and anyone to watch.
struct MatchEvent {
    enum Kind {
        OwnCapture,       // our ship took `star`
        OpponentCapture,  // the peer took `star` from this side's field
        OwnWrap,          // our ship left through a face
        OpponentWrap,     // the other ship did
        MatchOver,        // the match has ended on this side
        LinkLost,         // the friend was not heard from for kGiveUpMs and is let go
    };
    Kind kind = OwnCapture;
    int32_t star = -1;
};

class MatchCore {
public:
    static constexpr uint32_t kSilenceShownMs = 2000;  // the friend's silence is worth telling from here
    static constexpr uint32_t kGiveUpMs = 15000;       // and the link is given up from here
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
    // Takes settings changed during the run: the thrust and the skins at once,
    // the field (star range and arena size) from the next match this side starts.
    void changeSettings(const GameSettings& settings);
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

    // A friend plays this match with us: our guest, or the host we joined.
    bool connected() const { return player >= 0; }
    bool joinedToHost() const { return connection.isClient() && connected(); }
    // Milliseconds since the friend was last heard from (0 without one), and its address.
    uint32_t silentMs() const;
    std::string friendAddress() const;
    // The protocol the friend speaks: 0 while not yet known, 1 for a game from
    // before sides said hello.
    int32_t friendVersion() const { return versionOfFriend; }
    // The round trip to the friend as last measured, -1 while unknown.
    int32_t roundTripMs() const { return roundTrip; }
    int32_t hostedPort() const { return hostingPort; }  // -1 when not hosting
    // Why the host's last star list was refused, handed out once; "" when none.
    std::string takeRefusal();

private:
    MatchRole role() const;
    void followPeers();
    void greet(int32_t socket);
    void giveUpSilentPeers(std::vector<MatchEvent>& events);
    void keepInTouch();
    void takeRoundTrip(uint32_t sentAt);
    void takeFriendsClock(uint32_t friendsClock);
    uint32_t frameAgeMs();
    uint32_t newsWindowMs() const;
    void opponentTook(int32_t index, std::vector<MatchEvent>& events);
    void fieldSent();
    bool ofAnEarlierField();
    void sendOwners();
    void dispatchFromFriend(const Envelope& envelope, std::vector<MatchEvent>& events);
    bool updateStep(std::vector<MatchEvent>& events);
    void networkStep(std::vector<MatchEvent>& events);
    int32_t movementStep(const Steering* steering);
    void startHostedMatch();
    void startOwnMatch();
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

    const Clock& clock;
    GameSettings configured;
    Connection connection;
    PlayerState local;
    PlayerState remote;
    ReceivedMessage inbound;
    std::string starListAnswer;  // built at most once per receive batch, however many ask
    std::string refusal;
    int32_t hostingPort = -1;
    bool scoreDue = false;  // the match just ended: the guest hears it at once
    int32_t player = -1;    // the friend's socket; -1 without one
    int32_t formerPlayer = -1;  // the friend that left: what it sent before still counts
    std::vector<int32_t> peersSeen;  // every peer greeted, player and watchers
    int32_t versionOfFriend = 0;
    int32_t roundTrip = -1;
    int32_t clockOffset = 0;  // the friend's clock less ours, once measured
    bool offsetKnown = false;
    uint32_t frameStamp = 0;  // the friend's clock when it wrote the frame that comes next
    bool stampWaiting = false;
    uint32_t ownersSentAt = 0;
    uint32_t fieldSentAt = 0;
    bool fieldUntaken = false;  // a field went to the friend, who has not said it took it
    bool ownersSent = false;
    Timer updateTimer;
    Timer movementTimer;
    Timer receiveTimer;
    Timer velocityTimer;
    Timer frameSendTimer;
    Timer ownersTimer;
    Timer scoreTimer;
    Timer friendTimer;  // since the friend came
    Timer pingTimer;
};
