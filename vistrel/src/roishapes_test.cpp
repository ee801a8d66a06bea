#include "roishapes.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "roitest_util.h"
#include "vistrel/assert.h"

namespace {

using namespace vistrel::roitest;
using Roi = vistrel::DetectRoi;

const cv::Mat kIdentity = (cv::Mat_<double>(2, 3) << 1, 0, 0, 0, 1, 0);
const cv::Mat kTwice = (cv::Mat_<double>(2, 3) << 2, 0, 0, 0, 2, 0);
const cv::Point kTl(10, 20);

cv::Mat canvas(int value = 0) { return cv::Mat(60, 80, CV_8UC1, cv::Scalar(value)); }

// The float bounding box (cv::boundingRect would round outward to whole pixels) is `want`
// (x, y, width, height) to within float rounding.
void expectBox(const Points& pts, const cv::Vec4f& want) {
  cv::Mat lo, hi;
  cv::reduce(cv::Mat(pts).reshape(1), lo, 0, cv::REDUCE_MIN);
  cv::reduce(cv::Mat(pts).reshape(1), hi, 0, cv::REDUCE_MAX);
  const cv::Vec4f box(lo.at<float>(0), lo.at<float>(1), hi.at<float>(0) - lo.at<float>(0),
                      hi.at<float>(1) - lo.at<float>(1));
  EXPECT_LE(cv::norm(box - want, cv::NORM_INF), 1e-3) << box;
}

template <typename S>
S shape(const Points& pts) {
  S s;
  EXPECT_TRUE(s.setVertexes(pts));
  return s;
}

// What OpenCV draws on an empty canvas: a filled circle, ellipse or pie (from 0 to `end`
// degrees), or convex polygon.
cv::Mat disc(cv::Point c, int r, int lineType = cv::LINE_8, int shift = 0) {
  cv::Mat m = canvas();
  cv::circle(m, c, r, cv::Scalar(255), cv::FILLED, lineType, shift);
  return m;
}
cv::Mat pie(cv::Point c, cv::Size axes, double turn, double end = 360) {
  cv::Mat m = canvas();
  cv::ellipse(m, c, axes, turn, 0, end, cv::Scalar(255), cv::FILLED, cv::LINE_8, 0);
  return m;
}
cv::Mat convex(const std::vector<cv::Point>& pts, int lineType, int shift) {
  cv::Mat m = canvas();
  cv::fillConvexPoly(m, pts, cv::Scalar(255), lineType, shift);
  return m;
}

TEST(RoiShapes, RectangleAndPolygonTakeTheirMinimumOfPoints) {
  Roi::RoiRectangle rect;
  EXPECT_FALSE(rect.setVertexes({{0, 0}, {1, 0}, {1, 1}}));
  const Points five = {{1, 2}, {3, 2}, {3, 4}, {1, 4}, {9, 9}};
  ASSERT_TRUE(rect.setVertexes(five));
  EXPECT_EQ(rect.getVertexes(), Points(five.begin(), five.begin() + 4));

  Roi::RoiPolygon poly;
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
  EXPECT_FALSE(Roi::RoiAnnulus().setVertexes({{0, 0}, {1, 0}}));
  const Points radii = {{10, 10}, {16, 10}, {30, 10}};
  EXPECT_EQ(shape<Roi::RoiAnnulus>({{10, 10}, {10, 16}, {10, 30}}).getVertexes(), radii);
  EXPECT_EQ(shape<Roi::RoiAnnulus>({{10, 10}, {10, 30}, {10, 16}}).getVertexes(), radii);
}

TEST(RoiShapes, SectorNeedsSixPointsAndOrdersItsAngles) {
  Roi::RoiAnnulusSector sector;
  const cv::Point2f c(50, 50);
  // Start ray along +x (0 degrees), end ray along +y (90 degrees).
  const Points six = {c, {60, 50}, {80, 50}, {70, 70}, {50, 80}, {50, 60}};
  EXPECT_FALSE(sector.setVertexes(Points(six.begin(), six.begin() + 5)));
  ASSERT_TRUE(sector.setVertexes(six));
  EXPECT_EQ(std::make_pair(sector.startAngle, sector.endAngle), std::make_pair(0.f, 90.f));
  EXPECT_EQ(sector.getVertexes(), six);
  // Start ray along +y (90), end ray along +x (0): the sector crosses 0 degrees, so the start
  // moves below zero.
  ASSERT_TRUE(sector.setVertexes({c, {50, 60}, {50, 80}, {30, 30}, {80, 50}, {60, 50}}));
  EXPECT_EQ(std::make_pair(sector.startAngle, sector.endAngle), std::make_pair(-270.f, 0.f));
}

TEST(RoiShapes, HullsMergeOutlines) {
  auto rect = shape<Roi::RoiRectangle>({{0, 0}, {10, 0}, {10, 5}, {0, 5}});
  const Points hull = rect.mergeHull({});
  expectBox(hull, {0, 0, 10, 5});
  // A point inside adds nothing; one outside extends the hull.
  auto poly = shape<Roi::RoiPolygon>({{2, 2}, {3, 2}, {20, 2}});
  // Plus the triangle (10, 0)-(20, 2)-(10, 5): base 5 on x = 10, height 10.
  EXPECT_DOUBLE_EQ(cv::contourArea(poly.mergeHull(hull)), 50 + 0.5 * 5 * 10);

  // A circle alone: the axis-aligned square about it.
  auto circle = shape<Roi::RoiCircle>({{30, 40}, {30, 50}});
  const Points square = circle.mergeHull({});
  ASSERT_EQ(square.size(), 4u);
  expectBox(square, {20, 30, 20, 20});
  // After a turned shape the square turns along, and still holds the whole circle.
  auto tilted = shape<Roi::RoiRectangle>(
      {{0, 0}, {8, 6}, {5, 10}, {-3, 4}});  // edges along (4, 3) and (-3, 4)
  const Points withCircle = circle.mergeHull(tilted.mergeHull({}));
  for (int a = 0; a < 360; a += 5) {
    const cv::Point2f p(30 + 10 * std::cos(a * CV_PI / 180), 40 + 10 * std::sin(a * CV_PI / 180));
    EXPECT_GE(cv::pointPolygonTest(withCircle, p, true), -1e-3) << a;
  }

  // Ellipse: its outline, turned by its major axis.
  auto e =
      shape<Roi::RoiEllipse>({{50, 50}, {50, 70}, {60, 50}});  // major axis 20 along +y, minor 10
  expectBox(e.mergeHull({}), {40, 30, 20, 40});
  // Sector from 0 to 90 degrees, radii 10 and 30: the quarter disc's bounding box, without the
  // free third point.
  auto sector =
      shape<Roi::RoiAnnulusSector>({{50, 50}, {60, 50}, {80, 50}, {0, 0}, {50, 80}, {50, 60}});
  expectBox(sector.mergeHull({}), {50, 50, 30, 30});
  // Mask: its outline only, not the anchor.
  auto mask = shape<Roi::RoiMask>({{-100, -100}, {0, 0}, {4, 0}, {4, 4}});
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
  return shape<Roi::RoiAnnulusSector>({{40, 50}, {48, 50}, {60, 50}, {0, 0}, {40, 70}, {40, 58}});
}

TEST(RoiShapes, PointShapesDrawLikeOpenCvOnMappedPoints) {
  auto rect =
      shape<Roi::RoiRectangle>({{10.2f, 20.7f}, {30.4f, 20.7f}, {30.4f, 40.1f}, {10.2f, 40.1f}});
  // (p - tl) rounded: (0.2, 0.7) -> (0, 1), (20.4, 0.7) -> (20, 1), (20.4, 20.1) -> (20, 20).
  EXPECT_TRUE(
      same(drawn(rect, kIdentity, 0), convex({{0, 1}, {20, 1}, {20, 20}, {0, 20}}, cv::LINE_8, 0)));
  // Two fractional bits: quarter-pixel coordinates, anti-aliased.
  // (0.2, 0.7) * 4 = (0.8, 2.8) -> (1, 3); (20.4, 20.1) * 4 = (81.6, 80.4) -> (82, 80).
  EXPECT_TRUE(same(drawn(rect, kIdentity, 2),
                   convex({{1, 3}, {82, 3}, {82, 80}, {1, 80}}, cv::LINE_AA, 2)));

  // A removed polygon clears its area through a scaling transform.
  auto poly = shape<Roi::RoiPolygon>({{12, 22}, {30, 22}, {12, 40}});
  const cv::Mat half = (cv::Mat_<double>(2, 3) << 0.5, 0, 3, 0, 0.5, 1);
  // (2, 2) -> (4, 2); (20, 2) -> (13, 2); (2, 20) -> (4, 11).
  cv::Mat want = canvas(255);
  cv::fillPoly(want, std::vector<std::vector<cv::Point>>{{{4, 2}, {13, 2}, {4, 11}}}, cv::Scalar(0),
               cv::LINE_8, 0);
  EXPECT_TRUE(same(drawn(poly, half, 0, 255, 0), want));
}

TEST(RoiShapes, CircleShapesDrawLikeOpenCv) {
  auto circle = shape<Roi::RoiCircle>({{40.3f, 49.6f}, {40.3f, 60.1f}});  // radius 10.5
  EXPECT_TRUE(same(drawn(circle, kIdentity, 0), disc({30, 30}, 11)));
  // Centre (30.3, 29.6) * 4 = (121.2, 118.4) -> (121, 118); radius 42.
  EXPECT_TRUE(same(drawn(circle, kIdentity, 2), disc({121, 118}, 42, cv::LINE_AA, 2)));
  // The region's scale reaches the radius: twice as large about the crop origin.
  auto small = shape<Roi::RoiCircle>({{25, 35}, {28, 35}});
  EXPECT_TRUE(same(drawn(small, kTwice, 0), disc({30, 30}, 6)));

  // Annulus united on an empty canvas: the outer disc minus the inner one, nothing else.
  auto ring = shape<Roi::RoiAnnulus>({{40, 50}, {40, 58}, {40, 70}});
  const cv::Mat want = disc({30, 30}, 20) - disc({30, 30}, 8);
  EXPECT_TRUE(same(drawn(ring, kIdentity, 0), want));
  // Removed from a full canvas: exactly the ring is cleared.
  EXPECT_TRUE(same(drawn(ring, kIdentity, 0, 255, 0), 255 - want));
  // United over existing content: the inside of the ring is left alone.
  EXPECT_TRUE(same(drawn(ring, kIdentity, 0, 100, 255), cv::max(want, 100)));
  // Straight into an empty canvas, hard and anti-aliased, united and removed: as drawn above.
  for (const int fracBit : {0, 2}) {
    for (const int colour : {255, 0}) {
      cv::Mat direct = canvas(255 - colour);
      ring.drawOnEmpty(direct, kTl, kIdentity, cv::Scalar(colour), fracBit);
      EXPECT_TRUE(same(direct, drawn(ring, kIdentity, fracBit, 255 - colour, colour)))
          << fracBit << " " << colour;
    }
  }
  // How OpenCV draws the sector: two pies, the inner one cleared.
  EXPECT_TRUE(same(drawn(quarterSector(), kIdentity, 0),
                   pie({30, 30}, {20, 20}, 0, 90) - pie({30, 30}, {8, 8}, 0, 90)));
}

TEST(RoiShapes, EllipseKeepsTheLongerAxisFirstDrawsLikeOpenCvAndFollowsATurnAndAScale) {
  EXPECT_FALSE(Roi::RoiEllipse().setVertexes({{0, 0}, {1, 0}}));
  // Shorter axis given first: swapped. Major 15 along +x, minor 6.
  auto e = shape<Roi::RoiEllipse>({{40, 50}, {40, 56}, {55, 50}});
  EXPECT_EQ(std::make_pair(e.semiAxis1, e.semiAxis2), std::make_pair(15.f, 6.f));
  EXPECT_EQ(e.getVertexes(), (Points{{40, 50}, {55, 50}, {40, 56}}));
  EXPECT_TRUE(e.vertexesRef().empty());
  EXPECT_TRUE(same(drawn(e, kIdentity, 0), pie({30, 30}, {15, 6}, 0)));
  // A quarter turn and twice the size, (x, y) -> (100 - 2 y, 2 x - 40): the centre (30, 30)
  // goes to (40, 20), the axes double and the major one turns to +y.
  const cv::Mat turnTwice = (cv::Mat_<double>(2, 3) << 0, -2, 100, 2, 0, -40);
  EXPECT_TRUE(same(drawn(e, turnTwice, 0), pie({40, 20}, {30, 12}, 90)));
  // The sector under the same transform.
  EXPECT_TRUE(same(drawn(quarterSector(), turnTwice, 0),
                   pie({40, 20}, {40, 40}, 90, 90) - pie({40, 20}, {16, 16}, 90, 90)));
}

TEST(RoiShapes, MaskStoresAnchorThenOutlineIsPlacedAtItsAnchorAndClipped) {
  cv::Mat mask(4, 6, CV_8UC1, cv::Scalar(0));
  mask(cv::Rect(1, 1, 4, 2)).setTo(200);
  mask.at<uchar>(0, 0) = 99;   // below the threshold: outside
  mask.at<uchar>(3, 5) = 100;  // at the threshold: inside
  EXPECT_FALSE(Roi::RoiMask().setVertexes({{5, 5}, {0, 0}, {1, 0}}));
  // The anchor, then the outline.
  const Points given = {{15.7f, 27.9f}, {15, 27}, {21, 27}, {21, 31}};
  auto placed = shape<Roi::RoiMask>(given);
  EXPECT_EQ(placed.vertexesRef(), Points(given.begin() + 1, given.end()));
  EXPECT_EQ(placed.getVertexes(), given);
  placed.mask = mask;

  // Hard: offset (5, 7) truncated from (5.7, 7.9).
  cv::Mat hard = canvas();
  hard(cv::Rect(5, 7, 6, 4)).setTo(255, mask >= 100);
  EXPECT_EQ(cv::countNonZero(hard), 9);
  EXPECT_TRUE(same(drawn(placed, kIdentity, 0), hard));
  // Removed, hard: cleared exactly where the mask counts as inside (not the 99 pixel).
  EXPECT_TRUE(same(drawn(placed, kIdentity, 0, 255, 0), 255 - hard));
  // Soft: the per-pixel maximum.
  cv::Mat want = canvas(50);
  cv::Mat part = want(cv::Rect(5, 7, 6, 4));
  cv::max(part, mask, part);
  EXPECT_TRUE(same(drawn(placed, kIdentity, 1, 50), want));
  // Removed, soft: at most the complement.
  EXPECT_EQ(at(drawn(placed, kIdentity, 1, 255, 0), {{6, 8}, {5, 7}}), (std::vector<int>{55, 156}));

  // Hanging over the top-left corner: only the part inside the canvas is placed.
  placed.anchor = cv::Point2f(8, 18);  // offset (-2, -2)
  want = canvas();
  want(cv::Rect(0, 0, 4, 2)).setTo(255, mask(cv::Rect(2, 2, 4, 2)) >= 100);
  EXPECT_TRUE(same(drawn(placed, kIdentity, 0), want));

  // Entirely outside, or empty: nothing changes.
  placed.anchor = cv::Point2f(500, 500);
  EXPECT_EQ(cv::countNonZero(drawn(placed, kIdentity, 0)), 0);
  placed.anchor = cv::Point2f(15, 27);
  placed.mask = cv::Mat();
  EXPECT_EQ(cv::countNonZero(drawn(placed, kIdentity, 0)), 0);
  EXPECT_EQ(cv::countNonZero(drawn(placed, kTwice, 0)), 0);

  // A transform other than the identity warps the mask: scaled by 2 about the crop origin.
  placed.mask = cv::Mat(2, 2, CV_8UC1, cv::Scalar(255));
  placed.anchor = cv::Point2f(12, 22);  // crop (2, 2) -> (4, 4)
  EXPECT_EQ(at(drawn(placed, kTwice, 0), {{4, 4}, {6, 6}, {3, 3}, {8, 8}}),
            (std::vector<int>{255, 255, 0, 0}));
}

}  // namespace
