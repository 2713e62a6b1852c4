#include "tests/support/fake_clock.h"

#include <atomic>

#include "app/timer.h"

namespace {

std::atomic<uint32_t> fakeTicks{0};  // the network thread reads it too

uint32_t readFakeTicks() { return fakeTicks; }

}  // namespace

FakeClock::FakeClock(uint32_t start) {
    fakeTicks = start;
    setTickSource(readFakeTicks);
}

FakeClock::~FakeClock() { setTickSource(nullptr); }

void FakeClock::advance(uint32_t ms) { fakeTicks += ms; }

void FakeClock::set(uint32_t ticks) { fakeTicks = ticks; }
