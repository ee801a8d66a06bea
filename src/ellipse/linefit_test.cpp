#include "linefit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

#include "ellipsetest_expect.h"

namespace ced {
namespace {

using testexpect::allNear;

std::tuple<int, double, double, double> fields(const LineFit& f) {
  return {f.transposed, f.a, f.b, f.error};
}

TEST(LineFit, AxisParallelAndDegenerateRuns) {
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
  // Too few points leave the fit alone; coincident ones are a horizontal run.
  const double x[] = {4, 4, 4}, y[] = {7, 7, 7};
  f.a = 123;
  EXPECT_FALSE(fitLineWithError(x, y, 1, f));
  EXPECT_EQ(f.a, 123);
  ASSERT_TRUE(fitLineWithError(x, y, 3, f));
  EXPECT_EQ(fields(f), std::tuple(0, 7.0, 0.0, 0.0));
  double a = 1, b = 2;
  EXPECT_FALSE(fitLineOriented(x, y, 3, 0, a, b));  // no spread along x
  EXPECT_EQ(std::pair(a, b), std::pair(1.0, 2.0));
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

TEST(LineFit, DistanceAgainstALimitComparesAsTheDistanceDoes) {
  // Points at distances from far inside to far beyond the limit, many within a few units in
  // the last place of it, on lines of both orientations; also limits where hypot decides.
  cv::RNG rng(3);
  for (int i = 0; i < 20000; ++i) {
    const double a = rng.uniform(-50.0, 50.0), b = rng.uniform(-3.0, 3.0);
    const int transposed = i % 2;
    const double limit = i % 100 == 0 ? 1e-120 : 1.0;
    const double x = rng.uniform(0.0, 100.0);
    const double y = rng.uniform(0.0, 100.0);
    // A point off (x, y)'s foot on the line by a chosen distance along the normal.
    const cv::Point2d foot = closestPointOnLine(x, y, a, b, transposed);
    const double norm = std::hypot(1.0, b);
    const double nx = transposed ? 1 / norm : -b / norm, ny = transposed ? -b / norm : 1 / norm;
    const double scale = i % 3 == 0 ? 1 + rng.uniform(-1e-15, 1e-15) : rng.uniform(0.0, 2.0);
    const double px = foot.x + nx * limit * scale, py = foot.y + ny * limit * scale;
    const double d = distanceToLine(px, py, a, b, transposed);
    const double s = distanceToLineAgainst(px, py, a, b, transposed, limit);
    ASSERT_EQ(d <= limit, s <= limit) << i;
    ASSERT_EQ(d > limit, s > limit) << i;
  }
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_FALSE(distanceToLineAgainst(nan, 0, 0, 0, 0, 1.0) <= 1.0);
  EXPECT_FALSE(distanceToLineAgainst(nan, 0, 0, 0, 0, 1.0) > 1.0);
}

}  // namespace
}  // namespace ced
