#pragma once
// Drives every Timer from a tick count the test sets; restores SDL's clock when destroyed.

#include <cstdint>

class FakeClock {
public:
    explicit FakeClock(uint32_t start = 1000);
    ~FakeClock();
    FakeClock(const FakeClock&) = delete;
    FakeClock& operator=(const FakeClock&) = delete;

    void advance(uint32_t ms);
    void set(uint32_t ticks);
};
