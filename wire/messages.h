#pragma once
// The messages two peers exchange: a type number, "|", then the payload's
// comma-separated fields, numbers written as default-formatted streams write
// them. Each type has its one writer and one reader here. A reader takes the
// payload whole or not at all: a field missing, left over, not a number or out
// of its range refuses the message, and the caller ignores it.
//
//   0 ship frame   the sender's ship: 16 matrix elements, column-major
//   1 velocity     the sender's ship: vx, vy, vz
//   2 star list    from a guest "!", a request; from the host its field:
//                  map size, star count, then x, y, z, owner for each star
//   3 star taken   the index of the star the sender just took
//   4 owners       from the host: the owner of each star as it sees them
//   5 score        from the host: the stars it holds, its energy, the guest's
//   6 hello        "starhold" and the protocol version, when two sides meet,
//                  and from a guest each time it takes the host's field
//   7 ping         the sender's clock in milliseconds, to be sent straight back
//   8 pong         a ping's clock, sent straight back
//   9 frame stamp  the sender's clock when it wrote the ship frame that follows
//
// A side ignores types it does not know: a game from before hello, ping and
// pong plays on with one that sends them.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "render/frame.h"
#include "world/player_state.h"

enum MessageType : int32_t {
    ShipFrameMessage = 0,
    VelocityMessage = 1,
    StarListMessage = 2,
    StarTakenMessage = 3,
    OwnersMessage = 4,
    ScoreMessage = 5,
    HelloMessage = 6,
    PingMessage = 7,
    PongMessage = 8,
    FrameStampMessage = 9,
};

// The protocol this game speaks; 1 was spoken before sides said hello.
constexpr int32_t kProtocolVersion = 2;

// A received text cut at its first bar. False when the text before it is not a
// type number, or there is no bar.
struct Envelope {
    int32_t type = -1;
    std::string_view payload;
};
bool readEnvelope(std::string_view text, Envelope& envelope);

// The host's field as the star list carries it: positions and the host's owners.
struct StarList {
    int32_t mapSize = 0;
    std::vector<Star> stars;
};

std::string writeShipFrame(const Frame& frame);
bool readShipFrame(std::string_view payload, Frame& frame);

std::string writeVelocity(const Velocity& velocity);
bool readVelocity(std::string_view payload, Velocity& velocity);

std::string writeStarListRequest();
std::string writeStarList(int32_t mapSize, const std::vector<Star>& stars);
// A field within the game's bounds; false with `reason` ("star list refused: ...")
// saying why in a few words.
bool readStarList(std::string_view payload, StarList& list, std::string& reason);

std::string writeStarTaken(int32_t index);
bool readStarTaken(std::string_view payload, int32_t& index);

std::string writeOwners(const std::vector<Star>& stars);
bool readOwners(std::string_view payload, std::vector<float>& owners);

std::string writeScore(const Score& score);
bool readScore(std::string_view payload, Score& score);

std::string writeHello();
bool readHello(std::string_view payload, int32_t& version);  // a version of 1 or more

std::string writePing(uint32_t clockMs);
std::string writePong(uint32_t clockMs);
std::string writeFrameStamp(uint32_t clockMs);
bool readClock(std::string_view payload, uint32_t& clockMs);  // a ping's, a pong's or a frame stamp's
