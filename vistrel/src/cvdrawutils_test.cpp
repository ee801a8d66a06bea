#include "vistrel/cvdrawutils.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "vistrel/assert.h"

namespace {

using vistrel::drawDensePolygon;
using vistrel::drawPolygonPoints;
using Poly = std::vector<cv::Point>;

constexpr uchar kBack = 7;
constexpr uchar kFill = 100;
constexpr uchar kEdge = 255;

// The 3 x 3 square with top-left (10, 20), traced clockwise from its top-left.
const Poly kSquare = {{10, 20}, {11, 20}, {12, 20}, {12, 21},
                      {12, 22}, {11, 22}, {10, 22}, {10, 21}};

cv::Mat rows(std::initializer_list<std::initializer_list<uchar>> values) {
  cv::Mat m;
  for (const auto& row : values) m.push_back(cv::Mat(std::vector<uchar>(row)).t());
  return m;
}

bool same(const cv::Mat& a, const cv::Mat& b) {
  return a.size() == b.size() && a.type() == b.type() && cv::countNonZero(a != b) == 0;
}

// drawDensePolygon into `canvas` (created when empty) with this file's three values.
cv::Mat dense(const Poly& poly, cv::Point& offset, cv::Mat canvas = cv::Mat()) {
  drawDensePolygon(canvas, poly, kBack, kFill, kEdge, offset);
  return canvas;
}

TEST(DrawDensePolygon, SquareIntoANewCanvasOrAGivenOneAtAGivenOffset) {
  const cv::Mat want = rows({{kEdge, kEdge, kEdge}, {kEdge, kFill, kEdge}, {kEdge, kEdge, kEdge}});
  Poly closed = kSquare;
  closed.push_back(closed.front());
  // Counter-clockwise gives the same.
  for (const Poly& poly : {closed, kSquare, Poly(kSquare.rbegin(), kSquare.rend())}) {
    cv::Point offset(-1, -1);
    const cv::Mat canvas = dense(poly, offset);
    EXPECT_TRUE(same(canvas, want)) << canvas;
    EXPECT_EQ(offset, cv::Point(10, 20));
  }

  cv::Mat canvas(5, 6, CV_8UC1, cv::Scalar(1));
  cv::Point offset(9, 19);  // the square's top-left lands on canvas (1, 1)
  dense(kSquare, offset, canvas);
  // The background value is for created canvases only.
  cv::Mat around(5, 6, CV_8UC1, cv::Scalar(1));
  want.copyTo(around(cv::Rect(1, 1, 3, 3)));
  EXPECT_TRUE(same(canvas, around));
  // Hanging over the canvas edge: the part inside is drawn, nothing outside is touched.
  // Canvas (0, 0) is the square's centre (11, 21).
  cv::Mat small(2, 2, CV_8UC1, cv::Scalar(0));
  offset = cv::Point(11, 21);
  dense(kSquare, offset, small);
  EXPECT_TRUE(same(small, rows({{kFill, kEdge}, {kEdge, kEdge}})));
  // Entirely outside.
  small.setTo(0);
  offset = cv::Point(0, 0);
  dense(kSquare, offset, small);
  EXPECT_EQ(cv::countNonZero(small), 0);
}

TEST(DrawDensePolygon, ReproducesTracedContoursExactly) {
  // Regions drawn by OpenCV, traced pixel by pixel, and drawn back: the same pixels, with the
  // traced contour carrying the edge value.
  cv::Mat disc = cv::Mat::zeros(40, 50, CV_8UC1);
  cv::circle(disc, {24, 19}, 13, cv::Scalar(255), cv::FILLED);
  cv::Mat tilted = cv::Mat::zeros(40, 50, CV_8UC1);
  cv::fillConvexPoly(tilted, Poly{{5, 12}, {30, 3}, {44, 25}, {17, 36}}, cv::Scalar(255));
  for (const cv::Mat& region : {disc, tilted}) {
    std::vector<Poly> contours;
    cv::findContours(region.clone(), contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_NONE);
    ASSERT_EQ(contours.size(), 1u);
    cv::Point offset(0, 0);
    const cv::Mat canvas = dense(contours[0], offset, cv::Mat(region.size(), CV_8UC1, 0.0));
    EXPECT_TRUE(same(canvas > 0, region));
    cv::Mat edges = cv::Mat::zeros(region.size(), CV_8UC1);
    for (const cv::Point& p : contours[0]) edges.at<uchar>(p) = 255;
    EXPECT_TRUE(same(canvas == kEdge, edges));
  }
}

TEST(DrawDensePolygon, DegenerateAndBadInput) {
  vistrel::AssertCapture capture;
  // Open: the last point is two pixels from the first. Nothing is drawn, nothing created.
  const Poly open(kSquare.begin(), kSquare.end() - 1);
  cv::Point offset(3, 4);
  EXPECT_TRUE(dense(open, offset).empty());
  EXPECT_TRUE(capture.contains("drawDensePolygon: not closed polygon, or not dense"));
  EXPECT_EQ(offset, cv::Point(3, 4));
  const cv::Mat given(4, 4, CV_8UC1, cv::Scalar(9));
  EXPECT_EQ(cv::countNonZero(dense(open, offset, given) != 9), 0);

  // Two points: both get the edge value, nothing is filled.
  capture.clear();
  EXPECT_TRUE(
      same(dense({{0, 0}, {2, 1}}, offset), rows({{kEdge, kBack, kBack}, {kBack, kBack, kEdge}})));
  // One row, closed on itself: no crossings, so only the points.
  EXPECT_TRUE(same(dense({{0, 0}, {1, 0}, {2, 0}, {1, 0}}, offset), rows({{kEdge, kEdge, kEdge}})));
  EXPECT_TRUE(capture.messages().empty());
  // Empty polygon: reported by the point drawer, canvas stays empty.
  EXPECT_TRUE(dense({}, offset).empty());
  EXPECT_TRUE(capture.contains("!poly.empty()"));

  // A canvas of another type is left alone.
  capture.clear();
  cv::Mat wide(5, 5, CV_16UC1, cv::Scalar(3));
  offset = cv::Point(10, 20);
  drawDensePolygon(wide, kSquare, kBack, kFill, kEdge, offset);
  drawPolygonPoints(wide, kSquare, kBack, kEdge, offset);
  EXPECT_EQ(capture.messages(),
            (std::vector<std::string>(2, "canvas.depth() == CV_8U && canvas.channels() == 1")));
  EXPECT_EQ(cv::countNonZero(wide != 3), 0);
}

}  // namespace
