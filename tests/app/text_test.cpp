#include <gtest/gtest.h>

#include <cmath>

#include "app/text.h"
#include "render/frame.h"

TEST(TextToNumber, ReadsTheNumberAtTheFront) {
    EXPECT_EQ(toInt("12abc"), 12);
    EXPECT_EQ(toInt(" -3"), -3);
    EXPECT_EQ(toInt("0012"), 12);
    EXPECT_EQ(toInt("+5"), 5);
    EXPECT_EQ(toInt("2.9"), 2);
    EXPECT_FLOAT_EQ(toFloat("1e-08"), 1e-08f);
    EXPECT_FLOAT_EQ(toFloat("-12.5,3"), -12.5f);
    EXPECT_TRUE(toBool("1"));
    EXPECT_FALSE(toBool("0"));
}

TEST(TextToNumber, TextWithoutANumberGivesZero) {
    EXPECT_EQ(toInt(""), 0);
    EXPECT_EQ(toInt("abc"), 0);
    EXPECT_EQ(toFloat("nan"), 0.0f);
    EXPECT_EQ(toFloat("inf"), 0.0f);
    EXPECT_FALSE(toBool("true"));
    int32_t kept = 7;
    EXPECT_FALSE(parseInt("x", kept));
    EXPECT_EQ(kept, 7);
}

TEST(TextToNumber, NumbersThatDoNotFitAreRefused) {
    int32_t value = 1;
    EXPECT_FALSE(parseInt("99999999999", value));
    EXPECT_EQ(value, 1);
    EXPECT_EQ(toInt("-99999999999"), 0);
    EXPECT_EQ(toFloat("1e99"), 0.0f);
    EXPECT_EQ(toInt("2147483647"), 2147483647);
}

TEST(NumberToText, WritesDefaultStreamFormat) {
    EXPECT_EQ(toText(int32_t{-7}), "-7");
    EXPECT_EQ(toText(uint32_t{4000000000u}), "4000000000");
    EXPECT_EQ(toText(0.1f), "0.1");
    EXPECT_EQ(toText(0.25f), "0.25");
    EXPECT_EQ(toText(15.0f), "15");
    EXPECT_EQ(toText(-12.5f), "-12.5");
    EXPECT_EQ(toText(1.0f / 3.0f), "0.333333");
    EXPECT_EQ(toText(100000.0f), "100000");
    EXPECT_EQ(toText(1000000.0f), "1e+06");
    EXPECT_EQ(toText(1e-08f), "1e-08");
    EXPECT_EQ(toText(0.00001234567f), "1.23457e-05");
}

TEST(NumberToText, FloatsReadBackWithinSixDigits) {
    for (float v : {3.14159265f, -0.000123456f, 98765.4321f, 1e-08f}) {
        EXPECT_NEAR(toFloat(toText(v)), v, std::abs(v) * 1e-5f) << v;
    }
}

TEST(SplitAtBar, SplitsAtTheFirstBar) {
    std::string head, tail;
    splitAtBar("2|!", head, tail);
    EXPECT_EQ(head, "2");
    EXPECT_EQ(tail, "!");
    splitAtBar("5|1,2|3", head, tail);
    EXPECT_EQ(head, "5");
    EXPECT_EQ(tail, "1,2|3");
    splitAtBar("4|", head, tail);
    EXPECT_EQ(head, "4");
    EXPECT_EQ(tail, "");
    splitAtBar("|x", head, tail);
    EXPECT_EQ(head, "");
    EXPECT_EQ(tail, "x");
    splitAtBar("abc", head, tail);
    EXPECT_EQ(head, "abc");
    EXPECT_EQ(tail, "abc");
}

TEST(FrameText, WritesSixteenFieldsInStorageOrder) {
    EXPECT_EQ(frameToText(Frame(1, 2, 3)), "1,0,0,0,0,1,0,0,0,0,-1,0,1,2,3,1");
    Frame frame;
    frame.matrix[10] = 1.0f;
    frame.setPosition(1, 2, 3);
    EXPECT_EQ(frameToText(frame), "1,0,0,0,0,1,0,0,0,0,1,0,1,2,3,1");
}

TEST(FrameText, ReadsBackWhatItWrote) {
    Frame source(4.5f, -2.25f, 1e-3f);
    source.matrix[1] = 1.0f / 3.0f;
    Frame copy;
    frameFromText(copy, frameToText(source));
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(copy.matrix[i], source.matrix[i], 1e-6f) << i;
    }
}

TEST(FrameText, ShortTextRepeatsItsLastField) {
    Frame frame;
    frameFromText(frame, "1,2");
    EXPECT_EQ(frame.matrix[0], 1.0f);
    for (int i = 1; i < 16; ++i) {
        EXPECT_EQ(frame.matrix[i], 2.0f) << i;
    }
    EXPECT_EQ(frame.position, frame.matrix + 12);
}

TEST(TakeField, CutsFieldsAndRepeatsTheLast) {
    std::string rest = "a,b";
    EXPECT_EQ(takeField(rest), "a");
    EXPECT_EQ(takeField(rest), "b");
    EXPECT_EQ(takeField(rest), "b");
}
