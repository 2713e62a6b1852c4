#include <gtest/gtest.h>

#include <cmath>

#include "world/vector_math.h"

TEST(VectorMath, DirectionDegreesCoversEveryQuadrantAndAxis) {
    EXPECT_EQ(directionDegrees(0, 0, 0, 0), 0.0f);
    EXPECT_EQ(directionDegrees(0, 0, 1, 0), 0.0f);
    EXPECT_NEAR(directionDegrees(0, 0, 0, 1), 90.0f, 1e-4f);
    EXPECT_NEAR(directionDegrees(0, 0, -1, 0), 180.0f, 1e-4f);
    EXPECT_NEAR(directionDegrees(0, 0, 0, -1), 270.0f, 1e-4f);
    EXPECT_NEAR(directionDegrees(0, 0, 1, -1), 315.0f, 1e-4f);
    EXPECT_NEAR(directionDegrees(0, 0, -1, 1), 135.0f, 1e-4f);
    EXPECT_NEAR(directionDegrees(0, 0, -1, -1), 225.0f, 1e-4f);
    EXPECT_NEAR(directionDegrees(2, 3, 3, 4), 45.0f, 1e-4f);
}

TEST(VectorMath, LengthsAndDistances) {
    EXPECT_FLOAT_EQ(vectorLength(1, 2, 2), 3.0f);
    EXPECT_FLOAT_EQ(distance3(1, 1, 1, 2, 3, 3), 3.0f);
    EXPECT_GE(distance3(0, 0, 0, 0, 0, -1), 1.0f);
    EXPECT_FLOAT_EQ(squareRoot(2.25f), 1.5f);
}

TEST(VectorMath, NormalizeLeavesAZeroVectorZero) {
    float x = 3, y = 0, z = -4;
    normalize3(x, y, z);
    EXPECT_FLOAT_EQ(x, 0.6f);
    EXPECT_FLOAT_EQ(z, -0.8f);
    float a = 0, b = 0, c = 0;
    normalize3(a, b, c);
    EXPECT_EQ(a, 0.0f);
    EXPECT_EQ(b, 0.0f);
    EXPECT_EQ(c, 0.0f);
}
