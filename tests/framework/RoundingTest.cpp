#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "framework/Rounding.h"

namespace qel {
namespace {

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(nearest(2.5), 2);
  EXPECT_EQ(nearest(3.5), 4);
  EXPECT_EQ(nearest(-2.5), -2);
  EXPECT_EQ(nearest(127.5), 128);
  EXPECT_EQ(nearest(-0.4), 0);
}

TEST(Rounding, ValuesOutsideTheRangeGiveItsEndsAndNaNGivesZero) {
  const double Inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(nearest(std::nan("")), 0);
  EXPECT_EQ(nearest(Inf), INT64_MAX);
  EXPECT_EQ(nearest(-Inf), INT64_MIN);
  EXPECT_EQ(nearest(1e300), INT64_MAX);
  EXPECT_EQ(nearest(9223372036854775808.0), INT64_MAX);  // 2^63, one past the largest
  EXPECT_EQ(nearest(-9223372036854775808.0), INT64_MIN);  // -2^63 itself fits
  EXPECT_EQ(nearest(9223372036854774784.0), INT64_C(9223372036854774784));  // the largest double below 2^63
}

}  // namespace
}  // namespace qel
