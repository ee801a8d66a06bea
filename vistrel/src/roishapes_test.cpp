#include "roishapes.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <opencv2/imgproc.hpp>

#include "vistrel/assert.h"

namespace {

using Roi = vistrel::DetectRoi;
using Points = std::vector<cv::Point2f>;

const cv::Mat kIdentity = (cv::Mat_<double>(2, 3) << 1, 0, 0, 0, 1, 0);
const cv::Mat kTwice = (cv::Mat_<double>(2, 3) << 2, 0, 0, 0, 2, 0);
const cv::Point kTl(10, 20);

cv::Mat canvas(int value = 0) { return cv::Mat(60, 80, CV_8UC1, cv::Scalar(value)); }

int differing(const cv::Mat& a, const cv::Mat& b) {
  return a.size() == b.size() ? cv::countNonZero(a != b) : -1;
}

// Points of an outline, with a tolerance for float rounding, all inside `hull`.
bool hullHolds(const Points& hull, const Points& outline) {
  for (const cv::Point2f& p : outline) {
    if (cv::pointPolygonTest(hull, p, true) < -1e-3) {
      return false;
    }
  }
  return true;
}

// The float bounding box (cv::boundingRect would round outward to whole pixels).
cv::Rect2f boxOf(const Points& pts) {
  float x1 = FLT_MAX, y1 = FLT_MAX, x2 = -FLT_MAX, y2 = -FLT_MAX;
  for (const cv::Point2f& p : pts) {
    x1 = std::min(x1, p.x);
    y1 = std::min(y1, p.y);
    x2 = std::max(x2, p.x);
    y2 = std::max(y2, p.y);
  }
  return cv::Rect2f(x1, y1, x2 - x1, y2 - y1);
}

void expectBox(const Points& pts, const cv::Rect2f& want) {
  const cv::Rect2f box = boxOf(pts);
  EXPECT_NEAR(box.x, want.x, 1e-3);
  EXPECT_NEAR(box.y, want.y, 1e-3);
  EXPECT_NEAR(box.width, want.width, 1e-3);
  EXPECT_NEAR(box.height, want.height, 1e-3);
}

Points circleOutline(cv::Point2f c, float r) {
  Points pts;
  for (int a = 0; a < 360; a += 5) {
    pts.emplace_back(c.x + r * std::cos(a * CV_PI / 180), c.y + r * std::sin(a * CV_PI / 180));
  }
  return pts;
}

TEST(RoiShapes, RectangleAndPolygonTakeTheirMinimumOfPoints) {
  Roi::RoiRectangle rect;
  EXPECT_FALSE(rect.setVertexes({{0, 0}, {1, 0}, {1, 1}}));
  const Points five = {{1, 2}, {3, 2}, {3, 4}, {1, 4}, {9, 9}};
  ASSERT_TRUE(rect.setVertexes(five));
  EXPECT_EQ(rect.getVertexes(), Points(five.begin(), five.begin() + 4));

  Roi::RoiPolygon poly;
  EXPECT_FALSE(poly.setVertexes({{0, 0}, {1, 0}}));
  ASSERT_TRUE(poly.setVertexes(five));
  EXPECT_EQ(poly.getVertexes(), five);
  // A refused call leaves the shape as it was.
  EXPECT_FALSE(poly.setVertexes({{7, 7}}));
  EXPECT_EQ(poly.getVertexes(), five);
}

TEST(RoiShapes, CircleShapesKeepRadiiAndHaveNoVertexList) {
  vistrel::AssertCapture capture;
  Roi::RoiCircle circle;
  EXPECT_FALSE(circle.setVertexes({{5, 5}}));
  ASSERT_TRUE(circle.setVertexes({{10, 20}, {13, 24}}));  // a 3-4-5 triangle
  EXPECT_EQ(circle.getVertexes(), (Points{{10, 20}, {15, 20}}));
  EXPECT_TRUE(circle.vertexesRef().empty());
  EXPECT_TRUE(capture.contains("cannot get vertex of circle roi by reference"));

  // The order of the radius points does not matter.
  Roi::RoiAnnulus a, b;
  EXPECT_FALSE(a.setVertexes({{0, 0}, {1, 0}}));
  ASSERT_TRUE(a.setVertexes({{10, 10}, {10, 16}, {10, 30}}));
  ASSERT_TRUE(b.setVertexes({{10, 10}, {10, 30}, {10, 16}}));
  for (const Roi::RoiAnnulus* s : {&a, &b}) {
    EXPECT_EQ(s->getVertexes(), (Points{{10, 10}, {16, 10}, {30, 10}}));
  }
}

TEST(RoiShapes, SectorNeedsSixPointsAndOrdersItsAngles) {
  Roi::RoiAnnulusSector sector;
  const cv::Point2f c(50, 50);
  // Start ray along +x (0 degrees), end ray along +y (90 degrees).
  const Points five = {c, {60, 50}, {80, 50}, {70, 70}, {50, 80}};
  EXPECT_FALSE(sector.setVertexes(five));
  Points six = five;
  six.emplace_back(50, 60);
  ASSERT_TRUE(sector.setVertexes(six));
  EXPECT_FLOAT_EQ(sector.startAngle, 0);
  EXPECT_FLOAT_EQ(sector.endAngle, 90);
  EXPECT_EQ(sector.getVertexes(), six);

  // Start ray along +y (90), end ray along +x (0): the sector crosses 0 degrees, so the start
  // moves below zero.
  const Points crossing = {c, {50, 60}, {50, 80}, {30, 30}, {80, 50}, {60, 50}};
  ASSERT_TRUE(sector.setVertexes(crossing));
  EXPECT_FLOAT_EQ(sector.startAngle, -270);
  EXPECT_FLOAT_EQ(sector.endAngle, 0);
}

TEST(RoiShapes, EllipseKeepsTheLongerAxisFirst) {
  Roi::RoiEllipse e;
  EXPECT_FALSE(e.setVertexes({{0, 0}, {1, 0}}));
  // Shorter axis given first: swapped.
  ASSERT_TRUE(e.setVertexes({{40, 30}, {40, 36}, {55, 30}}));
  EXPECT_FLOAT_EQ(e.semiAxis1, 15);
  EXPECT_FLOAT_EQ(e.semiAxis2, 6);
  EXPECT_EQ(e.getVertexes(), (Points{{40, 30}, {55, 30}, {40, 36}}));
  EXPECT_TRUE(e.vertexesRef().empty());
}

TEST(RoiShapes, MaskStoresAnchorThenOutline) {
  Roi::RoiMask m;
  EXPECT_FALSE(m.setVertexes({{5, 5}, {0, 0}, {1, 0}}));
  const Points given = {{5, 6}, {5, 6}, {15, 6}, {15, 16}, {5, 16}};
  ASSERT_TRUE(m.setVertexes(given));
  EXPECT_EQ(m.anchor, cv::Point2f(5, 6));
  EXPECT_EQ(m.vertexesRef(), Points(given.begin() + 1, given.end()));
  EXPECT_EQ(m.getVertexes(), given);
}

TEST(RoiShapes, HullsMergeOutlines) {
  Roi::RoiRectangle rect;
  rect.setVertexes({{0, 0}, {10, 0}, {10, 5}, {0, 5}});
  const Points hull = rect.mergeHull({});
  expectBox(hull, {0, 0, 10, 5});
  // A point inside adds nothing; one outside extends the hull.
  Roi::RoiPolygon poly;
  poly.setVertexes({{2, 2}, {3, 2}, {20, 2}});
  const Points merged = poly.mergeHull(hull);
  // Plus the triangle (10, 0)-(20, 2)-(10, 5): base 5 on x = 10, height 10.
  EXPECT_DOUBLE_EQ(cv::contourArea(merged), 50 + 0.5 * 5 * 10);

  // A circle alone: the axis-aligned square about it.
  Roi::RoiCircle circle;
  circle.setVertexes({{30, 40}, {30, 50}});
  const Points square = circle.mergeHull({});
  ASSERT_EQ(square.size(), 4u);
  expectBox(square, {20, 30, 20, 20});
  // After a turned shape the square turns along, and still holds the whole circle.
  Roi::RoiRectangle tilted;
  tilted.setVertexes({{0, 0}, {8, 6}, {5, 10}, {-3, 4}});  // edges along (4, 3) and (-3, 4)
  const Points withCircle = circle.mergeHull(tilted.mergeHull({}));
  EXPECT_TRUE(hullHolds(withCircle, circleOutline({30, 40}, 10)));

  // Annulus: the outer radius counts.
  Roi::RoiAnnulus ring;
  ring.setVertexes({{0, 0}, {3, 0}, {0, 7}});
  expectBox(ring.mergeHull({}), {-7, -7, 14, 14});

  // Ellipse: its outline, turned by its major axis.
  Roi::RoiEllipse e;
  e.setVertexes({{50, 50}, {50, 70}, {60, 50}});  // major axis 20 along +y, minor 10
  expectBox(e.mergeHull({}), {40, 30, 20, 40});

  // Sector from 0 to 90 degrees, radii 10 and 30: the quarter disc's bounding box, without the
  // free third point.
  Roi::RoiAnnulusSector sector;
  sector.setVertexes({{50, 50}, {60, 50}, {80, 50}, {0, 0}, {50, 80}, {50, 60}});
  expectBox(sector.mergeHull({}), {50, 50, 30, 30});

  // Mask: its outline only, not the anchor.
  Roi::RoiMask mask;
  mask.setVertexes({{-100, -100}, {0, 0}, {4, 0}, {4, 4}});
  expectBox(mask.mergeHull({}), {0, 0, 4, 4});
}

cv::Mat drawn(const Roi::ShapedRoiBase& shape, const cv::Mat& transMat, int fracBit,
              int background = 0, int colour = 255) {
  cv::Mat got = canvas(background);
  shape.draw(got, kTl, transMat, cv::Scalar(colour), fracBit);
  return got;
}

// The sector from 0 to 90 degrees with radii 8 and 20 about (40, 50), crop (30, 30).
Roi::RoiAnnulusSector quarterSector() {
  Roi::RoiAnnulusSector sector;
  sector.setVertexes({{40, 50}, {48, 50}, {60, 50}, {0, 0}, {40, 70}, {40, 58}});
  return sector;
}

// How OpenCV draws that sector: two pies, the inner one cleared.
cv::Mat pies(cv::Point centre, int outer, int inner, double turn) {
  cv::Mat want = canvas();
  cv::ellipse(want, centre, cv::Size(outer, outer), turn, 0, 90, cv::Scalar(255), cv::FILLED,
              cv::LINE_8, 0);
  cv::ellipse(want, centre, cv::Size(inner, inner), turn, 0, 90, cv::Scalar(0), cv::FILLED,
              cv::LINE_8, 0);
  return want;
}

TEST(RoiShapes, PointShapesDrawLikeOpenCvOnMappedPoints) {
  Roi::RoiRectangle rect;
  rect.setVertexes({{10.2f, 20.7f}, {30.4f, 20.7f}, {30.4f, 40.1f}, {10.2f, 40.1f}});
  // (p - tl) rounded: (0.2, 0.7) -> (0, 1), (20.4, 0.7) -> (20, 1), (20.4, 20.1) -> (20, 20).
  cv::Mat want = canvas();
  cv::fillConvexPoly(want, std::vector<cv::Point>{{0, 1}, {20, 1}, {20, 20}, {0, 20}},
                     cv::Scalar(255), cv::LINE_8, 0);
  EXPECT_EQ(differing(drawn(rect, kIdentity, 0), want), 0);

  // Two fractional bits: quarter-pixel coordinates, anti-aliased.
  // (0.2, 0.7) * 4 = (0.8, 2.8) -> (1, 3); (20.4, 20.1) * 4 = (81.6, 80.4) -> (82, 80).
  want = canvas();
  cv::fillConvexPoly(want, std::vector<cv::Point>{{1, 3}, {82, 3}, {82, 80}, {1, 80}},
                     cv::Scalar(255), cv::LINE_AA, 2);
  EXPECT_EQ(differing(drawn(rect, kIdentity, 2), want), 0);

  // A removed polygon clears its area through a scaling transform.
  Roi::RoiPolygon poly;
  poly.setVertexes({{12, 22}, {30, 22}, {12, 40}});
  const cv::Mat half = (cv::Mat_<double>(2, 3) << 0.5, 0, 3, 0, 0.5, 1);
  // (2, 2) -> (4, 2); (20, 2) -> (13, 2); (2, 20) -> (4, 11).
  want = canvas(255);
  cv::fillPoly(want, std::vector<std::vector<cv::Point>>{{{4, 2}, {13, 2}, {4, 11}}}, cv::Scalar(0),
               cv::LINE_8, 0);
  EXPECT_EQ(differing(drawn(poly, half, 0, 255, 0), want), 0);
}

TEST(RoiShapes, CircleShapesDrawLikeOpenCv) {
  Roi::RoiCircle circle;
  circle.setVertexes({{40.3f, 49.6f}, {40.3f, 60.1f}});  // radius 10.5
  cv::Mat want = canvas();
  cv::circle(want, cv::Point(30, 30), 11, cv::Scalar(255), cv::FILLED, cv::LINE_8, 0);
  EXPECT_EQ(differing(drawn(circle, kIdentity, 0), want), 0);

  // Centre (30.3, 29.6) * 4 = (121.2, 118.4) -> (121, 118); radius 42.
  want = canvas();
  cv::circle(want, cv::Point(121, 118), 42, cv::Scalar(255), cv::FILLED, cv::LINE_AA, 2);
  EXPECT_EQ(differing(drawn(circle, kIdentity, 2), want), 0);

  // The region's scale reaches the radius: twice as large about the crop origin.
  Roi::RoiCircle small;
  small.setVertexes({{25, 35}, {28, 35}});
  want = canvas();
  cv::circle(want, cv::Point(30, 30), 6, cv::Scalar(255), cv::FILLED, cv::LINE_8, 0);
  EXPECT_EQ(differing(drawn(small, kTwice, 0), want), 0);

  // Annulus united on an empty canvas: the outer disc minus the inner one, nothing else.
  Roi::RoiAnnulus ring;
  ring.setVertexes({{40, 50}, {40, 58}, {40, 70}});
  want = canvas();
  cv::circle(want, cv::Point(30, 30), 20, cv::Scalar(255), cv::FILLED, cv::LINE_8, 0);
  cv::circle(want, cv::Point(30, 30), 8, cv::Scalar(0), cv::FILLED, cv::LINE_8, 0);
  EXPECT_EQ(differing(drawn(ring, kIdentity, 0), want), 0);
  // Removed from a full canvas: exactly the ring is cleared.
  EXPECT_EQ(differing(drawn(ring, kIdentity, 0, 255, 0), 255 - want), 0);
  // United over existing content: the inside of the ring is left alone.
  EXPECT_EQ(differing(drawn(ring, kIdentity, 0, 100, 255), cv::max(want, 100)), 0);
  // Straight into an empty canvas, hard and anti-aliased, united and removed: as drawn above.
  for (const int fracBit : {0, 2}) {
    for (const int colour : {255, 0}) {
      cv::Mat direct = canvas(255 - colour);
      ring.drawOnEmpty(direct, kTl, kIdentity, cv::Scalar(colour), fracBit);
      EXPECT_EQ(differing(direct, drawn(ring, kIdentity, fracBit, 255 - colour, colour)), 0)
          << fracBit << " " << colour;
    }
  }

  EXPECT_EQ(differing(drawn(quarterSector(), kIdentity, 0), pies({30, 30}, 20, 8, 0)), 0);
}

TEST(RoiShapes, EllipseDrawsLikeOpenCvAndWithASectorFollowsATurnAndAScale) {
  Roi::RoiEllipse e;
  e.setVertexes({{40, 50}, {40, 56}, {55, 50}});  // major 15 along +x, minor 6
  cv::Mat want = canvas();
  cv::ellipse(want, cv::Point(30, 30), cv::Size(15, 6), 0, 0, 360, cv::Scalar(255), cv::FILLED,
              cv::LINE_8, 0);
  EXPECT_EQ(differing(drawn(e, kIdentity, 0), want), 0);

  // A quarter turn and twice the size, (x, y) -> (100 - 2 y, 2 x - 40): the centre (30, 30)
  // goes to (40, 20), the axes double and the major one turns to +y.
  const cv::Mat turnTwice = (cv::Mat_<double>(2, 3) << 0, -2, 100, 2, 0, -40);
  want = canvas();
  cv::ellipse(want, cv::Point(40, 20), cv::Size(30, 12), 90, 0, 360, cv::Scalar(255), cv::FILLED,
              cv::LINE_8, 0);
  EXPECT_EQ(differing(drawn(e, turnTwice, 0), want), 0);

  // The sector under the same transform.
  EXPECT_EQ(differing(drawn(quarterSector(), turnTwice, 0), pies({40, 20}, 40, 16, 90)), 0);
}

TEST(RoiShapes, MaskIsPlacedAtItsAnchorAndClipped) {
  cv::Mat mask(4, 6, CV_8UC1, cv::Scalar(0));
  mask(cv::Rect(1, 1, 4, 2)).setTo(200);
  mask.at<uchar>(0, 0) = 99;   // below the threshold: outside
  mask.at<uchar>(3, 5) = 100;  // at the threshold: inside
  Roi::RoiMask shape;
  shape.setVertexes({{15.7f, 27.9f}, {15, 27}, {21, 27}, {21, 31}});
  shape.mask = mask;

  // Hard: offset (5, 7) truncated from (5.7, 7.9).
  cv::Mat want = canvas();
  want(cv::Rect(5, 7, 6, 4)).setTo(255, mask >= 100);
  EXPECT_EQ(differing(drawn(shape, kIdentity, 0), want), 0);
  EXPECT_EQ(cv::countNonZero(want), 9);

  // Soft: the per-pixel maximum.
  want = canvas(50);
  cv::Mat part = want(cv::Rect(5, 7, 6, 4));
  cv::max(part, mask, part);
  EXPECT_EQ(differing(drawn(shape, kIdentity, 1, 50), want), 0);

  // Removed, hard: cleared where the mask counts as inside (not the 99 pixel).
  cv::Mat got = drawn(shape, kIdentity, 0, 255, 0);
  EXPECT_EQ(cv::countNonZero(got == 0), 9);
  EXPECT_EQ(got.at<uchar>(7, 5), 255);
  // Removed, soft: at most the complement.
  got = drawn(shape, kIdentity, 1, 255, 0);
  EXPECT_EQ(got.at<uchar>(8, 6), 55);
  EXPECT_EQ(got.at<uchar>(7, 5), 156);

  // Hanging over the top-left corner: only the part inside the canvas is placed.
  shape.anchor = cv::Point2f(8, 18);  // offset (-2, -2)
  want = canvas();
  want(cv::Rect(0, 0, 4, 2)).setTo(255, mask(cv::Rect(2, 2, 4, 2)) >= 100);
  EXPECT_EQ(differing(drawn(shape, kIdentity, 0), want), 0);

  // Entirely outside, or empty: nothing changes.
  shape.anchor = cv::Point2f(500, 500);
  EXPECT_EQ(cv::countNonZero(drawn(shape, kIdentity, 0)), 0);
  shape.anchor = cv::Point2f(15, 27);
  shape.mask = cv::Mat();
  EXPECT_EQ(cv::countNonZero(drawn(shape, kIdentity, 0)), 0);
  EXPECT_EQ(cv::countNonZero(drawn(shape, kTwice, 0)), 0);

  // A transform other than the identity warps the mask: scaled by 2 about the crop origin.
  shape.mask = cv::Mat(2, 2, CV_8UC1, cv::Scalar(255));
  shape.anchor = cv::Point2f(12, 22);  // crop (2, 2) -> (4, 4)
  got = drawn(shape, kTwice, 0);
  EXPECT_EQ(got.at<uchar>(4, 4), 255);
  EXPECT_EQ(got.at<uchar>(6, 6), 255);
  EXPECT_EQ(got.at<uchar>(3, 3), 0);
  EXPECT_EQ(got.at<uchar>(8, 8), 0);
}

}  // namespace
