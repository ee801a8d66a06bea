#include "arcangles.h"

#include <gtest/gtest.h>
#include <opencv2/core/cvdef.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "ellipsetest_expect.h"

namespace ced {
namespace {

// Pixels on the circle (0, 0, 10) at the angles `first`, `middle` (every inner pixel) and
// `last`; only those three matter, the count n sets how much of the circle the arc claims.
struct AngleCase {
  const char* name;
  double first, middle, last;
  int n;
  double start, end;
};
class ArcAnglesOf : public ::testing::TestWithParam<AngleCase> {};

TEST_P(ArcAnglesOf, StartAndEnd) {
  const AngleCase& c = GetParam();
  std::vector<double> x, y;
  for (int i = 0; i < c.n; ++i) {
    const double t = i == 0 ? c.first : (i == c.n - 1 ? c.last : c.middle);
    x.push_back(10 * std::cos(t));
    y.push_back(10 * std::sin(t));
  }
  const ArcAngles g = arcAngles(0, 0, 10, x.data(), y.data(), c.n);
  EXPECT_TRUE(testexpect::allNear({g.start, g.end}, {c.start, c.end}, 1e-12));
}

constexpr double kPi = CV_PI;
INSTANTIATE_TEST_SUITE_P(
    ArcAngles, ArcAnglesOf,
    ::testing::Values(
        // n = 10 on r = 10: ratio 0.159, expected span 1.0; the direct span 1.0 wins, walked
        // either way; across 0 the wrapped span 0.68 is nearer the expected 1.0.
        AngleCase{"Short", 0.5, 1.0, 1.5, 10, 0.5, 1.5},
        AngleCase{"ShortBackwards", 1.5, 1.0, 0.5, 10, 0.5, 1.5},
        AngleCase{"ShortAcrossZero", 6.0, 0.1, 0.4, 10, 6.0, 0.4},
        // n = 55: ratio 0.875, expected span 5.5; the wrapped span 5.78 beats the direct 0.5.
        AngleCase{"LongWayRound", 0.5, 3.5, 1.0, 55, 1.0, 0.5},
        // n = 31: ratio 0.493; the middle pixel gives the direction. The lower half (y down),
        // walked either way, then the upper half, whose end below 0.159 is written 6.28.
        AngleCase{"LowerHalf", 0, kPi / 2, kPi, 31, 0, kPi},
        AngleCase{"LowerHalfBackwards", kPi, kPi / 2, 0, 31, 0, kPi},
        AngleCase{"UpperHalf", kPi, 3 * kPi / 2, 0, 31, kPi, 6.28},
        // Ends 0.05 rad (< 3°) apart on a nearly full circle: 0 to 6.26; 0.06 apart is an
        // ordinary long arc.
        AngleCase{"Closed", 0.2, 3.0, 0.25, 63, 0, 6.26},
        AngleCase{"AlmostClosed", 0.2, 3.0, 0.26, 63, 0.26, 0.2},
        // A start at or above 6.26 becomes 0.
        AngleCase{"StartNear2Pi", 6.27, 0.1, 0.3, 6, 0, 0.3}),
    [](const ::testing::TestParamInfo<AngleCase>& info) { return std::string(info.param.name); });

TEST(ArcAngles, OffCirclePixelsAndNoRadius) {
  // Pixels off the circle clamp to acos(±1): 0 and π. With the two ways round equally long
  // the pair runs start > end, and the end 0 is written 6.28.
  const double x[] = {25, 0, -25}, y[] = {0.5, 10, 0.5};
  const ArcAngles g = arcAngles(0, 0, 10, x, y, 3), none = arcAngles(0, 0, 0, x, y, 3);
  EXPECT_EQ(std::pair(g.start, g.end), std::pair(CV_PI, 6.28));
  EXPECT_EQ(std::pair(none.start, none.end), std::pair(0.0, 0.0));  // no radius: nothing to measure
}

TEST(ArcAngles, AngularSpanWrapsThroughZero) {
  EXPECT_DOUBLE_EQ(angularSpan(1, 3), 2);
  EXPECT_DOUBLE_EQ(angularSpan(2, 2), 2 * CV_PI);
  EXPECT_DOUBLE_EQ(angularSpan(0, 6.26), 6.26);
}

}  // namespace
}  // namespace ced
