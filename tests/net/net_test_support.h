#pragma once
// Networking test helpers: SDL's event queue without a window, NET2 events with
// timeouts, free loopback ports, and a raw POSIX peer that sees the exact bytes.

#include <SDL.h>

#include <functional>
#include <string>

// SDL video with the dummy driver, for the event queue, for one test.
struct EventQueueTest {
    EventQueueTest();
    ~EventQueueTest();
};

bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);
// Drops SDL events until a NET2 event of `kind` arrives; false on timeout.
bool awaitNet2Event(SDL_Event& event, int kind, int timeoutMs = 5000);
bool net2EventWithin(int kind, int timeoutMs);
// Ports to try, from a start drawn from the process id so parallel runs do not collide.
int candidatePort(int attempt);
int fillEventQueue();  // with harmless user events; returns how many fitted

class RawPeer {
public:
    ~RawPeer();
    bool connectTo(int port);
    bool sendAll(const std::string& bytes);
    bool receive(size_t count, std::string& bytes, int timeoutMs = 5000);
    bool seesEndOfStream();
    void close(bool reset = false);  // reset: the other side gets a connection reset

private:
    int stream = -1;
};
