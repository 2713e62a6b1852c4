#include "wire/messages.h"

#include <cmath>

#include "base/text.h"
#include "wire/field_cursor.h"
#include "world/bounds.h"

namespace {

constexpr size_t kFrameFields = 16;
constexpr size_t kFieldsPerStar = 4;

std::string header(MessageType type) { return toText(static_cast<int32_t>(type)) + "|"; }

bool isOwner(float value) { return value == 0.0f || value == 1.0f || value == 2.0f; }

// Reads exactly `count` finite numbers and nothing more.
bool readFloats(std::string_view payload, float* values, size_t count) {
    FieldCursor cursor(payload);
    if (cursor.fieldsLeft() != count) {
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        if (!cursor.nextFloat(values[i])) {
            return false;
        }
    }
    return true;
}

bool refuse(std::string& reason, const std::string& why) {
    reason = "star list refused: " + why;
    return false;
}

std::string range(int32_t low, int32_t high) { return toText(low) + ".." + toText(high); }

std::string starNumber(size_t index) { return "star " + toText(static_cast<int32_t>(index)); }

// One star's four numbers: a place inside the arena and an owner.
bool readStar(FieldCursor& cursor, float limit, size_t index, Star& star, std::string& reason) {
    if (!cursor.nextFloat(star.x) || !cursor.nextFloat(star.y) || !cursor.nextFloat(star.z) ||
        !cursor.nextFloat(star.owner)) {
        return refuse(reason, starNumber(index) + " is not four numbers");
    }
    if (std::fabs(star.x) > limit || std::fabs(star.y) > limit || std::fabs(star.z) > limit) {
        return refuse(reason, starNumber(index) + " lies outside the arena of " + toText(static_cast<int32_t>(limit)));
    }
    if (!isOwner(star.owner)) {
        return refuse(reason, starNumber(index) + " has an owner other than 0, 1 or 2");
    }
    return true;
}

}  // namespace

bool readEnvelope(std::string_view text, Envelope& envelope) {
    const size_t bar = text.find('|');
    int32_t type = -1;
    if (bar == std::string_view::npos || !parseWholeInt(text.substr(0, bar), type)) {
        return false;
    }
    envelope.type = type;
    envelope.payload = text.substr(bar + 1);
    return true;
}

std::string writeShipFrame(const Frame& frame) {
    std::string text = header(ShipFrameMessage);
    for (size_t i = 0; i < kFrameFields; ++i) {
        text += (i > 0 ? "," : "") + toText(frame.matrix[i]);
    }
    return text;
}

bool readShipFrame(std::string_view payload, Frame& frame) {
    float elements[kFrameFields];
    if (!readFloats(payload, elements, kFrameFields)) {
        return false;
    }
    std::copy(elements, elements + kFrameFields, frame.matrix);
    return true;
}

std::string writeVelocity(const Velocity& velocity) {
    return header(VelocityMessage) + toText(velocity.x) + "," + toText(velocity.y) + "," + toText(velocity.z);
}

bool readVelocity(std::string_view payload, Velocity& velocity) {
    float v[3];
    if (!readFloats(payload, v, 3)) {
        return false;
    }
    velocity = {v[0], v[1], v[2]};
    return true;
}

std::string writeStarListRequest() { return header(StarListMessage) + "!"; }

std::string writeStarList(int32_t mapSize, const std::vector<Star>& stars) {
    std::string text = header(StarListMessage) + toText(mapSize) + "," + toText(static_cast<int32_t>(stars.size()));
    for (const Star& star : stars) {
        text += "," + toText(star.x) + "," + toText(star.y) + "," + toText(star.z) + "," + toText(star.owner);
    }
    return text;
}

// Accepts only a whole list within the game's bounds: an arena size and star
// count the configuration would allow, and four numbers for each star with the
// star inside the arena.
bool readStarList(std::string_view payload, StarList& list, std::string& reason) {
    FieldCursor cursor(payload);
    int32_t size = 0;
    int32_t count = 0;
    if (!cursor.nextInt(size) || !cursor.nextInt(count)) {
        return refuse(reason, "no map size and star count");
    }
    if (size < kMinMapDimensions || size > kMaxMapDimensions) {
        return refuse(reason, "map size " + toText(size) + " is outside " + range(kMinMapDimensions, kMaxMapDimensions));
    }
    if (count < 0 || count > kMaxStars) {
        return refuse(reason, "star count " + toText(count) + " is outside " + range(0, kMaxStars));
    }
    if (cursor.fieldsLeft() != kFieldsPerStar * static_cast<size_t>(count)) {
        return refuse(reason, "it does not hold four numbers for each of its " + toText(count) + " stars");
    }
    std::vector<Star> stars(static_cast<size_t>(count));
    for (size_t i = 0; i < stars.size(); ++i) {
        if (!readStar(cursor, static_cast<float>(size), i, stars[i], reason)) {
            return false;
        }
    }
    list.mapSize = size;
    list.stars.swap(stars);
    return true;
}

std::string writeStarTaken(int32_t index) { return header(StarTakenMessage) + toText(index); }

bool readStarTaken(std::string_view payload, int32_t& index) {
    int32_t read = -1;
    if (!parseWholeInt(payload, read) || read < 0) {
        return false;
    }
    index = read;
    return true;
}

std::string writeOwners(const std::vector<Star>& stars) {
    std::string text = header(OwnersMessage);
    for (size_t i = 0; i < stars.size(); ++i) {
        text += (i > 0 ? "," : "") + toText(stars[i].owner);
    }
    return text;
}

bool readOwners(std::string_view payload, std::vector<float>& owners) {
    FieldCursor cursor(payload);
    const size_t count = cursor.fieldsLeft();
    if (count > static_cast<size_t>(kMaxStars)) {
        return false;
    }
    std::vector<float> read(count);
    for (float& owner : read) {
        if (!cursor.nextFloat(owner) || !isOwner(owner)) {
            return false;
        }
    }
    owners.swap(read);
    return true;
}

std::string writeScore(const Score& score) {
    return header(ScoreMessage) + toText(score.held) + "," + toText(score.ownEnergy) + "," +
           toText(score.opponentEnergy);
}

bool readScore(std::string_view payload, Score& score) {
    FieldCursor cursor(payload);
    Score read;
    if (cursor.fieldsLeft() != 3 || !cursor.nextInt(read.held) || !cursor.nextInt(read.ownEnergy) ||
        !cursor.nextInt(read.opponentEnergy)) {
        return false;
    }
    score = read;
    return true;
}

std::string writeHello() { return header(HelloMessage) + "starhold," + toText(kProtocolVersion); }

bool readHello(std::string_view payload, int32_t& version) {
    FieldCursor cursor(payload);
    std::string_view name;
    int32_t read = 0;
    if (cursor.fieldsLeft() != 2 || !cursor.next(name) || name != "starhold" || !cursor.nextInt(read) || read < 1) {
        return false;
    }
    version = read;
    return true;
}

std::string writePing(uint32_t clockMs) { return header(PingMessage) + toText(clockMs); }
std::string writePong(uint32_t clockMs) { return header(PongMessage) + toText(clockMs); }
std::string writeFrameStamp(uint32_t clockMs) { return header(FrameStampMessage) + toText(clockMs); }

bool readClock(std::string_view payload, uint32_t& clockMs) { return parseWholeUint(payload, clockMs); }
