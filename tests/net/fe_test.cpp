#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "net/fe.h"
#include "tests/net/net_test_support.h"

namespace {

class FastEventQueue : public ::testing::Test, public EventQueueTest {
protected:
    FastEventQueue() { EXPECT_EQ(feStart(), 0); }
    ~FastEventQueue() override { feStop(); }

    static SDL_Event userEvent(int code) {
        SDL_Event event;
        std::memset(&event, 0, sizeof(event));
        event.type = SDL_USEREVENT;
        event.user.code = code;
        return event;
    }
};

}  // namespace

TEST_F(FastEventQueue, PushIntoAFullQueueWaitsAndResumesOnPlainPolling) {
    EXPECT_EQ(feLastError(), nullptr);
    SDL_Event event;
    EXPECT_EQ(fePoll(&event), 0);
    const int capacity = fillEventQueue();
    ASSERT_GT(capacity, 100);
    std::atomic<bool> pushed{false};
    std::thread poster([&] {
        SDL_Event last = userEvent(7);
        fePush(&last);
        pushed = true;
    });
    SDL_Delay(50);
    EXPECT_FALSE(pushed.load());

    // Plain SDL_PollEvent signals nobody: the tick lets the poster retry.
    const Uint32 roomMade = SDL_GetTicks();
    ASSERT_EQ(SDL_PollEvent(&event), 1);
    EXPECT_TRUE(waitUntil([&] { return pushed.load(); }, 2000));
    RecordProperty("resumed_after_ms", static_cast<int>(SDL_GetTicks() - roomMade));
    poster.join();
    int left = 0;
    while (fePoll(&event) == 1) {
        ++left;
    }
    EXPECT_EQ(left, capacity);
    EXPECT_EQ(event.user.code, 7);

    std::thread waiter([] {
        SDL_Event late = userEvent(5);
        fePush(&late);
    });
    EXPECT_GT(feWait(&event), 0);
    EXPECT_EQ(event.user.code, 5);
    waiter.join();
}
