#include "arcangles.h"

#include <gtest/gtest.h>
#include <opencv2/core/cvdef.h>

#include <cmath>
#include <vector>

namespace ced {
namespace {

// Pixels on the circle (0, 0, 10) at the given angles; only first, middle and last matter, the
// rest pad the count n.
struct Arc {
  std::vector<double> x, y;
};
Arc arcAt(double first, double middle, double last, int n) {
  Arc a;
  for (int i = 0; i < n; ++i) {
    const double t = i == 0 ? first : (i == n - 1 ? last : middle);
    a.x.push_back(10 * std::cos(t));
    a.y.push_back(10 * std::sin(t));
  }
  return a;
}
ArcAngles anglesOf(const Arc& a) {
  return arcAngles(0, 0, 10, a.x.data(), a.y.data(), static_cast<int>(a.x.size()));
}

TEST(ArcAngles, ShortArcsRunTheShortWayRound) {
  // n = 10 on r = 10: ratio 0.159, expected span 1.0; the direct span 1.0 wins.
  ArcAngles g = anglesOf(arcAt(0.5, 1.0, 1.5, 10));
  EXPECT_NEAR(g.start, 0.5, 1e-12);
  EXPECT_NEAR(g.end, 1.5, 1e-12);
  // Same arc walked backwards: same interval.
  g = anglesOf(arcAt(1.5, 1.0, 0.5, 10));
  EXPECT_NEAR(g.start, 0.5, 1e-12);
  EXPECT_NEAR(g.end, 1.5, 1e-12);
  // Across 0: first at 6.0, last at 0.4 (the wrapped span 0.68 is nearer the expected 1.0).
  g = anglesOf(arcAt(6.0, 0.1, 0.4, 10));
  EXPECT_NEAR(g.start, 6.0, 1e-12);
  EXPECT_NEAR(g.end, 0.4, 1e-12);
}

TEST(ArcAngles, LongArcsRunTheLongWayRound) {
  // n = 55: ratio 0.875, expected span 5.5; the wrapped span 5.78 beats the direct 0.5.
  const ArcAngles g = anglesOf(arcAt(0.5, 3.5, 1.0, 55));
  EXPECT_NEAR(g.start, 1.0, 1e-12);
  EXPECT_NEAR(g.end, 0.5, 1e-12);
}

TEST(ArcAngles, HalfArcsTakeTheirDirectionFromTheMiddlePixel) {
  // n = 31: ratio 0.493. The lower half (y down: angles 0..π through π/2), walked either way.
  ArcAngles g = anglesOf(arcAt(0, CV_PI / 2, CV_PI, 31));
  EXPECT_NEAR(g.start, 0, 1e-12);
  EXPECT_NEAR(g.end, CV_PI, 1e-12);
  g = anglesOf(arcAt(CV_PI, CV_PI / 2, 0, 31));
  EXPECT_NEAR(g.start, 0, 1e-12);
  EXPECT_NEAR(g.end, CV_PI, 1e-12);
  // The upper half runs from π to 0; an end below 0.159 is written 6.28.
  g = anglesOf(arcAt(CV_PI, 3 * CV_PI / 2, 0, 31));
  EXPECT_NEAR(g.start, CV_PI, 1e-12);
  EXPECT_EQ(g.end, 6.28);
}

TEST(ArcAngles, ClosedArcsAndTheLimitsNear2Pi) {
  // First and last pixel 0.05 rad (< 3°) apart on a nearly full circle: 0 to 6.26.
  ArcAngles g = anglesOf(arcAt(0.2, 3.0, 0.25, 63));
  EXPECT_EQ(g.start, 0);
  EXPECT_EQ(g.end, 6.26);
  // 0.06 rad apart (> 3°) is an ordinary long arc.
  g = anglesOf(arcAt(0.2, 3.0, 0.26, 63));
  EXPECT_NEAR(g.start, 0.26, 1e-12);
  EXPECT_NEAR(g.end, 0.2, 1e-12);
  // A start at or above 6.26 becomes 0.
  g = anglesOf(arcAt(6.27, 0.1, 0.3, 6));
  EXPECT_EQ(g.start, 0);
  EXPECT_NEAR(g.end, 0.3, 1e-12);
  // Pixels off the circle clamp to acos(±1): 0 and π. With the two ways round equally long
  // the pair runs start > end, and the end 0 is written 6.28.
  const double x[] = {25, 0, -25}, y[] = {0.5, 10, 0.5};
  g = arcAngles(0, 0, 10, x, y, 3);
  EXPECT_EQ(g.start, CV_PI);
  EXPECT_EQ(g.end, 6.28);
  // No pixels or no radius: nothing to measure.
  g = arcAngles(0, 0, 0, x, y, 3);
  EXPECT_EQ(g.start, 0);
  EXPECT_EQ(g.end, 0);
}

TEST(ArcAngles, AngularSpanWrapsThroughZero) {
  EXPECT_DOUBLE_EQ(angularSpan(1, 3), 2);
  EXPECT_DOUBLE_EQ(angularSpan(5.5, 0.5), 2 * CV_PI - 5);
  EXPECT_DOUBLE_EQ(angularSpan(2, 2), 2 * CV_PI);
  EXPECT_DOUBLE_EQ(angularSpan(0, 6.26), 6.26);
}

}  // namespace
}  // namespace ced
