// Every message written and read back, the bytes each writer puts on the wire,
// and each reader refusing what is not a whole message of its type.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "wire/messages.h"

namespace {

Star star(float x, float y, float z, float owner) {
    Star s;
    s.x = x;
    s.y = y;
    s.z = z;
    s.owner = owner;
    return s;
}

// The payload of a written message, after its envelope has been read back.
std::string_view payloadOf(const std::string& message, int32_t type) {
    Envelope envelope;
    EXPECT_TRUE(readEnvelope(message, envelope) && envelope.type == type) << message;
    return envelope.payload;
}

}  // namespace

TEST(Wire, EachMessageIsWrittenAsThePeersReadItAndReadsBack) {
    Frame frame;
    frame.matrix[10] = 1.0f;
    frame.setPosition(1, 2.5f, -3);
    const std::string frameText = writeShipFrame(frame);
    EXPECT_EQ(frameText, "0|1,0,0,0,0,1,0,0,0,0,1,0,1,2.5,-3,1");
    Frame read(9, 9, 9);
    ASSERT_TRUE(readShipFrame(payloadOf(frameText, ShipFrameMessage), read));
    for (int i = 0; i < 16; ++i) EXPECT_EQ(read.matrix[i], frame.matrix[i]);

    EXPECT_EQ(writeVelocity({1.5f, -2, 1e-08f}), "1|1.5,-2,1e-08");
    Velocity velocity;
    ASSERT_TRUE(readVelocity(payloadOf(writeVelocity({1.5f, -2, 15}), VelocityMessage), velocity));
    EXPECT_TRUE(velocity.x == 1.5f && velocity.y == -2 && velocity.z == 15);

    EXPECT_EQ(writeStarListRequest(), "2|!");
    const std::string list = writeStarList(20, {star(3, -7, 12, 2), star(0, 5, -20, 1), star(0.5f, 1, 2, 0)});
    EXPECT_EQ(list, "2|20,3,3,-7,12,2,0,5,-20,1,0.5,1,2,0");
    StarList field;
    std::string reason;
    ASSERT_TRUE(readStarList(payloadOf(list, StarListMessage), field, reason));
    EXPECT_TRUE(field.mapSize == 20 && field.stars.size() == 3 && field.stars[0].owner == 2 && field.stars[2].x == 0.5f);
    ASSERT_TRUE(readStarList(payloadOf(writeStarList(10, {}), StarListMessage), field, reason));
    EXPECT_TRUE(field.mapSize == 10 && field.stars.empty());

    EXPECT_EQ(writeStarTaken(17), "3|17");
    int32_t index = -1;
    EXPECT_TRUE(readStarTaken(payloadOf(writeStarTaken(17), StarTakenMessage), index) && index == 17);

    EXPECT_TRUE(writeOwners({star(0, 0, 0, 2), star(0, 0, 0, 1), star(0, 0, 0, 0)}) == "4|2,1,0" && writeOwners({}) == "4|");
    std::vector<float> owners{7};
    EXPECT_TRUE(readOwners(payloadOf("4|2,1,0", OwnersMessage), owners) && owners == (std::vector<float>{2, 1, 0}));
    EXPECT_TRUE(readOwners(payloadOf("4|", OwnersMessage), owners) && owners.empty());

    EXPECT_EQ(writeScore({18, 420, 377}), "5|18,420,377");
    Score score;
    ASSERT_TRUE(readScore(payloadOf(writeScore({INT32_MIN, 0, -5}), ScoreMessage), score));
    EXPECT_TRUE(score.held == INT32_MIN && score.ownEnergy == 0 && score.opponentEnergy == -5);
}

TEST(Wire, ReadersRefuseWhatIsNotAWholeMessageAndKeepWhatTheyHeld) {
    Envelope envelope;
    for (const char* text : {"", "5", "x|1", " 5|1", "5.0|1", "99999999999|1"}) EXPECT_FALSE(readEnvelope(text, envelope)) << text;
    EXPECT_TRUE(readEnvelope("12|x|y", envelope) && envelope.type == 12 && envelope.payload == "x|y");

    Frame frame(1, 2, 3);
    for (const char* text : {"", "1,2", "1,0,0,0,0,1,0,0,0,0,1,0,1,2,3", "1,0,0,0,0,1,0,0,0,0,1,0,1,2,3,1,1",
                             "1,0,0,0,0,1,0,0,0,0,1,0,1,2,nan,1", "1,0,0,0,0,1,0,0,0,0,1,0,1,2,1e99,1",
                             "1,0,0,0,0,1,0,0,0,0,1,0,1,2,3x,1"})
        EXPECT_FALSE(readShipFrame(text, frame)) << text;
    EXPECT_EQ(frame.position[2], 3.0f);

    Velocity velocity{1, 2, 3};
    for (const char* text : {"3", "1,2", "1,2,3,4", "1,inf,0", "1,,2", "x,1,2"}) EXPECT_FALSE(readVelocity(text, velocity)) << text;
    EXPECT_EQ(velocity.z, 3.0f);

    int32_t index = 4;
    for (const char* text : {"", "-1", "1.5", "2x", "1,2", "99999999999"}) EXPECT_FALSE(readStarTaken(text, index)) << text;
    std::vector<float> owners{1};
    for (const char* text : {"1,x", "1,,2", "3", "0.5", "-1", "1,nan"}) EXPECT_FALSE(readOwners(text, owners)) << text;
    EXPECT_FALSE(readOwners(std::string(9000, ','), owners));  // more than any field holds
    Score score{1, 2, 3};
    for (const char* text : {"", "1,2", "1,2,3,4", "garbage,x,y", "1,2,x", "1.5,2,3", "1,2,99999999999"})
        EXPECT_FALSE(readScore(text, score)) << text;
    EXPECT_TRUE(index == 4 && owners.size() == 1 && score.held == 1 && score.opponentEnergy == 3);
}

TEST(Wire, AStarListOutsideTheGamesBoundsIsRefusedWithItsReason) {
    const std::pair<std::string, const char*> refused[] = {
        {"", "no map size and star count"},
        {"20", "no map size and star count"},
        {"x,1,0,0,0,1", "no map size and star count"},
        {"20x,1,0,0,0,1", "no map size and star count"},
        {"9,1,0,0,0,1", "map size 9 is outside 10..1000"},
        {"1001,1,0,0,0,1", "map size 1001 is outside 10..1000"},
        {"20,-1", "star count -1 is outside 0..8192"},
        {"20,8193", "star count 8193 is outside 0..8192"},
        {"20,2,0,0,0,1", "it does not hold four numbers for each of its 2 stars"},
        {"20,1,0,0,0,1,5", "it does not hold four numbers for each of its 1 stars"},
        {"20,1,0,nan,0,1", "star 0 is not four numbers"},
        {"20,1,0,x,0,1", "star 0 is not four numbers"},
        {"20,2,0,0,0,1,0,1e999,0,1", "star 1 is not four numbers"},
        {"20,1,1e30,0,0,0", "star 0 lies outside the arena of 20"},
        {"20,1,0,-20.5,0,1", "star 0 lies outside the arena of 20"},
        {"20,1,0,0,0,1.5", "star 0 has an owner other than 0, 1 or 2"},
        {"20,1000" + std::string(20000000, ','), "it does not hold four numbers for each of its 1000 stars"},
    };
    StarList field;
    field.mapSize = 30;
    for (const auto& [payload, why] : refused) {
        std::string reason;
        EXPECT_FALSE(readStarList(payload, field, reason));
        EXPECT_EQ(reason, std::string("star list refused: ") + why) << payload.substr(0, 40);
    }
    EXPECT_EQ(field.mapSize, 30);
}
