#pragma once
// Waiting for a state in bounded time, and a free port to open.

#include <SDL.h>
#include <unistd.h>

#include <functional>

inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    for (const Uint32 start = SDL_GetTicks(); !done(); SDL_Delay(1))
        if (SDL_GetTicks() - start > static_cast<Uint32>(timeoutMs)) return false;
    return true;
}

// Tries `open` on ports drawn from the process id, so parallel runs do not
// collide, until it succeeds; returns that port.
inline int onFreePort(const std::function<bool(int)>& open) {
    for (int attempt = 0; attempt < 400; ++attempt) {
        const int port = 20000 + (static_cast<int>(getpid() % 2000) * 20 + attempt * 7) % 40000;
        if (open(port)) return port;
    }
    return -1;
}
