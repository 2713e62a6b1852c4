#include <gtest/gtest.h>

#include "world/vector_math.h"

TEST(VectorMath, DirectionDegreesCoversEveryQuadrantAndAxis) {
    const float cases[][5] = {{0, 0, 0, 0, 0},    {0, 0, 1, 0, 0},     {0, 0, 0, 1, 90},   {0, 0, -1, 0, 180},
                              {0, 0, 0, -1, 270}, {0, 0, 1, -1, 315},  {0, 0, -1, 1, 135}, {0, 0, -1, -1, 225},
                              {2, 3, 3, 4, 45}};
    for (const auto& c : cases) {
        EXPECT_NEAR(directionDegrees(c[0], c[1], c[2], c[3]), c[4], 1e-4f) << c[2] << "," << c[3];
    }
}

TEST(VectorMath, DistancesAndNormalisation) {
    EXPECT_FLOAT_EQ(distance3(1, 1, 1, 2, 3, 3), 3.0f);
    float x = 3, y = 0, z = -4;
    normalize3(x, y, z);
    EXPECT_FLOAT_EQ(x, 0.6f);
    EXPECT_FLOAT_EQ(z, -0.8f);
    float a = 0, b = 0, c = 0;  // a zero vector stays zero rather than turning into NaN
    normalize3(a, b, c);
    EXPECT_EQ(a + b + c, 0.0f);
}
