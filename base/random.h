#pragma once
// The random source of star counts, places and colours.

#include <cstdint>

// Seeds the generator with the calendar time in seconds.
void randomSeed();

// A whole number in the closed range between a and b, bounds in either order.
int32_t randomInt(int32_t a, int32_t b);
