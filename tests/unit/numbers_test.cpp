// Numbers as the programs read them from a person (hostsim/user_words.h):
// what passes, what is refused and what is too large, at the edges.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "hostsim/user_words.h"

namespace {

TEST(Numbers, DecimalsAreReadOneWayWithNothingAroundThem) {
    struct { const char* text; NumberRead read; double value; } cases[] = {
        {"45", NumberRead::kNumber, 45.0},
        {"-0.5", NumberRead::kNumber, -0.5},
        {"+7", NumberRead::kNumber, 7.0},
        {".5", NumberRead::kNumber, 0.5},
        {"5.", NumberRead::kNumber, 5.0},
        {"359.97", NumberRead::kNumber, 359.97},
        {"1E2", NumberRead::kNumber, 100.0},
        {"1e-320", NumberRead::kNumber, 1e-320},      // below the normal doubles: still a number
        {"1e308", NumberRead::kNumber, 1e308},
        {"1e309", NumberRead::kTooLarge, 0},
        {"-1e999999", NumberRead::kTooLarge, 0},
        {"0x10", NumberRead::kNotANumber, 0},         // C's strtod would read 16
        {" 45", NumberRead::kNotANumber, 0},
        {"45 ", NumberRead::kNotANumber, 0},
        {"", NumberRead::kNotANumber, 0},
        {"-", NumberRead::kNotANumber, 0},
        {".", NumberRead::kNotANumber, 0},
        {"1e", NumberRead::kNotANumber, 0},
        {"1e+", NumberRead::kNotANumber, 0},
        {"1.2.3", NumberRead::kNotANumber, 0},
        {"--5", NumberRead::kNotANumber, 0},
        {"inf", NumberRead::kNotANumber, 0},
        {"nan", NumberRead::kNotANumber, 0},
    };
    for (const auto& c : cases) {
        double v = -1.0;
        EXPECT_EQ(ReadDecimal(c.text, &v), c.read) << c.text;
        if (c.read == NumberRead::kNumber) EXPECT_EQ(v, c.value) << c.text;
        else EXPECT_EQ(v, -1.0) << c.text << ": the value is left alone";
    }
    double v = 0;
    EXPECT_EQ(ReadDecimal("-Infinity", &v, true), NumberRead::kNumber);
    EXPECT_TRUE(std::isinf(v) && v < 0);
    EXPECT_EQ(ReadDecimal("NaN", &v, true), NumberRead::kNumber);
    EXPECT_TRUE(std::isnan(v));
}

TEST(Numbers, WholeNumbersAreDigitsUpToTheLargest) {
    struct { const char* text; bool ok; long long value; } cases[] = {
        {"0", true, 0}, {"005", true, 5}, {"995", true, 995}, {"996", false, 0}, {"5.0", false, 0},
        {"+5", false, 0}, {"-5", false, 0}, {" 5", false, 0}, {"", false, 0},
        {"99999999999999999999999", false, 0},   // far past the largest, without overflowing
    };
    for (const auto& c : cases) {
        long long v = -1;
        EXPECT_EQ(ReadWhole(c.text, 995, &v), c.ok) << c.text;
        EXPECT_EQ(v, c.ok ? c.value : -1) << c.text;
    }
}

}  // namespace
