#include <gtest/gtest.h>

#include <cmath>

#include "base/text.h"

TEST(TextToNumber, FrontFormsReadTheNumberAtTheFrontWholeFormsOnlyAWholeNumber) {
    const std::pair<const char*, int32_t> ints[] = {{"12abc", 12}, {" -3", -3}, {"0012", 12}, {"+5", 5}, {"2.9", 2}};
    for (const auto& [text, expected] : ints) {
        int32_t value = 0;
        EXPECT_TRUE(parseInt(text, value) && value == expected) << text;
    }
    for (const char* bad : {"", "abc", "99999999999", "-99999999999"}) {
        int32_t kept = 7;
        EXPECT_TRUE(!parseInt(bad, kept) && kept == 7) << bad;
    }
    int32_t whole = 0;
    float real = 0;
    EXPECT_TRUE(parseWholeInt("-12", whole) && whole == -12);
    EXPECT_TRUE(parseWholeFloat("1e-08", real) && real == 1e-08f);
    for (const char* bad : {"12abc", " 3", "3 ", "+5", "2.9", "", "99999999999", "0x10"})
        EXPECT_FALSE(parseWholeInt(bad, whole)) << bad;
    for (const char* bad : {"nan", "inf", "1e99", "1.5x", "", ","}) EXPECT_FALSE(parseWholeFloat(bad, real)) << bad;
    EXPECT_TRUE(whole == -12 && real == 1e-08f);  // a refusal leaves the value alone
}

TEST(NumberToText, WritesDefaultStreamFormatThatReadsBackWhole) {
    EXPECT_TRUE(toText(int32_t{-7}) == "-7" && toText(uint32_t{4000000000u}) == "4000000000");
    const std::pair<float, const char*> floats[] = {
        {0.1f, "0.1"}, {0.25f, "0.25"}, {15.0f, "15"}, {-12.5f, "-12.5"}, {1.0f / 3.0f, "0.333333"},
        {100000.0f, "100000"}, {1000000.0f, "1e+06"}, {1e-08f, "1e-08"}, {0.00001234567f, "1.23457e-05"}};
    for (const auto& [value, text] : floats) {
        float read = 0;
        EXPECT_TRUE(toText(value) == text && parseWholeFloat(text, read) &&
                    std::abs(read - value) <= std::abs(value) * 1e-5f)
            << text;
    }
}
