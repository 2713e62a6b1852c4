#include "base/timer.h"

int32_t Timer::start() { return elapsed(); }

int32_t Timer::elapsed() {
    const uint32_t now = clock->now();
    if (!started) {
        started = true;
        mark = now;
        return 0;
    }
    return static_cast<int32_t>(now - mark);
}

int32_t Timer::restart() {
    const uint32_t now = clock->now();
    const int32_t passed = started ? static_cast<int32_t>(now - mark) : 0;
    started = true;
    mark = now;
    return passed;
}
