#pragma once
// A network link between the two sides of a match in one process, as friends
// meet across the internet: each direction carries its bytes late (a delay and
// its jitter), now and then holds them up as a lost segment holds a TCP stream
// up, and carries nothing through an outage. It runs on the match's clock and
// draws from a seed of its own, so a run replays exactly. The guest connects to
// the link's port on 127.0.0.1 and the link connects to the host: nothing
// leaves the machine.
//
// The link decides nothing by itself: its owner cuts what each side wrote into
// segments at a moment it chooses, and releases the segments due by a moment.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "base/random.h"

struct Outage {
    uint32_t startMs = 0;  // after the link opened
    uint32_t lengthMs = 0;
};

struct LinkConditions {
    uint32_t delayMs = 0;      // each way
    uint32_t jitterMs = 0;     // each segment's delay within delay +- jitter, the order kept
    double heldUpShare = 0.0;  // segments held up as a lost segment holds TCP up
    uint32_t holdUpMs = 200;   // how long a held-up segment, and all behind it, waits
    std::vector<Outage> outages;
    uint32_t seed = 1;
};

class SimulatedLink {
public:
    enum Way { Up, Down };  // up: from the guest to the host

    SimulatedLink(const LinkConditions& conditions, uint32_t now);
    ~SimulatedLink();
    SimulatedLink(const SimulatedLink&) = delete;
    SimulatedLink& operator=(const SimulatedLink&) = delete;

    // Listens on a free loopback port for the guest; the host is at `hostPort`.
    bool open(int32_t hostPort);
    int32_t port() const { return listenPort; }

    // Moves bytes between the sockets and the link: takes the guest's connection
    // (and makes one to the host for it), reads what each side wrote, writes
    // what was released. Never waits.
    void pump();
    // What each side wrote since the last cut becomes one segment each way, sent `now`.
    void cut(uint32_t now);
    // Every segment due by `now` goes out, in order.
    void release(uint32_t now);

    uint64_t taken(Way way) const { return ways[way].taken; }  // bytes read from the sender
    uint64_t given(Way way) const { return ways[way].given; }  // bytes written to the receiver
    bool written() const;  // everything released has been written
    bool carrying() const { return guest >= 0; }

private:
    struct Segment {
        std::string bytes;
        uint32_t due = 0;
        bool closes = false;  // the sender closed after these bytes
    };
    struct Direction {
        explicit Direction(uint32_t seed) : chance(seed) {}
        int* from = nullptr;
        int* to = nullptr;
        std::string fresh;  // read since the last cut
        bool senderClosed = false;
        bool closeCut = false;
        std::deque<Segment> inFlight;
        std::string outgoing;  // released, not yet written
        bool closeReleased = false;
        uint64_t taken = 0;
        uint64_t given = 0;
        uint32_t lastDue = 0;
        RandomSource chance;
    };

    void acceptGuest();
    void takeFromSender(Direction& way);
    void giveToReceiver(Direction& way);
    uint32_t dueTime(Direction& way, uint32_t now);
    void closePair();

    LinkConditions conditions;
    uint32_t openedAt;
    int listener = -1;
    int32_t listenPort = -1;
    int32_t hostPort = -1;
    int guest = -1;
    int host = -1;
    Direction ways[2];
};
