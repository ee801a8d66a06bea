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

TEST(GeomTransformPoints, MapsThroughTheAffineMatrix) {
  std::vector<cv::Point2f> out = {{1, 1}};
  vistrel::transformPoints({}, out, cv::Matx23f(1, 0, 0, 0, 1, 0));
  EXPECT_TRUE(out.empty());

  // A quarter turn (x, y) -> (-y, x) followed by a shift of (10, 20).
  const cv::Matx23f turn(0, -1, 10, 1, 0, 20);
  std::vector<cv::Point2f> pts = {{1, 2}, {0, 0}, {-3, 0.5f}};
  vistrel::transformPoints(pts, out, turn);
  EXPECT_EQ(out, (std::vector<cv::Point2f>{{8, 21}, {10, 20}, {9.5f, 17}}));
  // In place: every point is read before it is written.
  vistrel::transformPoints(pts, pts, turn);
  EXPECT_EQ(pts, out);
}

TEST(GeomIntersectLines, ModesSelectWhichSegmentsMustHoldThePoint) {
  cv::Point2f p(-1, -1);
  const cv::Vec4f base(0, 0, 10, 0);
  // Crossing inside both segments.
  for (int mode : {0, 1, 2, 3}) {
    p = cv::Point2f(-1, -1);
    EXPECT_TRUE(intersectLines(base, cv::Vec4f(5, -5, 5, 5), p, mode)) << mode;
    EXPECT_EQ(p, cv::Point2f(5, 0));
  }
  // The crossing (5, 0) lies on segment 1 only.
  const cv::Vec4f above(5, 1, 5, 5);
  EXPECT_TRUE(intersectLines(base, above, p, 1));
  EXPECT_FALSE(intersectLines(base, above, p, 2));
  EXPECT_FALSE(intersectLines(base, above, p, 3));
  EXPECT_TRUE(intersectLines(base, above, p, 7));
  EXPECT_EQ(p, cv::Point2f(5, 0));  // written even when the mode says no
  // The crossing (5, 0) lies on segment 2 only.
  const cv::Vec4f shortBase(0, 0, 2, 0);
  const cv::Vec4f across(5, -5, 5, 5);
  EXPECT_TRUE(intersectLines(shortBase, across, p, 1));
  EXPECT_FALSE(intersectLines(shortBase, across, p, 2));
  EXPECT_TRUE(intersectLines(shortBase, across, p, 3));
  // Oblique: y = x and y = 6 - x meet at (3, 3).
  EXPECT_TRUE(intersectLines(cv::Vec4f(0, 0, 1, 1), cv::Vec4f(0, 6, 6, 0), p, 0));
  EXPECT_FLOAT_EQ(p.x, 3);
  EXPECT_FLOAT_EQ(p.y, 3);

  // Parallel, collinear and degenerate lines give nothing and leave the point alone.
  p = cv::Point2f(42, 43);
  EXPECT_FALSE(intersectLines(base, cv::Vec4f(0, 1, 10, 1), p, 0));
  EXPECT_FALSE(intersectLines(base, cv::Vec4f(20, 0, 30, 0), p, 0));
  EXPECT_FALSE(intersectLines(base, cv::Vec4f(3, 3, 3, 3), p, 0));
  EXPECT_FALSE(intersectLines(cv::Vec4f(1, 1, 1, 1), base, p, 0));
  EXPECT_EQ(p, cv::Point2f(42, 43));
}

TEST(GeomIsPointOnSegment, EndPointsIncludedNoTolerance) {
  const cv::Vec4f vertical(5, 0, 5, 10);
  EXPECT_TRUE(isPointOnSegment({5, 10}, vertical));
  EXPECT_TRUE(isPointOnSegment({5, 0}, vertical));
  EXPECT_TRUE(isPointOnSegment({5, 4.5f}, vertical));
  EXPECT_FALSE(isPointOnSegment({5, 10.001f}, vertical));
  EXPECT_FALSE(isPointOnSegment({5, -0.5f}, vertical));
  // Direction does not matter.
  const cv::Vec4f leftward(10, 3, 0, 3);
  EXPECT_TRUE(isPointOnSegment({4, 3}, leftward));
  EXPECT_TRUE(isPointOnSegment({0, 3}, leftward));
  EXPECT_FALSE(isPointOnSegment({11, 3}, leftward));
  EXPECT_FALSE(isPointOnSegment({-1, 3}, leftward));
  // Only the dominant axis of the offset counts: the point is assumed to be on the line.
  EXPECT_TRUE(isPointOnSegment({7, 5}, vertical));
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
