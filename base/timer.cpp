#include "base/timer.h"

#include <SDL.h>

#include <atomic>

namespace {

uint32_t sdlTicks() { return SDL_GetTicks(); }

std::atomic<TickSource> tickSource{sdlTicks};  // read by the network thread too

}  // namespace

void setTickSource(TickSource source) { tickSource = source ? source : sdlTicks; }

uint32_t currentTicks() { return tickSource.load()(); }

int32_t Timer::start() { return elapsed(); }

int32_t Timer::elapsed() {
    const uint32_t now = currentTicks();
    if (!started) {
        started = true;
        mark = now;
        return 0;
    }
    return static_cast<int32_t>(now - mark);
}

int32_t Timer::restart() {
    const uint32_t now = currentTicks();
    const int32_t passed = started ? static_cast<int32_t>(now - mark) : 0;
    started = true;
    mark = now;
    return passed;
}
