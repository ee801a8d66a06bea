#include "outline.h"

#include <gtest/gtest.h>

#include <cmath>

#include "ellipsetest_expect.h"
#include "fittest_shapes.h"

namespace ced {
namespace {

using namespace testshapes;

TEST(Outline, CirclePointsAreRoundedSamplesOneUnitOfArcApart) {
  // r = 10: floor(62.83 + 0.5) = 63 angles (the accumulated step may add one more just below
  // 2π); the first point is at angle 0: (int)(10 + 20 + 0.5) = 30.
  const std::vector<cv::Point> pts = circleOutline(20, 25, 10);
  ASSERT_GE(pts.size(), 63u);
  ASSERT_LE(pts.size(), 64u);
  EXPECT_EQ(pts[0], cv::Point(30, 25));
  // Truncation toward zero, not floor: r = 1.9 gives floor(11.94 + 0.5) = 12 angles, and at
  // angle π the point is (int)(−1.9 + 0.5) = −1 (floor would give −2).
  const std::vector<cv::Point> edge = circleOutline(0, 0, 1.9);
  ASSERT_GE(edge.size(), 12u);
  EXPECT_EQ(edge[0], cv::Point(2, 0));
  EXPECT_EQ(edge[6], cv::Point(-1, 0));
  EXPECT_TRUE(circleOutline(5, 5, 0).empty());
  EXPECT_TRUE(circleOutline(5, 5, -3).empty());
  EXPECT_TRUE(circleOutline(5, 5, 0.05).empty());  // floor(0.31 + 0.5) = 0 angles
}

TEST(Outline, EllipsePointsLieOnTheConicInAntipodalPairs) {
  const double cx = 80, cy = 60, a = 40, b = 15, phi = 0.4;
  const ConicCoefficients eq = ellipseConic(cx, cy, a, b, phi);
  const std::vector<cv::Point2d> pts = ellipseOutline(eq, 101);  // odd: one dropped
  ASSERT_EQ(pts.size(), 100u);
  for (size_t k = 0; k < 50; ++k) {
    for (const cv::Point2d& p : {pts[k], pts[k + 50]}) {
      const double v = eq[1] * p.x * p.x + eq[2] * p.x * p.y + eq[3] * p.y * p.y + eq[4] * p.x +
                       eq[5] * p.y + eq[6];
      EXPECT_NEAR(v, 0, 1e-9);
    }
    // Both ends of a chord through the centre.
    EXPECT_TRUE(testexpect::allNear(
        {(pts[k].x + pts[k + 50].x) / 2, (pts[k].y + pts[k + 50].y) / 2}, {cx, cy}, 1e-9))
        << k;
  }
  // On a circle W is a multiple of the identity, so point k lies at angle k·3.14781/h.
  const std::vector<cv::Point2d> ring = ellipseOutline(ellipseConic(0, 0, 10, 10, 0), 8);
  ASSERT_EQ(ring.size(), 8u);
  for (int k = 0; k < 4; ++k) {
    const double t = k * 3.14781 / 4;
    EXPECT_TRUE(testexpect::allNear({ring[k].x, ring[k].y, ring[k + 4].x},
                                    {10 * std::cos(t), 10 * std::sin(t), -10 * std::cos(t)}, 1e-9))
        << k;
  }
}

TEST(Outline, DirectionsThatMissTheConicGiveMinusOne) {
  // x² − y² = 1 (a hyperbola): directions steeper than 45° never meet it.
  const ConicCoefficients hyp{{0, 1, 0, -1, 0, 0, -1}};
  const std::vector<cv::Point2d> pts = ellipseOutline(hyp, 8);  // angles 0, 0.787, 1.574, 2.36
  ASSERT_EQ(pts.size(), 8u);
  EXPECT_NEAR(pts[0].x, 1, 1e-12);
  EXPECT_EQ(pts[2], cv::Point2d(-1, -1));  // ~90°: misses
  EXPECT_EQ(pts[6], cv::Point2d(-1, -1));
  // A parabola has no centre: every point is (−1, −1).
  const std::vector<cv::Point2d> parabola = ellipseOutline({{0, 1, 0, 0, 0, -1, 0}}, 6);
  EXPECT_EQ(parabola, std::vector<cv::Point2d>(6, cv::Point2d(-1, -1)));
  EXPECT_TRUE(ellipseOutline(hyp, 1).empty());
}

}  // namespace
}  // namespace ced
