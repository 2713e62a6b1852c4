#include "base/random.h"

#include <cstdlib>
#include <ctime>

void randomSeed() { std::srand(static_cast<unsigned>(std::time(nullptr))); }

int32_t randomInt(int32_t a, int32_t b) {
    const int64_t lo = a < b ? a : b;
    const int64_t hi = a < b ? b : a;
    // r is a 15-bit draw (glibc's rand() reaches 2^31 - 1, so it is cut to 0..32767);
    // the product is taken in 64 bits so that wide ranges cannot overflow.
    const int64_t r = std::rand() % 32768;
    const int64_t product = (hi - lo + 1) * r;
    return static_cast<int32_t>(lo + static_cast<int64_t>(product / 32768.0));
}
