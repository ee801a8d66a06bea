#include "linefit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "ellipsetest_expect.h"

namespace ced {
namespace {

using testexpect::allNear;

std::tuple<int, double, double, double> fields(const LineFit& f) {
  return {f.transposed, f.a, f.b, f.error};
}

TEST(LineFit, AxisParallelRunsHaveSlopeZeroAndMeanAbsoluteError) {
  const double hx[] = {3, 4, 5, 6, 7, 8}, hy[] = {9, 9, 9, 9, 9, 9};
  LineFit f;
  ASSERT_TRUE(fitLineWithError(hx, hy, 6, f));
  EXPECT_EQ(fields(f), std::tuple(0, 9.0, 0.0, 0.0));
  ASSERT_TRUE(fitLineWithError(hy, hx, 6, f));  // vertical
  EXPECT_EQ(fields(f), std::tuple(1, 9.0, 0.0, 0.0));
  // ±0.5 around y = 0 in a pattern with no trend: b = 0, a = 0, error = mean |Y| = 0.5.
  const double zx[] = {0, 1, 2, 3}, zy[] = {0.5, -0.5, -0.5, 0.5};
  ASSERT_TRUE(fitLineWithError(zx, zy, 4, f));
  EXPECT_EQ(std::pair(f.b, f.error), std::pair(0.0, 0.5));
  EXPECT_NEAR(f.a, 0, 1e-15);
}

TEST(LineFit, ErrorIsTheRmsPerpendicularDistance) {
  // Four points near y = x, pushed across it by +h, −h, −h, +h. The expected line comes from
  // the normal equations written out here, the error from the point-to-line distance formula.
  const double h = 0.3, s = h / std::sqrt(2.0);
  const double x[] = {0 - s, 1 + s, 2 + s, 3 - s}, y[] = {0 + s, 1 - s, 2 - s, 3 + s};
  LineFit f;
  ASSERT_TRUE(fitLineWithError(x, y, 4, f));
  EXPECT_EQ(f.transposed, 0);
  double sx = 0, sy = 0, sxx = 0, sxy = 0, sum = 0;
  for (int i = 0; i < 4; ++i) sx += x[i], sy += y[i], sxx += x[i] * x[i], sxy += x[i] * y[i];
  const double b = (4 * sxy - sx * sy) / (4 * sxx - sx * sx), a = (sy - b * sx) / 4;
  for (int i = 0; i < 4; ++i) sum += std::pow((y[i] - a - b * x[i]) / std::sqrt(1 + b * b), 2);
  EXPECT_TRUE(allNear({f.a, f.b, f.error}, {a, b, std::sqrt(sum / 4)}, 1e-12));
}

TEST(LineFit, TooFewOrCoincidentPoints) {
  const double x[] = {4, 4, 4}, y[] = {7, 7, 7};
  LineFit f;
  f.a = 123;
  EXPECT_FALSE(fitLineWithError(x, y, 1, f));
  EXPECT_EQ(f.a, 123);
  ASSERT_TRUE(fitLineWithError(x, y, 3, f));
  EXPECT_EQ(fields(f), std::tuple(0, 7.0, 0.0, 0.0));
  double a = 1, b = 2;
  EXPECT_FALSE(fitLineOriented(x, y, 3, 0, a, b));  // no spread along x
  EXPECT_EQ(std::pair(a, b), std::pair(1.0, 2.0));
}

TEST(LineFit, OrientedRefitUsesTheGivenOrientation) {
  // Points on y = 1 + 2x, refitted as transposed: x = −0.5 + 0.5·y.
  const double x[] = {0, 1, 2, 3}, y[] = {1, 3, 5, 7};
  double a = 0, b = 0;
  ASSERT_TRUE(fitLineOriented(x, y, 4, 1, a, b));
  EXPECT_TRUE(allNear({a, b}, {-0.5, 0.5}, 1e-12));
}

TEST(LineFit, ClosestPointAndDistanceByHand) {
  // y = 1 + x; from (0, 3) the foot of the perpendicular is (1, 2), √2 away. x = 1 + y
  // (transposed); from (3, 0) the foot is (2, 1).
  const cv::Point2d p = closestPointOnLine(0, 3, 1, 1, 0), q = closestPointOnLine(3, 0, 1, 1, 1);
  EXPECT_TRUE(allNear({p.x, p.y, distanceToLine(0, 3, 1, 1, 0), q.x, q.y},
                      {1, 2, std::sqrt(2.0), 2, 1}, 1e-12));
  // Axis-parallel lines.
  EXPECT_EQ(closestPointOnLine(5, 8, 2, 0, 0), cv::Point2d(5, 2));
  EXPECT_EQ(closestPointOnLine(5, 8, 2, 0, 1), cv::Point2d(2, 8));
  EXPECT_DOUBLE_EQ(distanceToLine(5, 8, 2, 0, 1), 3);
}

}  // namespace
}  // namespace ced
