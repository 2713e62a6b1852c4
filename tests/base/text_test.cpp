#include <gtest/gtest.h>

#include <cmath>

#include "base/text.h"
#include "render/frame.h"

TEST(TextToNumber, ReadsTheNumberAtTheFrontOrGivesZero) {
    const std::pair<const char*, int32_t> ints[] = {{"12abc", 12}, {" -3", -3}, {"0012", 12}, {"+5", 5}, {"2.9", 2},
                                                    {"", 0}, {"abc", 0}, {"99999999999", 0}, {"-99999999999", 0}};
    for (const auto& [text, value] : ints) EXPECT_EQ(toInt(text), value) << text;
    EXPECT_FLOAT_EQ(toFloat("1e-08"), 1e-08f);
    for (const char* bad : {"nan", "inf", "1e99", "x"}) EXPECT_EQ(toFloat(bad), 0.0f) << bad;  // never non-finite
    EXPECT_TRUE(toBool("1") && !toBool("0"));
    int32_t kept = 7;
    EXPECT_TRUE(!parseInt("x", kept) && kept == 7);
}

TEST(NumberToText, WritesDefaultStreamFormatThatReadsBack) {
    EXPECT_TRUE(toText(int32_t{-7}) == "-7" && toText(uint32_t{4000000000u}) == "4000000000");
    const std::pair<float, const char*> floats[] = {
        {0.1f, "0.1"}, {0.25f, "0.25"}, {15.0f, "15"}, {-12.5f, "-12.5"}, {1.0f / 3.0f, "0.333333"},
        {100000.0f, "100000"}, {1000000.0f, "1e+06"}, {1e-08f, "1e-08"}, {0.00001234567f, "1.23457e-05"}};
    for (const auto& [value, text] : floats)
        EXPECT_TRUE(toText(value) == text && std::abs(toFloat(text) - value) <= std::abs(value) * 1e-5f) << text;
}

TEST(FrameText, WritesSixteenFieldsAndRepeatsTheLastOfAShortText) {
    Frame frame;
    frame.matrix[10] = 1.0f;
    frame.setPosition(1, 2, 3);
    EXPECT_EQ(frameToText(frame), "1,0,0,0,0,1,0,0,0,0,1,0,1,2,3,1");
    frameFromText(frame, "1,2");
    EXPECT_TRUE(frame.matrix[0] == 1.0f && frame.matrix[1] == 2.0f && frame.matrix[15] == 2.0f);
}
