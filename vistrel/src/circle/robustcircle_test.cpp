#include "vistrel/robustcircle.h"

#include <gtest/gtest.h>
#include <opencv2/core/cvdef.h>

#include <cmath>

#include "scenes/scenes.h"

namespace {

using namespace vistrel;

// A bright disc on a dark belt, its truth in the analysis' coordinates (pixel centres at
// integers), optionally with a rim-grey rail hugging it from `railFrom` to `railTo` radians out
// to `railOut` pixels beyond its edge.
struct Disc {
  cv::Mat image;
  cv::Vec3f truth;
};
Disc brightDisc(double railFrom = 0, double railTo = 0, double railOut = 0) {
  const cv::Point2d c(160.3, 150.7);
  const double r = 100.0;
  scenes::Scene scene({320, 300}, 40.0);
  const int pieces = static_cast<int>((railTo - railFrom) * 90.0 / CV_PI);
  for (int k = 0; k < pieces; ++k) {
    const double t0 = railFrom + (railTo - railFrom) * k / pieces;
    const double t1 = railFrom + (railTo - railFrom) * (k + 1) / pieces;
    const double o = (r + railOut) / std::cos(0.5 * (t1 - t0));
    const auto at = [&](double rr, double t) {
      return c + rr * cv::Point2d(std::cos(t), std::sin(t));
    };
    scene.polygon({at(r - 10, t0), at(o, t0), at(o, t1), at(r - 10, t1)}, 200.0);
  }
  scene.disc(c, r, 200.0);
  return {scene.render(1.0, 2.0, 3),
          cv::Vec3f(static_cast<float>(c.x - 0.5), static_cast<float>(c.y - 0.5),
                    static_cast<float>(r))};
}

TEST(CircleThrough, ThreePointsGiveTheirCircleAndALineGivesNone) {
  cv::Vec3f c;
  ASSERT_TRUE(circleThrough({0, 0}, {2, 0}, {0, 2}, c));
  EXPECT_LE(cv::norm(c - cv::Vec3f(1, 1, std::sqrt(2.0f)), cv::NORM_INF), 5e-7) << c;
  const cv::Vec3f untouched(7, 8, 9);
  c = untouched;
  EXPECT_FALSE(circleThrough({0, 0}, {1, 1}, {3, 3}, c));
  EXPECT_FALSE(circleThrough({5, 5}, {5, 5}, {1, 2}, c));
  EXPECT_EQ(c, untouched);
}

TEST(RaySupport, CountsRaysNotPointsAndCoverageCountsSectors) {
  // 72 rays, 5 degrees apart, with a point on the circle of radius 10 about (0, 0); rays 0..17
  // (the first quarter) carry a second point 0.5 px out, which adds no support.
  std::vector<RimEdgePoint> points;
  for (int k = 0; k < 72; ++k) {
    const double t = 2 * CV_PI * (k + 0.5) / 72;
    const cv::Point2f dir(static_cast<float>(std::cos(t)), static_cast<float>(std::sin(t)));
    points.push_back({dir * 10.0f, k, 1.0f});
    if (k < 18) points.push_back({dir * 10.5f, k, 1.0f});
  }
  EXPECT_EQ(raySupport(points, {0, 0, 10}, 0.25f), 72);
  EXPECT_EQ(raySupport(points, {0, 0, 10.5f}, 0.25f), 18);
  EXPECT_EQ(raySupport(points, {0, 0, 10.25f}, 0.3f), 72);
  EXPECT_DOUBLE_EQ(sectorCoverage(points, {0, 0, 10}, 0.25f), 1.0);
  EXPECT_DOUBLE_EQ(sectorCoverage(points, {0, 0, 10.5f}, 0.25f), 9.0 / 36.0);
  EXPECT_DOUBLE_EQ(sectorCoverage(points, {0, 0, 20}, 0.25f), 0.0);
}

// On a clean disc the rim points lie on the outline, and every ray already agrees with the true
// circle, so the robust fit keeps it.
TEST(RobustRimCircle, RimPointsLieOnTheOutlineOnlyForTheRimsPolarityAndAgreeWithTheTruth) {
  const Disc d = brightDisc();
  const std::vector<RimEdgePoint> bright = rimEdgePoints(d.image, d.truth, 12, 180, false);
  ASSERT_GE(bright.size(), 170u);
  double worst = 0;
  for (const RimEdgePoint& e : bright) {
    worst = std::max(worst, std::abs(std::hypot(e.p.x - d.truth[0], e.p.y - d.truth[1]) - 100.0));
  }
  EXPECT_LT(worst, 0.3);
  // The disc's inside is brighter: asking for a darker inside finds no rim.
  EXPECT_LT(rimEdgePoints(d.image, d.truth, 12, 180, true).size(), 10u);
  EXPECT_TRUE(rimEdgePoints(cv::Mat(), d.truth, 12, 180, false).empty());

  cv::Vec3f robust(1, 2, 3);
  EXPECT_FALSE(robustRimCircle(d.image, d.truth, false, robust));
  EXPECT_EQ(robust, cv::Vec3f(1, 2, 3));
  // Nothing to work on.
  EXPECT_FALSE(robustRimCircle(d.image, cv::Vec3f(160, 150, 5), false, robust));
  EXPECT_FALSE(robustRimCircle(cv::Mat(), d.truth, false, robust));
  EXPECT_FALSE(robustRimCircle(cv::Mat(300, 320, CV_8UC1, cv::Scalar(90)), d.truth, false, robust));
}

// A rail 5 px out over 50 degrees: a concentric false outline that the robust fit sees past.
TEST(SearchRimCircle, FindsTheRimFromItsCentreWithinTheRadiusRange) {
  const Disc d = brightDisc(2.0, 2.0 + 50 * CV_PI / 180, 5.0);
  cv::Vec3f found(0, 0, 0);
  ASSERT_TRUE(searchRimCircle(d.image, cv::Point2f(161, 150), cv::Vec2i(40, 130), false, found));
  EXPECT_LT(std::hypot(found[0] - d.truth[0], found[1] - d.truth[1]), 0.1);
  EXPECT_NEAR(found[2], d.truth[2], 0.1);
  EXPECT_FALSE(searchRimCircle(d.image, cv::Point2f(161, 150), cv::Vec2i(40, 42), false, found));
}

}  // namespace
