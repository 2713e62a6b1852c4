#pragma once
// Float vector helpers for star placement and ship headings. Plain floats, no
// vector type: the callers keep their components in separate fields.

// The circle constants the game's headings are computed with.
constexpr double kPi = 3.14159265;
constexpr double kTwoPi = 6.2831853;
constexpr double kThreeHalvesPi = 1.5 * 3.14159265;
constexpr double kHalfPi = 1.570796325;

float squareRoot(float value);
float vectorLength(float x, float y, float z);
float distance3(float ax, float ay, float az, float bx, float by, float bz);

// Scales (x, y, z) to unit length in place. A zero (or non-finite) vector is
// left exactly as it is, so no NaN is ever produced.
void normalize3(float& x, float& y, float& z);

// Heading in degrees, 0 up to 360, of the direction from (x1, y1) to (x2, y2);
// 0 when the two points coincide.
float directionDegrees(float x1, float y1, float x2, float y2);
