// The computer's pilot flying the real world headless, in the game's loop on a
// clock the test moves: every 10 ms the states update, and once more than 10 ms
// have passed the pilot's keys make one movement step, as the game applies held keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "base/text.h"
#include "base/timer.h"
#include "bot/pilot.h"
#include "render/frame.h"
#include "wire/messages.h"
#include "world/player_state.h"

namespace {

constexpr BotLevel kLevels[] = {BotLevel::Easy, BotLevel::Normal, BotLevel::Hard};
constexpr float kSensitivity = 5.0f;  // the game's default
constexpr float kArena = 20.0f;
constexpr uint32_t kPerStarLimitMs = 6000;  // turning round from full speed takes 6 s

// The pilot's ship and the other one, on a clock of their own; fields drawn from `seed`.
struct Sides {
    explicit Sides(unsigned seed = 1) : random(seed) {}
    ManualClock clock{1000};
    RandomSource random;
    PlayerState own{true, clock, random};
    PlayerState opponent{false, clock, random};
};

class FlightLoop {
public:
    FlightLoop(Sides& sides, BotLevel level, unsigned seed, bool versus = false)
        : sides(sides), own(sides.own), opponent(sides.opponent), pilot(level, seed), versus(versus) {}

    std::function<void()> afterUpdate;
    bool checkUntouched = false;  // fails the test when a decision changes what the pilot sees

    void runUntil(const std::function<bool()>& done, uint32_t limitMs) {
        Timer updateTimer(sides.clock), moveTimer(sides.clock);
        updateTimer.start();
        moveTimer.start();
        WorldEvents events;
        for (uint32_t passed = 0; passed < limitMs && !done(); ++passed) {
            sides.clock.advance(1);
            if (updateTimer.elapsed() >= 10) {
                updateTimer.restart();
                own.update(MatchRole::Alone, events);
                if (versus) {
                    opponent.applyVelocity(opponent.velocity());  // as its side keeps telling
                    opponent.update(MatchRole::Alone, events);
                }
                if (afterUpdate) afterUpdate();
            }
            if (moveTimer.elapsed() > 10) step(moveTimer.restart());
        }
    }

private:
    void step(int32_t ms) {
        const std::string before = checkUntouched ? seen() : std::string();
        const Steering keys = pilot.decide(own, opponent, versus, sides.clock.now());
        EXPECT_TRUE(!checkUntouched || seen() == before) << "the pilot changed the state";
        steerShip(own, keys, kSensitivity, ms);
    }
    std::string seen() const {
        return writeShipFrame(own.ship().frame) + writeVelocity(own.velocity()) +
               writeStarList(own.mapSize(), own.stars()) + writeScore(own.score()) +
               writeShipFrame(opponent.ship().frame) + writeVelocity(opponent.velocity());
    }

    Sides& sides;
    PlayerState& own;
    PlayerState& opponent;
    Pilot pilot;
    bool versus;
};

void placeShip(PlayerState& state, float x, float y, float z, Velocity velocity = {}) {
    state.applyFrame(Frame(x, y, z));
    state.applyVelocity(velocity);
}

// A field written as a host's star list ("size,count,x,y,z,owner,...") takes its place.
void setField(PlayerState& state, const std::string& list) {
    StarList field;
    std::string reason;
    ASSERT_TRUE(readStarList(list, field, reason)) << reason;
    state.applyField(field.mapSize, field.stars);
}

// Each star's owner as a digit.
std::string owners(const PlayerState& state) {
    std::string digits;
    for (const Star& s : state.stars()) digits += static_cast<char>('0' + static_cast<int>(s.owner));
    return digits;
}

// A solo time trial on the pilot's field: the milliseconds it took, -1 when not cleared.
int32_t clearField(BotLevel level, unsigned seed, Sides& sides, uint32_t limitMs) {
    PlayerState& own = sides.own;
    own.restartMatch();
    FlightLoop(sides, level, seed).runUntil([&] { return own.isMatchOver(); }, limitMs);
    return own.isMatchOver() ? own.matchTime() : -1;
}

// A default field (30 to 50 stars in an arena of 20), the same for the same seed, cleared alone.
int32_t clearDefaultField(BotLevel level, unsigned seed, uint32_t& limitMs) {
    Sides sides(seed);
    sides.own.newMatch();
    limitMs = kPerStarLimitMs * static_cast<uint32_t>(sides.own.starCount());
    return clearField(level, seed, sides, limitMs);
}

}  // namespace

TEST(BotLevelTest, ReadsAndWritesTheFourNamesOnlyAndBMovesUpRoundAgain) {
    const std::pair<const char*, BotLevel> names[] = {
        {"beginner", BotLevel::Beginner}, {"easy", BotLevel::Easy}, {"normal", BotLevel::Normal},
        {"hard", BotLevel::Hard}};
    for (const auto& [name, level] : names) {
        BotLevel read = level == BotLevel::Easy ? BotLevel::Hard : BotLevel::Easy;
        EXPECT_TRUE(parseBotLevel(name, read) && read == level && botLevelName(level) == std::string(name)) << name;
    }
    BotLevel level = BotLevel::Beginner;
    std::string order;
    for (int i = 0; i < 5; ++i, level = nextBotLevel(level)) order += botLevelName(level) + std::string(" ");
    EXPECT_EQ(order, "beginner easy normal hard beginner ");
    for (const char* bad : {"", "Hard", "medium", "normal "}) {
        BotLevel read = BotLevel::Normal;
        EXPECT_FALSE(parseBotLevel(bad, read) || read != BotLevel::Normal) << bad;
    }
}

// The pilot only chooses keys: whatever it decides, it changes nothing it sees.
// The beginner too plays by these rules, only worse.
TEST(PilotTest, FliesOnlyByTheMovementKeys) {
    for (BotLevel level : kBotLevels) {
        Sides sides(7);
        PlayerState& own = sides.own;
        own.newMatch();
        placeShip(sides.opponent, 5, 5, 5, {3, 0, -2});
        FlightLoop loop(sides, level, 7, true);
        loop.checkUntouched = true;
        loop.runUntil([] { return false; }, 20000);
        EXPECT_GT(own.ownStars(), 0) << botLevelName(level);
    }
}

// From 14 on an axis, a star at -17 is 9 away through the face and 31 the other way.
TEST(PilotTest, TakesTheShortWayThroughAFace) {
    for (BotLevel level : kLevels) {
        for (int axis = 0; axis < 3; ++axis) {
            for (float side : {1.0f, -1.0f}) {
                Sides sides;
                PlayerState& own = sides.own;
                float ship[3] = {0, 0, 0}, star[3] = {0, 0, 0};
                ship[axis] = 14 * side;
                star[axis] = -17 * side;
                ASSERT_NO_FATAL_FAILURE(setField(own, "20,1," + toText(star[0]) + "," + toText(star[1]) + "," +
                                                          toText(star[2]) + ",0"));
                placeShip(own, ship[0], ship[1], ship[2]);
                FlightLoop loop(sides, level, 1);
                // Until it first passes a face it flies outwards, never inwards.
                float last = 14, farthestIn = 14;
                bool wrapped = false;
                loop.afterUpdate = [&] {
                    const float out = own.ship().frame.position[axis] * side;
                    wrapped = wrapped || std::fabs(out - last) > kArena;
                    if (!wrapped) farthestIn = std::min(farthestIn, out);
                    last = out;
                };
                loop.runUntil([&] { return own.ownStars() == 1; }, 10000);
                const std::string name = botLevelName(level) + (" axis " + toText(axis)) + " side " + toText(side);
                EXPECT_TRUE(own.ownStars() == 1 && wrapped && farthestIn > 13.0f) << name << ", in to " << farthestIn;
            }
        }
    }
}

// A star on a face is near only from its own side: just past the face the
// ship is a whole arena away from it. Corners and edges are the hardest.
TEST(PilotTest, TakesStarsOnFacesEdgesAndCorners) {
    const std::string field = "20,10,20,20,20,0,-20,-20,-20,0,20,-5,-20,0,-20,7,20,0,3,20,-20,0,"
                              "20,0,0,0,0,-20,0,0,0,0,20,0,-20,20,-20,0,20,-20,20,0";
    for (BotLevel level : kLevels) {
        Sides sides;
        ASSERT_NO_FATAL_FAILURE(setField(sides.own, field));
        EXPECT_GE(clearField(level, 3, sides, 10 * kPerStarLimitMs), 0) << botLevelName(level) << ": " << sides.own.ownStars();
    }
}

TEST(PilotTest, ClearsDefaultFieldsFasterTheHarderTheLevel) {
    constexpr unsigned kSeeds = 20;
    double meanSeconds[3] = {0, 0, 0};
    for (int l = 0; l < 3; ++l) {
        const char* name = botLevelName(kLevels[l]);
        for (unsigned seed = 1; seed <= kSeeds; ++seed) {
            uint32_t limit = 0;
            const int32_t ms = clearDefaultField(kLevels[l], seed, limit);
            EXPECT_GE(ms, 0) << name << " seed " << seed;
            meanSeconds[l] += (ms < 0 ? limit : ms) / 1000.0 / kSeeds;
            if (seed > 1) continue;
            EXPECT_EQ(clearDefaultField(kLevels[l], seed, limit), ms) << name;  // the same seed flies the same way
        }
        std::printf("%s clears a default field in %.1f s on average\n", name, meanSeconds[l]);
    }
    EXPECT_TRUE(meanSeconds[2] < meanSeconds[1] && meanSeconds[1] < meanSeconds[0]);
}

// In a match its own stars are no target, the opponent's count twice a free
// one, a free star the opponent reaches first is left, and of two equal stars
// of the opponent's it takes the one away from the opponent's path first.
TEST(PilotTest, InAMatchGoesForTheStarsThatMoveTheRace) {
    struct Case {
        const char* what;
        const char* field;  // as the host sends it: 1 the host's, 2 ours, 0 free
        float opponent[3];
        Velocity opponentVelocity;
        bool versus, easyToo;
        int first;
    } const cases[] = {
        {"the opponent's star before a nearer free one", "20,3,0,0,-3,2,6,0,0,0,-8,0,0,1", {0, 15, 15}, {0, 0, 0},
         true, true, 2},
        {"a free star the opponent reaches first is left", "20,2,5,0,0,0,0,0,-7,0", {8, 0, 3}, {-3, 0, 0}, true, false,
         1},
        {"alone, the nearer free star first", "20,2,5,0,0,0,0,0,-7,0", {8, 0, 3}, {-3, 0, 0}, false, true, 0},
        {"the opponent's star away from its path", "20,2,6,0,0,1,-6,0,0,1", {6, 0, 3}, {0, 0, 5}, true, false, 1},
    };
    for (const Case& c : cases) {
        for (BotLevel level : kLevels) {
            if (level == BotLevel::Easy && !c.easyToo) continue;
            Sides sides;
            PlayerState& own = sides.own;
            ASSERT_NO_FATAL_FAILURE(setField(own, c.field));
            placeShip(sides.opponent, c.opponent[0], c.opponent[1], c.opponent[2], c.opponentVelocity);
            FlightLoop loop(sides, level, 5, c.versus);
            const std::string ownersAtStart = owners(own);
            int first = -1;
            loop.afterUpdate = [&] {
                const std::string now = owners(own);
                for (size_t i = 0; i < now.size() && first < 0; ++i)
                    if (now[i] == '1' && ownersAtStart[i] != '1') first = static_cast<int>(i);
            };
            loop.runUntil([&] { return first >= 0; }, 10000);
            EXPECT_EQ(first, c.first) << botLevelName(level) << ": " << c.what;
        }
    }
}
