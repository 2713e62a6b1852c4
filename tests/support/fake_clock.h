#pragma once
// Drives every Timer from a tick count the test sets; restores SDL's clock when destroyed.

#include <atomic>
#include <cstdint>

#include "base/timer.h"

class FakeClock {
public:
    explicit FakeClock(uint32_t start = 1000) {
        ticks() = start;
        setTickSource([] { return ticks().load(); });
    }
    ~FakeClock() { setTickSource(nullptr); }
    FakeClock(const FakeClock&) = delete;
    FakeClock& operator=(const FakeClock&) = delete;

    void advance(uint32_t ms) { ticks() += ms; }
    void set(uint32_t value) { ticks() = value; }

private:
    static std::atomic<uint32_t>& ticks() {  // the network thread reads it too
        static std::atomic<uint32_t> now{0};
        return now;
    }
};
