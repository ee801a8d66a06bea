#include "vistrel/geomutils.h"

#include <gtest/gtest.h>

namespace {

using vistrel::intersectLinePolygon;
using vistrel::intersectLines;
using vistrel::isPointOnSegment;

const std::vector<cv::Point2f> kSquare = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};

// The parameter along the line is a float, so a hit is exact only to float rounding.
void expectPoints(const std::vector<cv::Point2f>& actual,
                  const std::vector<cv::Point2f>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    EXPECT_NEAR(actual[i].x, expected[i].x, 1e-5) << i;
    EXPECT_NEAR(actual[i].y, expected[i].y, 1e-5) << i;
  }
}

// The detection regions map every shape in place with it; here the output is sized to the input.
TEST(GeomTransformPoints, OutputTakesTheInputsSize) {
  std::vector<cv::Point2f> out = {{1, 1}};
  vistrel::transformPoints({}, out, cv::Matx23f(1, 0, 0, 0, 1, 0));
  EXPECT_TRUE(out.empty());
  // A quarter turn (x, y) -> (-y, x) followed by a shift of (10, 20).
  vistrel::transformPoints({{1, 2}}, out, cv::Matx23f(0, -1, 10, 1, 0, 20));
  EXPECT_EQ(out, (std::vector<cv::Point2f>{{8, 21}}));
}

TEST(GeomIntersectLines, ModesSelectWhichSegmentsMustHoldThePoint) {
  // Whether each mode (0 to 3, and 7) reports the crossing at (5, 0), which is written whatever
  // the mode says.
  const auto modes = [](const cv::Vec4f& a, const cv::Vec4f& b) {
    std::vector<bool> held;
    for (int mode : {0, 1, 2, 3, 7}) {
      cv::Point2f p(-1, -1);
      held.push_back(intersectLines(a, b, p, mode));
      EXPECT_EQ(p, cv::Point2f(5, 0)) << mode;
    }
    return held;
  };
  const cv::Vec4f base(0, 0, 10, 0), across(5, -5, 5, 5);
  EXPECT_EQ(modes(base, across), (std::vector<bool>{true, true, true, true, true}));
  // On segment 1 only, then on segment 2 only.
  EXPECT_EQ(modes(base, {5, 1, 5, 5}), (std::vector<bool>{true, true, false, false, true}));
  EXPECT_EQ(modes({0, 0, 2, 0}, across), (std::vector<bool>{true, true, false, true, true}));
  // Oblique: y = x and y = 6 - x meet at (3, 3).
  cv::Point2f p;
  EXPECT_TRUE(intersectLines(cv::Vec4f(0, 0, 1, 1), cv::Vec4f(0, 6, 6, 0), p, 0));
  EXPECT_EQ(p, cv::Point2f(3, 3));

  // Parallel, collinear and degenerate lines give nothing and leave the point alone.
  p = cv::Point2f(42, 43);
  EXPECT_FALSE(intersectLines(base, cv::Vec4f(0, 1, 10, 1), p, 0));
  EXPECT_FALSE(intersectLines(base, cv::Vec4f(20, 0, 30, 0), p, 0));
  EXPECT_FALSE(intersectLines(base, cv::Vec4f(3, 3, 3, 3), p, 0));
  EXPECT_FALSE(intersectLines(cv::Vec4f(1, 1, 1, 1), base, p, 0));
  EXPECT_EQ(p, cv::Point2f(42, 43));
}

std::vector<bool> onSegment(const cv::Vec4f& segment, const std::vector<cv::Point2f>& pts) {
  std::vector<bool> held;
  for (const cv::Point2f& p : pts) held.push_back(isPointOnSegment(p, segment));
  return held;
}

TEST(GeomIsPointOnSegment, EndPointsIncludedNoTolerance) {
  // (7, 5) is off the line, but only the dominant axis of the offset counts: the point is
  // assumed to be on the line.
  EXPECT_EQ(
      onSegment({5, 0, 5, 10}, {{5, 10}, {5, 0}, {5, 4.5f}, {5, 10.001f}, {5, -0.5f}, {7, 5}}),
      (std::vector<bool>{true, true, true, false, false, true}));
  // Direction does not matter.
  EXPECT_EQ(onSegment({10, 3, 0, 3}, {{4, 3}, {0, 3}, {11, 3}, {-1, 3}}),
            (std::vector<bool>{true, true, false, false}));
  EXPECT_FALSE(isPointOnSegment({5, 12}, cv::Vec4f(0, 0, 10, 10)));
}

TEST(GeomIntersectLinePolygon, HitsPerEdgeByMode) {
  std::vector<cv::Point2f> out;
  // A horizontal line through the middle, its segment inside the square.
  EXPECT_TRUE(intersectLinePolygon(cv::Vec4f(2, 5, 8, 5), kSquare, out, 3));
  // Edge 0 runs from the last vertex (0, 10) to (0, 0), so the left hit comes first.
  expectPoints(out, {{0, 5}, {10, 5}});
  out.clear();
  EXPECT_FALSE(intersectLinePolygon(cv::Vec4f(2, 5, 8, 5), kSquare, out, 2));
  EXPECT_TRUE(out.empty());
  // Segment reaching out through the left edge only.
  EXPECT_TRUE(intersectLinePolygon(cv::Vec4f(-5, 5, 8, 5), kSquare, out, 2));
  expectPoints(out, {{0, 5}});
  // Not cleared: hits are appended.
  EXPECT_TRUE(intersectLinePolygon(cv::Vec4f(5, -1, 5, 11), kSquare, out, 2));
  expectPoints(out, {{0, 5}, {5, 0}, {5, 10}});
  // Through a vertex: both edges that end there report it.
  out.clear();
  EXPECT_TRUE(intersectLinePolygon(cv::Vec4f(-5, -5, 5, 5), kSquare, out, 2));
  expectPoints(out, {{0, 0}, {0, 0}});
  // Missing the polygon, and an empty polygon.
  out.clear();
  EXPECT_FALSE(intersectLinePolygon(cv::Vec4f(20, 0, 20, 10), kSquare, out, 3));
  EXPECT_FALSE(intersectLinePolygon(cv::Vec4f(0, 0, 1, 1), {}, out, 0));
  EXPECT_TRUE(out.empty());
}

}  // namespace
