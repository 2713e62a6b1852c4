#include "world/vector_math.h"

#include <cmath>

float squareRoot(float value) { return static_cast<float>(std::sqrt(static_cast<double>(value))); }

float vectorLength(float x, float y, float z) {
    const float sum = x * x + y * y + z * z;
    return squareRoot(sum);
}

float distance3(float ax, float ay, float az, float bx, float by, float bz) {
    const float dx = ax - bx;
    const float dy = ay - by;
    const float dz = az - bz;
    return vectorLength(dx, dy, dz);
}

void normalize3(float& x, float& y, float& z) {
    const float length = vectorLength(x, y, z);
    if (!(length > 0.0f) || !std::isfinite(length)) {
        return;
    }
    x /= length;
    y /= length;
    z /= length;
}

float directionDegrees(float x1, float y1, float x2, float y2) {
    const float dx = x2 - x1;
    const float dy = y2 - y1;
    double angle = 0.0;
    if (dx != 0.0f) {
        const double slope = std::atan(static_cast<double>(dy) / static_cast<double>(dx));
        if (dy == 0.0f) {
            angle = dx > 0.0f ? 0.0 : kPi;
        } else if (dx < 0.0f) {
            angle = slope + kPi;
        } else if (dy < 0.0f) {
            angle = slope + kTwoPi;
        } else {
            angle = slope;
        }
    } else if (dy < 0.0f) {
        angle = kThreeHalvesPi;
    } else if (dy > 0.0f) {
        angle = kHalfPi;
    }
    return static_cast<float>(angle * 180.0 / kPi);
}
