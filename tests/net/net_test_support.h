#pragma once
// Helpers for the networking tests: SDL's event queue without a window, the
// services started and stopped around each test, NET2 events with timeouts,
// and a raw POSIX socket peer that sees the exact bytes on the wire.

#include <SDL.h>

#include <cstdint>
#include <functional>
#include <string>

// SDL video (dummy driver, for the event queue) for the whole test.
class EventQueueTest {
public:
    EventQueueTest();
    ~EventQueueTest();
};

// SDL_net, FE and NET2 running for the whole test.
class NetServices : public EventQueueTest {
public:
    NetServices();
    ~NetServices();
};

// Polls `done` until it holds or `timeoutMs` passes.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Takes SDL events until a NET2 event of `kind` (any kind when -1) arrives;
// other events are dropped. False on timeout.
bool awaitNet2Event(SDL_Event& event, int kind = -1, int timeoutMs = 5000);

// True when a NET2 event of `kind` arrives within `ms` (for checks that none does).
bool net2EventWithin(int kind, int ms);

// Ports to try listening on, starting at a point drawn from the process id so
// parallel test runs do not collide.
int candidatePort(int attempt);
// Opens a NET2 listener on the first free candidate port.
int listenOnFreePort(int& port);

// Fills SDL's queue with harmless user events; returns how many went in.
int fillEventQueue();

class RawPeer {
public:
    RawPeer() = default;
    ~RawPeer();
    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;

    bool connectTo(int port);
    int listenOnAnyPort();  // returns the port, -1 on failure
    bool acceptOne(int timeoutMs = 5000);

    bool sendAll(const std::string& bytes);
    // Receives exactly `count` bytes or fails after the timeout.
    bool receive(size_t count, std::string& bytes, int timeoutMs = 5000);
    // True when the other side closed and nothing more is left to read.
    bool seesEndOfStream(int timeoutMs = 5000);
    void close();
    void resetConnection();  // abortive close: the other side gets a reset

private:
    int listener = -1;
    int stream = -1;
};
