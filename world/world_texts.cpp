// The payloads that keep the two machines' worlds in step. Everything applied
// here comes from the peer: it is checked before it can change anything.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "world/bounds.h"
#include "base/text.h"
#include "world/player_state.h"
#include "world/star_colours.h"

namespace {

constexpr size_t kStarListHeaderFields = 2;
constexpr size_t kFieldsPerStar = 4;

// Walks the comma-separated fields of a text without copying the rest of it,
// so that a long hostile text costs time in proportion to its length only.
class FieldCursor {
public:
    explicit FieldCursor(const std::string& text) : text(text) {}

    bool atEnd() const { return position > text.size(); }

    std::string next() {
        if (atEnd()) {
            return std::string();
        }
        size_t comma = text.find(',', position);
        if (comma == std::string::npos) {
            comma = text.size();
        }
        std::string field = text.substr(position, comma - position);
        position = comma + 1;
        return field;
    }

private:
    const std::string& text;
    size_t position = 0;
};

size_t countFields(const std::string& text) {
    if (text.empty()) {
        return 0;
    }
    size_t commas = 0;
    for (char c : text) {
        if (c == ',') {
            ++commas;
        }
    }
    return commas + 1;
}

bool readFiniteFloat(FieldCursor& cursor, float& value) {
    return parseFloat(cursor.next(), value) && std::isfinite(value);
}

// Reads `count` fields by the field rule (a short text repeats its last field).
bool readFiniteFields(const std::string& text, float* values, size_t count) {
    std::string rest = text;
    for (size_t i = 0; i < count; ++i) {
        if (!parseFloat(takeField(rest), values[i]) || !std::isfinite(values[i])) {
            return false;
        }
    }
    return true;
}

// Takes an owner as the server wrote it, mirrored: its stars are the opponent's
// here and the ones it gave away are ours. False for any other value.
bool takeMirroredOwner(Star& star, float owner) {
    if (owner == 1.0f) {
        markAsOpponents(star);
    } else if (owner == 2.0f) {
        markAsOwn(star);
    } else {
        return false;
    }
    return true;
}

// A star as the client sees it: the server's owners swapped, free ones given a colour.
Star mirroredStar(float x, float y, float z, float owner) {
    Star star;
    star.x = x;
    star.y = y;
    star.z = z;
    if (!takeMirroredOwner(star, owner)) {
        star.owner = owner;
        giveWarmColour(star, 100);  // a wider range than a new field's
    }
    return star;
}

}  // namespace

std::string PlayerState::frameText() const { return frameToText(playerShip.frame); }

std::string PlayerState::velocityText() const {
    return toText(playerShip.vx) + "," + toText(playerShip.vy) + "," + toText(playerShip.vz);
}

std::string PlayerState::starListText() const {
    std::string text = toText(arenaSize) + "," + toText(static_cast<int32_t>(starField.size()));
    for (const Star& star : starField) {
        text += "," + toText(star.x) + "," + toText(star.y) + "," + toText(star.z) + "," + toText(star.owner);
    }
    return text;
}

std::string PlayerState::ownersText() const {
    std::string text;
    for (const Star& star : starField) {
        if (!text.empty()) {
            text += ",";
        }
        text += toText(star.owner);
    }
    return text;
}

std::string PlayerState::scoreText() const {
    return toText(ownStarCount) + "," + toText(ownEnergyLeft) + "," + toText(opponentEnergyLeft);
}

// A frame or velocity whose fields are not all finite numbers is ignored whole,
// so nothing non-finite ever reaches the ship.
void PlayerState::applyFrameText(const std::string& text) {
    Frame received;
    if (!readFiniteFields(text, received.matrix, 16)) {
        return;
    }
    playerShip.frame = received;
}

void PlayerState::applyVelocityText(const std::string& text) {
    float velocity[3];
    if (!readFiniteFields(text, velocity, 3)) {
        return;
    }
    setVelocity(velocity[0], velocity[1], velocity[2]);
}

namespace {

bool refuse(std::string* reason, const std::string& why) {
    if (reason) {
        *reason = "star list refused: " + why;
    }
    return false;
}

std::string range(int32_t low, int32_t high) { return toText(low) + ".." + toText(high); }

}  // namespace

// Accepts only a whole list within the game's bounds: an arena size and star
// count the configuration would allow, and four numbers for each star with the
// star inside the arena.
bool PlayerState::applyStarListText(const std::string& text, std::string* reason) {
    FieldCursor cursor(text);
    int32_t size = 0;
    int32_t count = 0;
    if (!parseInt(cursor.next(), size) || !parseInt(cursor.next(), count)) {
        return refuse(reason, "no map size and star count");
    }
    if (size < kMinMapDimensions || size > kMaxMapDimensions) {
        return refuse(reason, "map size " + toText(size) + " is outside " + range(kMinMapDimensions, kMaxMapDimensions));
    }
    if (count < 0 || count > kMaxStars) {
        return refuse(reason, "star count " + toText(count) + " is outside " + range(0, kMaxStars));
    }
    if (countFields(text) != kStarListHeaderFields + kFieldsPerStar * static_cast<size_t>(count)) {
        return refuse(reason, "it does not hold four numbers for each of its " + toText(count) + " stars");
    }
    std::vector<float> numbers(kFieldsPerStar * static_cast<size_t>(count));
    const float limit = static_cast<float>(size);
    for (size_t i = 0; i < numbers.size(); ++i) {
        if (!readFiniteFloat(cursor, numbers[i])) {
            return refuse(reason, "star " + toText(static_cast<int32_t>(i / kFieldsPerStar)) + " is not four numbers");
        }
        if (i % kFieldsPerStar != 3 && std::fabs(numbers[i]) > limit) {
            return refuse(reason, "star " + toText(static_cast<int32_t>(i / kFieldsPerStar)) +
                                      " lies outside the arena of " + toText(size));
        }
    }
    std::vector<Star> field;
    field.reserve(static_cast<size_t>(count));
    int32_t held = 0;
    for (size_t i = 0; i < numbers.size(); i += kFieldsPerStar) {
        field.push_back(mirroredStar(numbers[i], numbers[i + 1], numbers[i + 2], numbers[i + 3]));
        if (field.back().owner == 1.0f) {
            ++held;
        }
    }
    arenaSize = size;
    starTotal = count;
    starField.swap(field);
    ownStarCount = held;
    return true;
}

// Applies the server's owners index by index to whatever field this side holds;
// a text with fewer owners than stars leaves the rest alone.
void PlayerState::applyOwnersText(const std::string& text) {
    const size_t fields = countFields(text);
    const size_t limit = std::min({static_cast<size_t>(std::max(starTotal, 0)), starField.size(), fields});
    FieldCursor cursor(text);
    for (size_t i = 0; i < limit; ++i) {
        const float owner = toFloat(cursor.next());
        if (!std::isfinite(owner)) {
            continue;
        }
        Star& star = starField[i];
        if (!takeMirroredOwner(star, owner)) {
            star.owner = owner;
        }
    }
}

// The server's count may run below zero after missed captures, but never
// beyond the field either way; anything further is taken as the nearest end.
void PlayerState::applyScoreText(const std::string& text) {
    std::string rest = text;
    const int32_t serverHeld = std::clamp(toInt(takeField(rest)), -starTotal, starTotal);
    const int32_t serverEnergy = toInt(takeField(rest));
    const int32_t clientEnergy = toInt(takeField(rest));
    ownStarCount = starTotal - serverHeld;
    opponentEnergyLeft = std::clamp(serverEnergy, 0, kStartEnergy);
    ownEnergyLeft = std::clamp(clientEnergy, 0, kStartEnergy);
    if (!isMatchOver() && (ownEnergyLeft == 0 || opponentEnergyLeft == 0)) {
        endMatch();
    }
}
