#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "net/fe.h"
#include "tests/net/net_test_support.h"

namespace {

SDL_Event userEvent(int code) {
    SDL_Event event;
    std::memset(&event, 0, sizeof(event));
    event.type = SDL_USEREVENT;
    event.user.code = code;
    return event;
}

class FastEventQueue : public ::testing::Test, public EventQueueTest {
protected:
    FastEventQueue() { EXPECT_EQ(feStart(), 0); }
    ~FastEventQueue() override { feStop(); }
};

}  // namespace

TEST_F(FastEventQueue, PassesEventsThroughInOrder) {
    EXPECT_EQ(feLastError(), nullptr);
    EXPECT_NE(SDL_WasInit(SDL_INIT_TIMER), 0u);
    SDL_Event event;
    EXPECT_EQ(fePoll(&event), 0);
    for (int code = 1; code <= 3; ++code) {
        SDL_Event posted = userEvent(code);
        EXPECT_EQ(fePush(&posted), 1);
    }
    fePump();
    for (int code = 1; code <= 3; ++code) {
        ASSERT_EQ(fePoll(&event), 1);
        EXPECT_EQ(event.user.code, code);
    }
    EXPECT_EQ(fePoll(&event), 0);
}

TEST_F(FastEventQueue, PushIntoAFullQueueWaitsForRoom) {
    const int capacity = fillEventQueue();
    ASSERT_GT(capacity, 100);
    std::atomic<bool> pushed{false};
    std::thread poster([&] {
        SDL_Event event = userEvent(7);
        fePush(&event);
        pushed = true;
    });
    SDL_Delay(50);
    EXPECT_FALSE(pushed.load());

    // Plain SDL_PollEvent signals nobody; the tick lets the poster retry.
    SDL_Event event;
    const Uint32 madeRoom = SDL_GetTicks();
    ASSERT_EQ(SDL_PollEvent(&event), 1);
    EXPECT_TRUE(waitUntil([&] { return pushed.load(); }, 2000));
    const Uint32 resumedAfter = SDL_GetTicks() - madeRoom;
    poster.join();
    RecordProperty("resumed_after_ms", static_cast<int>(resumedAfter));

    int left = 0;
    int lastCode = -1;
    while (SDL_PollEvent(&event) == 1) {
        ++left;
        lastCode = event.user.code;
    }
    EXPECT_EQ(left, capacity);
    EXPECT_EQ(lastCode, 7);
}

TEST_F(FastEventQueue, WaitReturnsAnEventPostedLater) {
    std::thread poster([] {
        SDL_Delay(20);
        SDL_Event event = userEvent(5);
        fePush(&event);
    });
    SDL_Event event;
    EXPECT_GT(feWait(&event), 0);
    EXPECT_EQ(event.user.code, 5);
    poster.join();
}
