#include "maths/number_convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace maths;

TEST(NumberConvert, TruncatesAndHoldsOutOfRangeValuesAtTheEnds) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double v;
        int32_t i32;
        uint32_t u32;
        uint16_t u16;
        uint8_t u8;
    } cases[] = {
        {2.9, 2, 2, 2, 2},
        {-2.9, -2, 0, 0, 0},
        {nan, 0, 0, 0, 0},
        {inf, INT32_MAX, UINT32_MAX, 0xFFFF, 0xFF},
        {-inf, INT32_MIN, 0, 0, 0},
        {1e10, INT32_MAX, UINT32_MAX, 0xFFFF, 0xFF},
        {65535.99, 65535, 65535, 0xFFFF, 0xFF},
        {70000.0, 70000, 70000, 0xFFFF, 0xFF},
        {4294967295.5, INT32_MAX, UINT32_MAX, 0xFFFF, 0xFF},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.v);
        EXPECT_EQ(convert_to_i32(c.v), c.i32);
        EXPECT_EQ(convert_to_u32(c.v), c.u32);
        EXPECT_EQ(convert_to_u16(c.v), c.u16);
        EXPECT_EQ(convert_to_u8(c.v), c.u8);
    }
    EXPECT_EQ(convert_clamped(nan, 3, 9), 3);
    EXPECT_EQ(convert_clamped(-1e300, 3, 9), 3);
    EXPECT_EQ(convert_clamped(7.7, 3, 9), 7);
    EXPECT_EQ(convert_clamped(1e300, 3, 9), 9);
}

} // namespace

namespace {

TEST(NumberConvert, DoublesNarrowToFloatsAsRoundingDoes) {
    const double inf = std::numeric_limits<double>::infinity();
    const float finf = std::numeric_limits<float>::infinity();
    const double max = std::numeric_limits<float>::max();
    struct Case {
        double v;
        float expected;
    } cases[] = {{1.5, 1.5f},
                 {1e300, finf},
                 {-1e300, -finf},
                 {inf, finf},
                 {max, std::numeric_limits<float>::max()},
                 // Just above the largest float still rounds down to it; from the midpoint on, to infinity.
                 {max + 1e31, std::numeric_limits<float>::max()},
                 {max + std::ldexp(1.0, 103), finf}};
    for (const Case &c : cases)
        EXPECT_EQ(convert_to_float(c.v), c.expected) << c.v;
    EXPECT_TRUE(std::isnan(convert_to_float(std::nan(""))));
}

} // namespace
