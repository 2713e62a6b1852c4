#include "base/random.h"

#include <ctime>

// glibc's rand() is random() over a 128-byte state; random_r over a state of the
// same size is the same generator, held here instead of in the library.
RandomSource::RandomSource(uint32_t seed) { initstate_r(seed, buffer, sizeof buffer, &state); }

int32_t RandomSource::draw() {
    int32_t value = 0;
    random_r(&state, &value);
    return value;
}

int32_t RandomSource::randomInt(int32_t a, int32_t b) {
    const int64_t lo = a < b ? a : b;
    const int64_t hi = a < b ? b : a;
    // r is a 15-bit draw (the generator reaches 2^31 - 1, so it is cut to 0..32767);
    // the product is taken in 64 bits so that wide ranges cannot overflow.
    const int64_t r = draw() % 32768;
    const int64_t product = (hi - lo + 1) * r;
    return static_cast<int32_t>(lo + static_cast<int64_t>(product / 32768.0));
}

uint32_t seedFromTime() { return static_cast<uint32_t>(std::time(nullptr)); }
