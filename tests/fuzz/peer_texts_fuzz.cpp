// Peer messages, one per line ("type|payload"), read by the wire's readers and
// applied the way a guest's receive batch applies them: ship messages to the
// remote mirror, the field, owners and score to the local state. Checks after
// each message: nothing non-finite in a frame or velocity, counts within their
// bounds, a refused message changes nothing, and whatever reads back writes the
// same payload again.
#include <algorithm>
#include <cmath>

#include "harness.h"
#include "wire/messages.h"
#include "world/player_state.h"

namespace {

void checkShip(const Ship& ship) {
    for (float element : ship.frame.matrix) require(std::isfinite(element));
    for (float v : {ship.vx, ship.vy, ship.vz}) require(std::isfinite(v) && std::fabs(v) <= 15.0f);
}

// Each "3|" may lower the own count by one, so its floor moves with the messages.
// The README's bounds for a star list: at most 8192 stars, an arena of 10 to 1000.
void checkCounts(const PlayerState& state, int32_t messages) {
    const int32_t count = state.starCount();
    require(count >= 0 && count <= 8192 && state.stars().size() == static_cast<size_t>(count));
    require(state.ownStars() >= -count - messages && state.ownStars() <= 2 * count);
    require(state.mapSize() >= 10 && state.mapSize() <= 1000);
}

// Everything a star list sets: the arena, the field with its owners and the counts.
std::string fieldOf(const PlayerState& state) {
    return writeStarList(state.mapSize(), state.stars()) + "|" + std::to_string(state.ownStars());
}

// A payload that reads back is one the writer would write, but for how numbers
// may be spelled: reading what it writes gives the same message again.
template <typename Value, typename Write, typename Read>
void checkRoundTrip(const Value& value, Write write, Read read) {
    const std::string written = write(value);
    Value again{};
    require(read(std::string_view(written).substr(written.find('|') + 1), again) && write(again) == written);
}

void applyStarList(PlayerState& local, std::string_view payload) {
    const std::string before = fieldOf(local);
    StarList list;
    std::string reason;
    if (!readStarList(payload, list, reason)) {
        require(reason.rfind("star list refused: ", 0) == 0 && fieldOf(local) == before);
        return;
    }
    local.applyField(list.mapSize, list.stars);
    for (const Star& s : local.stars()) require(std::isfinite(s.x) && std::isfinite(s.y) && std::isfinite(s.z));
}

void apply(PlayerState& local, PlayerState& mirror, const std::string& message) {
    Envelope envelope;
    if (!readEnvelope(message, envelope)) return;
    const std::string_view payload = envelope.payload;
    Frame frame;
    Velocity velocity;
    int32_t index = -1;
    std::vector<float> owners;
    Score score;
    WorldEvents events;
    switch (envelope.type) {
        case ShipFrameMessage:
            if (readShipFrame(payload, frame)) mirror.applyFrame(frame);
            break;
        case VelocityMessage:
            if (!readVelocity(payload, velocity)) break;
            mirror.applyVelocity(velocity);
            checkRoundTrip(velocity, writeVelocity, readVelocity);
            break;
        case StarListMessage: applyStarList(local, payload); break;
        case StarTakenMessage:
            if (readStarTaken(payload, index)) local.starTakenByOpponent(index);
            break;
        case OwnersMessage:
            if (readOwners(payload, owners)) local.applyOwners(owners);
            break;
        case ScoreMessage:
            if (!readScore(payload, score)) break;
            local.applyScore(score, events);
            checkRoundTrip(score, writeScore, readScore);
            break;
        default: break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ManualClock clock;
    static RandomSource random(1);
    static PlayerState local(true, clock, random), mirror(false, clock, random);
    local.newMatch();
    mirror.newMatch();
    const std::string input(reinterpret_cast<const char*>(data), size);
    int32_t messages = 0;
    for (size_t start = 0, end; start <= input.size(); start = end + 1) {
        end = std::min(input.find('\n', start), input.size());
        apply(local, mirror, input.substr(start, end - start));
        checkShip(mirror.ship());
        checkCounts(local, ++messages);
    }
    return 0;
}
