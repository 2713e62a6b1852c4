#include "match/match_core.h"

#include <algorithm>
#include <cstdio>

#include "base/text.h"
#include "wire/messages.h"

namespace {

// Loop periods in milliseconds.
constexpr int32_t kUpdatePeriod = 10;
constexpr int32_t kMovementPeriod = 10;  // the movement step runs after *more* than this
constexpr int32_t kReceivePeriod = 25;
constexpr int32_t kFrameSendPeriod = 200;
constexpr int32_t kVelocitySendPeriod = 50;
constexpr int32_t kOwnersSendPeriod = 10000;
constexpr int32_t kScoreSendPeriod = 500;
constexpr int32_t kPingPeriod = 1000;
constexpr int32_t kAllPeers = -1;
// A friend that has not said hello this long after it came speaks the protocol
// from before hello.
constexpr int32_t kHelloWaitMs = 3000;
// Until a round trip is measured, news of a star is taken to be this old at most.
constexpr uint32_t kUnmeasuredNewsMs = 500;
// Beyond the round trip, what the receive batches and a little jitter add.
constexpr uint32_t kNewsMarginMs = 2 * kReceivePeriod + 50;

}  // namespace

MatchCore::MatchCore(const Clock& time, RandomSource& random)
    : clock(time),
      connection(time),
      local(true, clock, random),
      remote(false, clock, random),
      updateTimer(clock),
      movementTimer(clock),
      receiveTimer(clock),
      velocityTimer(clock),
      frameSendTimer(clock),
      ownersTimer(clock),
      scoreTimer(clock),
      friendTimer(clock),
      pingTimer(clock) {}

MatchCore::~MatchCore() { connection.stopNetworking(); }

void MatchCore::configure(const GameSettings& settings) {
    configured = settings;
    if (settings.playerSkin) {
        local.toggleSkin();
    }
    startOwnMatch();
    remote.newMatch();
    if (!settings.playerSkin) {
        remote.toggleSkin();
    }
    movementTimer.start();
    updateTimer.start();
    receiveTimer.start();
    velocityTimer.start();
    frameSendTimer.start();
    ownersTimer.start();
    scoreTimer.start();
}

void MatchCore::changeSettings(const GameSettings& settings) {
    if (settings.playerSkin != configured.playerSkin) {
        local.toggleSkin();
        remote.toggleSkin();
    }
    configured = settings;
}

// A match on this side's own field, as the settings ask for now; a host's
// field of another size is left behind.
void MatchCore::startOwnMatch() {
    local.setMapSize(configured.mapDimensions);
    local.setStarRange(configured.minStars, configured.maxStars);
    remote.setMapSize(configured.mapDimensions);
    local.newMatch();
}

bool MatchCore::startNetworking() { return connection.startNetworking(); }

bool MatchCore::host(int32_t port) {
    const int32_t wanted = port != -1 ? port : connection.port();
    if (connection.isServer() && wanted == hostingPort) {
        return true;  // already there, with whoever has joined
    }
    if (!connection.startServer(port)) {
        return false;
    }
    hostingPort = connection.port();
    clearInbox();
    followPeers();
    startOwnMatch();
    local.splitStars();
    return true;
}

bool MatchCore::join(const std::string& hostName, int32_t port) {
    hostingPort = -1;
    clearInbox();
    const bool started = connection.connectTo(hostName, port);
    followPeers();
    connection.send(writeHello(), kAllPeers, false);  // both go out once the connect completes
    connection.send(writeStarListRequest(), kAllPeers, false);
    return started;
}

void MatchCore::leave() {
    connection.disconnect();
    hostingPort = -1;
    clearInbox();
    followPeers();
}

bool MatchCore::startNewMatch() {
    if (joinedToHost()) {
        return false;
    }
    startOwnMatch();
    if (connection.isServer() && connected()) {
        newHostedField();
    }
    return true;
}

// A host with a guest splits its new field and sends it: the guest's new match.
void MatchCore::newHostedField() {
    local.splitStars();
    sendToPeers(writeStarList(local.mapSize(), local.stars()));
    fieldSent();
}

// The friend's notices sent before it took this field are of the one before.
void MatchCore::fieldSent() {
    fieldSentAt = clock.now();
    fieldUntaken = true;
}

void MatchCore::resetShip() { local.resetShip(); }

void MatchCore::limitPeers(int maxPeers, bool loopbackOnly) { connection.limitPeers(maxPeers, loopbackOnly); }

// What is left from an earlier connection must not reach the next one.
void MatchCore::clearInbox() {
    while (!connection.inbox().empty()) {
        connection.dropMessage();
    }
    formerPlayer = -1;
}

void MatchCore::handleEvent(const SDL_Event& event) {
    connection.handleEvent(event);
    followPeers();
}

void MatchCore::readNetwork() {
    connection.receivePending();
    followPeers();
}

// Greets whoever has come and notes who plays: the host we joined, or on a
// host the first to come while nobody plays (whose arrival starts the match).
void MatchCore::followPeers() {
    const std::vector<int32_t>& peers = connection.peers();
    peersSeen.erase(std::remove_if(peersSeen.begin(), peersSeen.end(),
                                   [&](int32_t socket) { return !connection.isPeer(socket); }),
                    peersSeen.end());
    if (player >= 0 && !connection.isPeer(player)) {
        formerPlayer = player;
        player = -1;
    }
    for (int32_t socket : peers) {
        if (std::find(peersSeen.begin(), peersSeen.end(), socket) != peersSeen.end()) {
            continue;
        }
        peersSeen.push_back(socket);
        if (connection.isServer()) {
            greet(socket);
        }
        if (player < 0) {
            player = socket;
            formerPlayer = -1;
            versionOfFriend = 0;
            roundTrip = -1;
            offsetKnown = false;
            stampWaiting = false;
            friendTimer.restart();
            if (connection.isServer()) {
                startHostedMatch();
            }
        }
    }
}

void MatchCore::greet(int32_t socket) { connection.send(writeHello(), socket, false); }

uint32_t MatchCore::silentMs() const { return player >= 0 ? connection.silentMs(player) : 0; }

std::string MatchCore::friendAddress() const { return player >= 0 ? connection.peerAddress(player) : ""; }

// The friend has arrived: the match starts now on both sides, on the field the
// host holds, split half and half. The guest's clock starts when the field
// reaches it, moments later.
void MatchCore::startHostedMatch() {
    local.splitStars();
    local.restartMatch();
}

MatchRole MatchCore::role() const {
    if (!connected()) {
        return MatchRole::Alone;
    }
    return connection.isServer() ? MatchRole::Host : MatchRole::Guest;
}

MatchCore::Pass MatchCore::runPass(const Steering* steering) {
    Pass pass;
    pass.updated = updateStep(pass.events);
    networkStep(pass.events);
    pass.movementMs = movementStep(steering);
    return pass;
}

bool MatchCore::updateStep(std::vector<MatchEvent>& events) {
    if (updateTimer.elapsed() < kUpdatePeriod) {
        return false;
    }
    const bool wasOver = local.isMatchOver();
    WorldEvents happened;
    local.update(role(), happened);
    report(happened, true, events);
    if (connected()) {
        happened.clear();
        remote.update(role(), happened);
        report(happened, false, events);
    }
    if (!wasOver && local.isMatchOver() && connection.isServer()) {
        scoreDue = true;
    }
    updateTimer.restart();
    return true;
}

// Turns what the world did into messages for the peer and events for the caller.
void MatchCore::report(const WorldEvents& happened, bool ours, std::vector<MatchEvent>& events) {
    for (const WorldEvent& event : happened) {
        switch (event.kind) {
            case WorldEvent::Captured:
                sendToPeers(writeStarTaken(event.star));
                events.push_back({MatchEvent::OwnCapture, event.star});
                break;
            case WorldEvent::Wrapped: events.push_back({ours ? MatchEvent::OwnWrap : MatchEvent::OpponentWrap, -1}); break;
            case WorldEvent::MatchOver: events.push_back({MatchEvent::MatchOver, -1}); break;
        }
    }
}

void MatchCore::sendToPeers(const std::string& message) {
    if (connected()) {
        connection.send(message, kAllPeers, false);
    }
}

// Messages that arrived before the last peer left are still handled, so that
// nothing of that connection is left over for the next.
void MatchCore::networkStep(std::vector<MatchEvent>& events) {
    if (connected() || !connection.inbox().empty()) {
        runReceiveBatch(events);
    }
    giveUpSilentPeers(events);
    if (connected()) {
        keepInTouch();
        sendPeriodicMessages();
    }
}

// A link that stays silent is given up as if it had closed, with a line saying so.
void MatchCore::giveUpSilentPeers(std::vector<MatchEvent>& events) {
    const std::vector<int32_t> peers = connection.peers();
    for (int32_t socket : peers) {
        if (connection.silentMs(socket) < kGiveUpMs) {
            continue;
        }
        if (socket == player) {
            events.push_back({MatchEvent::LinkLost, -1});
        }
        connection.giveUp(socket, "nothing heard for " + toText(kGiveUpMs / 1000) + " s");
    }
    followPeers();
}

// Measures the round trip to the friend, and notes a friend that never says hello.
void MatchCore::keepInTouch() {
    if (pingTimer.elapsed() >= kPingPeriod) {
        connection.send(writePing(clock.now()), player, false);
        pingTimer.restart();
    }
    if (versionOfFriend == 0 && friendTimer.elapsed() >= kHelloWaitMs) {
        versionOfFriend = 1;
    }
}

void MatchCore::takeRoundTrip(uint32_t sentAt) {
    const uint32_t sample = clock.now() - sentAt;
    if (sample > kGiveUpMs) {
        return;  // not one of ours
    }
    const int32_t ms = static_cast<int32_t>(sample);
    roundTrip = roundTrip < 0 ? ms : (7 * roundTrip + ms) / 8;
}

// A ping left the friend half a round trip ago: what its clock read against ours.
void MatchCore::takeFriendsClock(uint32_t friendsClock) {
    if (roundTrip < 0) {
        return;
    }
    const int32_t sample = static_cast<int32_t>(friendsClock - (clock.now() - static_cast<uint32_t>(roundTrip / 2)));
    clockOffset = offsetKnown ? static_cast<int32_t>((7 * static_cast<int64_t>(clockOffset) + sample) / 8) : sample;
    offsetKnown = true;
}

// How long ago the friend wrote the ship frame now arriving: from its stamp on
// the friend's clock where it has one, else half a round trip (0 while unknown).
uint32_t MatchCore::frameAgeMs() {
    constexpr int32_t kOldestFrameMs = 2000;
    if (stampWaiting && offsetKnown) {
        const int32_t age = static_cast<int32_t>(clock.now() - (frameStamp - static_cast<uint32_t>(clockOffset)));
        return static_cast<uint32_t>(std::clamp(age, 0, kOldestFrameMs));
    }
    return roundTrip > 0 ? static_cast<uint32_t>(roundTrip / 2) : 0;
}

// How old news of a star may be when it arrives: a round trip and a little more.
uint32_t MatchCore::newsWindowMs() const {
    return roundTrip < 0 ? kUnmeasuredNewsMs : static_cast<uint32_t>(roundTrip) + kNewsMarginMs;
}

int32_t MatchCore::movementStep(const Steering* steering) {
    const int32_t ms = movementTimer.elapsed();
    if (ms <= kMovementPeriod) {
        return -1;
    }
    if (steering != nullptr) {
        steerShip(local, *steering, configured.sensitivity, ms);
    }
    movementTimer.restart();
    return ms;
}

int32_t MatchCore::msUntilDue() {
    int32_t wait = std::min(kUpdatePeriod - updateTimer.elapsed(), kMovementPeriod + 1 - movementTimer.elapsed());
    const int32_t receive = receiveDueIn();
    if (receive > 0) {
        wait = std::min(wait, receive);
    }
    return std::max(wait, 0);
}

// Milliseconds until the receive batch is next allowed to run while a peer is
// connected; 0 once it is overdue (it then waits for a message), -1 with no peer.
// An overdue batch is left out of the sleep: it waits for a message, not for the clock.
int32_t MatchCore::receiveDueIn() {
    if (!connected()) {
        return -1;
    }
    const int32_t left = kReceivePeriod - receiveTimer.elapsed();
    return left > 0 ? left : 0;
}

void MatchCore::sendOwners() {
    connection.send(writeOwners(local.stars()), kAllPeers, false);
    ownersTimer.restart();
    ownersSentAt = clock.now();
    ownersSent = true;
}

std::string MatchCore::takeRefusal() {
    std::string reason;
    reason.swap(refusal);
    return reason;
}

void MatchCore::sendPeriodicMessages() {
    if (frameSendTimer.elapsed() >= kFrameSendPeriod) {
        connection.send(writeFrameStamp(clock.now()), kAllPeers, false);
        connection.send(writeShipFrame(local.ship().frame), kAllPeers, false);
        frameSendTimer.restart();
    }
    if (velocityTimer.elapsed() >= kVelocitySendPeriod) {
        connection.send(writeVelocity(local.velocity()), kAllPeers, false);
        velocityTimer.restart();
    }
    if (!connection.isServer()) {
        return;
    }
    if (ownersTimer.elapsed() >= kOwnersSendPeriod) {
        sendOwners();
    }
    if (scoreDue || scoreTimer.elapsed() >= kScoreSendPeriod) {
        connection.send(writeScore(local.score()), kAllPeers, false);
        scoreTimer.restart();
        scoreDue = false;
    }
}

void MatchCore::runReceiveBatch(std::vector<MatchEvent>& events) {
    connection.receivePending();  // one round of reading per pass
    if (receiveTimer.elapsed() < kReceivePeriod) {
        return;
    }
    starListAnswer.clear();
    while (connection.nextMessage(inbound)) {
        if (!inbound.damaged) {
            dispatch(inbound, events);
        }
        connection.dropMessage();
        receiveTimer.restart();
    }
}

// A message that does not read whole is ignored; of a watcher, only its
// request for the field counts.
void MatchCore::dispatch(const ReceivedMessage& message, std::vector<MatchEvent>& events) {
    Envelope envelope;
    if (!readEnvelope(message.text, envelope)) {
        return;
    }
    if (envelope.type == StarListMessage && connection.isServer()) {
        answerStarListRequest(message.socket);
    } else if (message.socket == player || message.socket == formerPlayer) {
        dispatchFromFriend(envelope, events);
    }
}

void MatchCore::dispatchFromFriend(const Envelope& envelope, std::vector<MatchEvent>& events) {
    const std::string_view payload = envelope.payload;
    const bool host = connection.isServer();
    Frame frame;
    Velocity velocity;
    int32_t number = -1;
    uint32_t stamp = 0;
    std::vector<float> owners;
    Score score;
    WorldEvents happened;
    switch (envelope.type) {
        case ShipFrameMessage:
            if (readShipFrame(payload, frame)) remote.applyFrame(frame, frameAgeMs());
            stampWaiting = false;
            break;
        case FrameStampMessage:
            stampWaiting = readClock(payload, frameStamp);
            break;
        case VelocityMessage:
            if (readVelocity(payload, velocity)) remote.applyVelocity(velocity, roundTrip > 0 ? roundTrip / 2 : 0);
            break;
        case StarListMessage: applyStarList(payload); break;
        case StarTakenMessage:
            if (readStarTaken(payload, number) && !ofAnEarlierField()) opponentTook(number, events);
            break;
        case OwnersMessage:  // the host decides who holds what
            if (!host && readOwners(payload, owners)) local.applyOwners(owners);
            break;
        case ScoreMessage:
            if (!host && readScore(payload, score)) {
                local.applyScore(score, happened);
                report(happened, true, events);
            }
            break;
        case HelloMessage:
            if (readHello(payload, number)) {
                versionOfFriend = number;
                fieldUntaken = false;
            }
            break;
        case PingMessage:
            if (player >= 0 && readClock(payload, stamp)) {
                connection.send(writePong(stamp), player, false);
                takeFriendsClock(stamp);
            }
            break;
        case PongMessage:
            if (readClock(payload, stamp)) takeRoundTrip(stamp);
            break;
        default: break;
    }
}

// A guest greets its host again each time it takes the host's field, so a
// notice that comes between the field and that greeting was sent on the field
// before. A guest from before greetings cannot say, and is taken at its word as
// it always was; a greeting that never comes is waited for no longer than kGiveUpMs.
bool MatchCore::ofAnEarlierField() {
    fieldUntaken = fieldUntaken && connection.isServer() && clock.now() - fieldSentAt < kGiveUpMs;
    return fieldUntaken && versionOfFriend >= 2;
}

// The friend took a star. A host tells its guest the true owners at once when
// the notice changed nothing (the guest held the star already) or may have
// crossed owners on their way to the guest, so both show the same owners within
// a round trip.
void MatchCore::opponentTook(int32_t index, std::vector<MatchEvent>& events) {
    const bool taken = local.starTakenByOpponent(index);
    if (taken) {
        events.push_back({MatchEvent::OpponentCapture, index});
    }
    const bool inField = static_cast<size_t>(index) < local.stars().size();
    const bool crossed = ownersSent && clock.now() - ownersSentAt < newsWindowMs();
    if (connection.isServer() && inField && (!taken || crossed)) {
        sendOwners();
    }
}

// Building a list costs milliseconds; a peer asking a thousand times in one
// batch gets the same text a thousand times.
void MatchCore::answerStarListRequest(int32_t socket) {
    if (starListAnswer.empty()) {
        starListAnswer = writeStarList(local.mapSize(), local.stars());
    }
    connection.send(starListAnswer, socket, false);
    if (socket == player) {
        fieldSent();
    }
}

// A new field from the host is a whole new match. A list this side cannot hold
// would leave the two screens on different fields, so the link to the host is
// given up instead.
void MatchCore::applyStarList(std::string_view payload) {
    StarList list;
    std::string reason;
    if (!readStarList(payload, list, reason)) {
        std::fprintf(stderr, "%s; disconnecting\n", reason.c_str());
        leave();
        refusal = reason;
        return;
    }
    local.applyField(list.mapSize, list.stars);
    local.restartMatch();
    remote.setMapSize(local.mapSize());
    connection.send(writeHello(), player, false);  // what follows is of this field
}
