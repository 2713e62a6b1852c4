#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "base/random.h"
#include "base/timer.h"
#include "tests/support/fake_clock.h"

TEST(Timer, SurvivesTheTickCountWrapping) {
    FakeClock clock(0xFFFFFFF0u);
    Timer timer;
    timer.start();
    clock.advance(0x20);
    EXPECT_EQ(timer.elapsed(), 0x20);
    clock.set(0x7FFFFFF0u);  // and crossing the signed 32-bit range
    timer.restart();
    clock.advance(0x20);
    EXPECT_EQ(timer.restart(), 0x20);
}

TEST(RandomInt, CoversTheClosedRangeInEitherOrderWithoutOverflow) {
    std::srand(1);
    std::set<int32_t> seen;
    for (int i = 0; i < 5000; ++i) {
        const int32_t up = randomInt(30, 100), down = randomInt(100, 30);
        ASSERT_TRUE(up >= 30 && up <= 100 && down >= 30 && down <= 100);
        seen.insert(up);
        randomInt(INT32_MIN, INT32_MAX);  // UBSan watches the arithmetic
    }
    EXPECT_TRUE(seen.size() == 71 && randomInt(5, 5) == 5) << seen.size();
}
