#include "vistrel/detectroi.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <opencv2/imgproc.hpp>
#include <tuple>

#include "roishapes.h"
#include "roitest_util.h"
#include "vistrel/assert.h"

namespace {

using namespace vistrel::roitest;
using vistrel::DetectRoi;

// Every pixel tells its own position: value = (x + 3 y) mod 256.
cv::Mat positionImage(int rows, int cols) {
  cv::Mat_<uchar> image(rows, cols);
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x) image(y, x) = static_cast<uchar>((x + 3 * y) % 256);
  return image;
}

// A region of one shape.
DetectRoi region(const Points& pts, Shape type) {
  DetectRoi roi;
  EXPECT_TRUE(roi.addRoi(pts, type));
  return roi;
}

// A region of one axis-aligned rectangle from (x0, y0) to (x1, y1).
DetectRoi rectangle(float x0, float y0, float x1, float y1) {
  return region({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}, Shape::Rectangle);
}

template <typename T>
cv::Point_<T> toRoi(DetectRoi& roi, cv::Point_<T> p) {
  roi.toRoi(p.x, p.y);
  return p;
}

template <typename T>
cv::Point_<T> toImage(DetectRoi& roi, cv::Point_<T> p) {
  roi.toImage(p.x, p.y);
  return p;
}

// The larger of the two coordinate differences.
double off(cv::Point2d a, cv::Point2d b) {
  return std::max(std::abs(a.x - b.x), std::abs(a.y - b.y));
}

// Whether the region's mask holds the source pixel `p`.
bool holds(DetectRoi& roi, cv::Point p) {
  const cv::Mat mask = roi.getMask(cv::Size());
  p -= roi.getRoiRect().tl();
  return cv::Rect(0, 0, mask.cols, mask.rows).contains(p) && mask.at<uchar>(p) != 0;
}

// The rectangle holds both end pixels; its crop is a view into the image, without a mask.
TEST(DetectRoi, CropIsAViewInsideTheImageAndAZeroFilledCopyAcrossItsBorder) {
  const cv::Mat image = positionImage(100, 120);
  DetectRoi roi = rectangle(10.2f, 20.7f, 30.5f, 40.0f);
  cv::Mat mask(3, 3, CV_8UC1);
  const cv::Mat crop = roi.getRoiImage(image, &mask);
  EXPECT_TRUE(mask.empty());
  ASSERT_EQ(crop.size(), cv::Size(22, 21));
  EXPECT_EQ(crop.data, image.ptr(20) + 10);  // shares the source pixels
  EXPECT_EQ(roi.getRoiImage(image).data, crop.data);
  // The crop origin is the rectangle's top-left.
  EXPECT_EQ(toImage(roi, cv::Point(0, 0)), cv::Point(10, 20));
  EXPECT_EQ(toRoi(roi, cv::Point2d(15.5, 25.25)), cv::Point2d(5.5, 5.25));

  roi.setReserveSize(-4);  // only a positive margin counts
  EXPECT_EQ(roi.getRoiRect(), cv::Rect(10, 20, 22, 21));

  // Across the image border: a copy, zero outside.
  DetectRoi across = region({{-5, 10}, {9, 10}, {9, 19}, {-5, 19}}, Shape::Polygon);
  const cv::Mat copy = across.getRoiImage(image, &mask);
  ASSERT_EQ(copy.size(), cv::Size(15, 10));
  EXPECT_EQ(cv::countNonZero(copy(cv::Rect(0, 0, 5, 10))), 0);
  EXPECT_TRUE(same(copy(cv::Rect(5, 0, 10, 10)), image(cv::Rect(0, 10, 10, 10))));
  // The mask still covers the whole region, outside columns included.
  EXPECT_TRUE(same(mask, cv::Mat(10, 15, CV_8UC1, cv::Scalar(255))));

  // cropImage itself: fully outside gives zeros of the rectangle's size, of the image's type.
  const cv::Mat colour(10, 10, CV_8UC3, cv::Scalar(1, 2, 3));
  const cv::Mat outside = DetectRoi::cropImage(colour, cv::Rect(20, 20, 4, 3));
  EXPECT_TRUE(same(outside, cv::Mat::zeros(3, 4, CV_8UC3)));
  cv::Mat corner = cv::Mat::zeros(3, 4, CV_8UC3);
  corner(cv::Rect(0, 1, 2, 2)).setTo(cv::Scalar(1, 2, 3));
  EXPECT_TRUE(same(DetectRoi::cropImage(colour, cv::Rect(8, -1, 4, 3)), corner));
  EXPECT_TRUE(DetectRoi::cropImage(colour, cv::Rect(0, 0, 0, 5)).empty());
}

TEST(DetectRoi, NeedMaskOnlyWhenSomeRoiPixelIsOutside) {
  EXPECT_FALSE(DetectRoi().needMask());  // no hull
  DetectRoi roi = rectangle(0, 0, 10, 10);
  // Round-off short of a quarter turn, on either side, still leaves the rectangle axis-aligned.
  const std::pair<float, bool> turns[] = {{30.f, true},       {89.9995f, false}, {-89.9995f, false},
                                          {179.9995f, false}, {89.99f, true},    {0.f, false}};
  for (const auto& [angle, need] : turns) {
    roi.setAngle(angle);
    EXPECT_EQ(roi.needMask(), need) << angle;
  }
  EXPECT_TRUE(region({{0, 0}, {8, 6}, {5, 10}, {-3, 4}}, Shape::Rectangle).needMask());
  DetectRoi two = roi;
  two.addRoi({{20, 0}, {30, 0}, {30, 10}, {20, 10}}, Shape::Rectangle);
  EXPECT_TRUE(two.needMask());
  DetectRoi cut = roi;
  cut.subRoi({{2, 2}, {4, 2}, {4, 4}, {2, 4}}, Shape::Rectangle);
  EXPECT_TRUE(cut.needMask());
  EXPECT_FALSE(roi.needMask());  // a single axis-aligned rectangle; copies do not share lists
}

TEST(DetectRoi, EveryShapeDrawsIntoTheMaskInOrder) {
  // Two rectangles united, a circle removed from the first, in one canvas.
  DetectRoi roi = rectangle(0, 0, 20, 20);
  roi.addRoi({{30, 0}, {40, 0}, {40, 10}, {30, 10}}, Shape::Rectangle);
  roi.subRoi({{10, 10}, {15, 10}}, Shape::Circle);
  cv::Mat want = cv::Mat::zeros(21, 41, CV_8UC1);
  want(cv::Rect(0, 0, 21, 21)).setTo(255);
  want(cv::Rect(30, 0, 11, 11)).setTo(255);
  cv::circle(want, {10, 10}, 5, cv::Scalar(0), cv::FILLED, cv::LINE_8);
  EXPECT_TRUE(same(roi.getMask(cv::Size()), want));
}

TEST(DetectRoi, QuarterTurnOfARectangle) {
  DetectRoi roi = rectangle(0, 0, 99, 49);
  roi.setAngle(cv::Point2f(1, 0));  // +x is to point down the ROI image: 90 degrees
  ASSERT_EQ(roi.getRoiRect(), cv::Rect(0, 0, 100, 50));
  // Turn by -90 degrees about the crop centre (50, 25): (x, y) -> (75 - y, x - 25). The hull
  // then spans 49 x 99; the ROI image is one less than the floor of each: 48 x 98. Centring
  // adds (24 - 50.5, 49 - 24.5).
  EXPECT_EQ(roi.getRoiSize(), cv::Size(48, 98));
  const cv::Mat want = (cv::Mat_<double>(2, 3) << 0, -1, 48.5, 1, 0, -0.5);
  EXPECT_LT(cv::norm(roi.transMat(), want, cv::NORM_INF), 1e-9);
  // The warped image: ROI pixel (u, v) shows source pixel (v + 0.5, 48.5 - u), so the top band
  // turns into the right band.
  cv::Mat image(50, 100, CV_8UC1, cv::Scalar(0));
  image(cv::Rect(0, 0, 100, 10)).setTo(200);
  roi.setInterFlag(cv::INTER_NEAREST);
  cv::Mat mask;
  const cv::Mat turned = roi.getRoiImage(image, &mask);
  ASSERT_EQ(turned.size(), cv::Size(48, 98));
  EXPECT_TRUE(mask.empty());  // still one axis-aligned rectangle
  EXPECT_EQ(at(turned, {{47, 50}, {30, 50}, {0, 50}}), (std::vector<int>{200, 0, 0}));

  // ROI +x is source -y: a rectangle along the ROI x axis lies along -90 degrees in the source.
  cv::RotatedRect r(cv::Point2f(0, 0), cv::Size2f(7, 3), 0);
  roi.toImage(r);
  EXPECT_LE(off(r.center, {0.5, 48.5}), 1e-4);
  EXPECT_NEAR(r.angle, -90, 1e-4);
  EXPECT_EQ(r.size, cv::Size2f(7, 3));
  // Angles measured like setAngle's (from +y toward +x) gain the region's angle.
  float a = 10;
  roi.toImage(a);
  EXPECT_FLOAT_EQ(a, 100);

  // With a margin of 2: the turned extents are unchanged and the size grows by 4.
  roi.setReserveSize(2);
  EXPECT_EQ(roi.getRoiRect(), cv::Rect(-2, -2, 104, 54));
  EXPECT_EQ(roi.getRoiSize(), cv::Size(52, 102));
}

class TurnedScaledMapping : public ::testing::TestWithParam<std::tuple<float, float>> {};

TEST_P(TurnedScaledMapping, ToRoiThenToImageReturnsThePoint) {
  const auto [angle, scale] = GetParam();
  const cv::Point2f c(150.3f, 120.7f);
  DetectRoi roi = region({c, c + cv::Point2f(0, 12), c + cv::Point2f(0, 47)}, Shape::Annulus);
  roi.setAngle(angle);
  roi.setScale(scale);
  roi.setReserveSize(3);
  ASSERT_TRUE(roi.updateTransform(cv::Size()));
  const cv::Point2d centre(150.3, 120.7);
  for (const cv::Point2d& p : {centre, cv::Point2d(101.25, 90.5), cv::Point2d(-3, 400)}) {
    EXPECT_LE(off(toImage(roi, toRoi(roi, p)), p), 1e-9);
    EXPECT_LE(off(toImage(roi, toRoi(roi, cv::Point2f(p))), p), 1e-3);
  }
  // The mask follows the turn and the scale: the ring is inside, its centre not.
  const cv::Mat mask = roi.getMask(cv::Size());
  for (const cv::Point2d& offset : {cv::Point2d(0, 0), cv::Point2d(30, 0), cv::Point2d(0, -30)}) {
    const cv::Point2d q = toRoi(roi, centre + offset);
    EXPECT_EQ(mask.at<uchar>(cvRound(q.y), cvRound(q.x)), offset == cv::Point2d() ? 0 : 255);
  }
  // The scale reaches distances in the ROI image.
  EXPECT_NEAR(cv::norm(toRoi(roi, cv::Point2d(160, 120)) - toRoi(roi, cv::Point2d(150, 120))),
              angle == 0 ? 10 : 10 * scale, 1e-9);
  // Whole pixels: the round trip is off by at most the rounding of the ROI point.
  const double slack = angle == 0 ? 0 : 1.0 / std::min(1.f, scale);
  EXPECT_LE(off(toImage(roi, toRoi(roi, cv::Point(140, 100))), {140, 100}), slack + 0.5);
}

INSTANTIATE_TEST_SUITE_P(DetectRoi, TurnedScaledMapping,
                         ::testing::Combine(::testing::Values(0.f, 30.f, -75.f, 90.f, 181.f),
                                            ::testing::Values(1.f, 0.5f, 2.5f)));

TEST(DetectRoi, LinesAreMappedAndClippedToTheHull) {
  DetectRoi roi = rectangle(10, 10, 50, 50);
  ASSERT_TRUE(roi.updateTransform(cv::Size()));
  // A segment inside: extended to the two hull edges it points at, ends kept in order.
  std::vector<cv::Vec4f> lines = {cv::Vec4f(10, 20, 30, 20), cv::Vec4f(30, 20, 10, 20)};
  roi.toImage(lines);
  EXPECT_LT(cv::norm(lines[0] - cv::Vec4f(10, 30, 50, 30)), 1e-4);
  EXPECT_LT(cv::norm(lines[1] - cv::Vec4f(50, 30, 10, 30)), 1e-4);
  // A segment reaching out on both sides is cut at the hull.
  cv::Vec4f diagonal(-5, -5, 45, 45);  // source (5, 5)-(55, 55): corner to corner
  roi.toImage(diagonal);
  EXPECT_LT(cv::norm(diagonal - cv::Vec4f(10, 10, 50, 50)), 1e-4);
  // A line that misses the hull is only mapped.
  cv::Vec4f away(100, 100, 120, 100);
  roi.toImage(away);
  EXPECT_EQ(away, cv::Vec4f(110, 110, 130, 110));

  // Nothing happens on an invalid region.
  cv::Vec4f kept(1, 2, 3, 4);
  DetectRoi().toImage(kept);
  EXPECT_EQ(kept, cv::Vec4f(1, 2, 3, 4));
}

TEST(DetectRoi, RemovedShapesAloneGiveNoRegion) {
  const cv::Mat image = positionImage(40, 40);
  DetectRoi roi;
  EXPECT_TRUE(roi.subRoi({{10, 10}, {15, 10}}, Shape::Circle));
  EXPECT_FALSE(roi.empty());
  cv::Mat mask(5, 5, CV_8UC1, cv::Scalar(1));
  const cv::Mat whole = roi.getRoiImage(image, &mask);
  EXPECT_EQ(whole.data, image.data);
  EXPECT_EQ(whole.size(), image.size());
  EXPECT_TRUE(mask.empty());
  EXPECT_EQ(roi.getRoiRect(), cv::Rect(0, 0, 0, 0));
  EXPECT_EQ(roi.getRoiSize(), cv::Size(0, 0));
  EXPECT_TRUE(roi.getMask(image.size()).empty());
  EXPECT_EQ(toRoi(roi, toImage(roi, cv::Point(3, 4))), cv::Point(3, 4));
  EXPECT_EQ(roi.highlightRoi(image).data, image.data);
}

TEST(DetectRoi, BadShapesAndHostileGeometryAreRefusedBeforeTheyOverflowOrAllocate) {
  vistrel::AssertCapture capture;
  DetectRoi roi;
  EXPECT_FALSE(roi.addRoi({{0, 0}, {1, 1}, {2, 2}}, Shape::None));
  EXPECT_TRUE(capture.contains("unexpected shape type"));
  EXPECT_TRUE(roi.empty());
  // A mask shape needs an 8-bit single-channel image.
  const cv::Mat wide(4, 4, CV_16UC1, cv::Scalar(1000));
  EXPECT_FALSE(roi.addRoi({{0, 0}, {0, 0}, {3, 0}, {3, 3}}, Shape::Mask, &wide));
  EXPECT_TRUE(capture.contains("mask->empty() || mask->type() == CV_8UC1"));
  // Without one it reports, keeps its outline for the hull and draws nothing.
  EXPECT_TRUE(roi.addRoi({{0, 0}, {0, 0}, {3, 0}, {3, 3}}, Shape::Mask, nullptr));
  EXPECT_TRUE(capture.contains("mask != nullptr"));
  EXPECT_EQ(roi.getRoiRect(), cv::Rect(0, 0, 4, 4));
  EXPECT_EQ(cv::countNonZero(roi.getMask(cv::Size())), 0);
  // Settings out of range keep their old values.
  roi.setScale(0.f);
  roi.setScale(-2.f);
  roi.setFracBit(17);
  roi.setFracBit(-1);
  roi.setAngle(std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(std::make_tuple(roi.scale(), roi.fracBit(), roi.angle()), std::make_tuple(1.f, 0, 0.f));

  // Geometry that no image can hold is refused (reported) instead of overflowing int or sizing
  // a ROI image by a number: the region stays usable and getRoiImage falls back to the image.
  const cv::Mat image(50, 40, CV_8UC1, cv::Scalar(10));
  // (Coordinates beyond any image are refused by addRoi: the file-reading test feeds it NaN,
  // infinities and 3e9.)
  DetectRoi margin = rectangle(5, 5, 10, 10);
  margin.setReserveSize(INT_MAX);
  EXPECT_EQ(margin.reserveSize(), 0);
  margin.setReserveSize(1 << 24);  // allowed, but its ROI image would be all fill
  cv::Mat mask(1, 1, CV_8UC1);
  EXPECT_EQ(margin.getRoiImage(image, &mask).data, image.data);
  EXPECT_TRUE(mask.empty());
  EXPECT_TRUE(capture.contains("!usable || roiSizeFits(roiSize_, image.size())"));

  DetectRoi huge = rectangle(5, 5, 10, 10);
  huge.setAngle(30.f);
  huge.setScale(1e30f);
  EXPECT_EQ(huge.getRoiImage(image, &mask).data, image.data);
  EXPECT_TRUE(huge.getRoiRect().empty());
  EXPECT_TRUE(capture.contains("nb.width <= kMaxExtent && nb.height <= kMaxExtent"));

  // A turned region longer than OpenCV's warp takes (32767 pixels) is refused, not thrown.
  DetectRoi longTurned = rectangle(0, 0, 40000, 3);
  longTurned.setAngle(10.f);
  EXPECT_NO_THROW(longTurned.highlightRoi(image));
  EXPECT_EQ(longTurned.getRoiImage(image, &mask).data, image.data);
  EXPECT_TRUE(capture.contains("warpable"));

  DetectRoi flags;
  flags.setBorderMode(-1);
  flags.setInterFlag(cv::INTER_NEAREST | cv::WARP_INVERSE_MAP);
  flags.setBorderMode(cv::BORDER_TRANSPARENT);
  EXPECT_EQ(flags.interFlag(), cv::INTER_NEAREST | cv::WARP_INVERSE_MAP);
  EXPECT_EQ(flags.borderMode(), cv::BORDER_TRANSPARENT);
  EXPECT_TRUE(capture.contains("mode >= cv::BORDER_CONSTANT && mode <= cv::BORDER_TRANSPARENT"));
}

TEST(DetectRoi, ChangesInvalidateTheCachedGeometry) {
  DetectRoi roi = rectangle(0, 0, 9, 9);
  EXPECT_EQ(roi.getRoiRect(), cv::Rect(0, 0, 10, 10));
  roi.addRoi({{20.5f, 20.5f}, {25.5f, 20.5f}}, Shape::Circle);  // reaches 25.5
  EXPECT_EQ(roi.getRoiRect(), cv::Rect(0, 0, 27, 27));
  roi.setReserveSize(1);
  roi.setAngle(45.f);
  roi.clear();
  EXPECT_TRUE(roi.empty());
  EXPECT_TRUE(roi.roiHull().empty());
  EXPECT_TRUE(roi.transMat().empty());
  EXPECT_EQ(roi.getRoiRect(), cv::Rect(0, 0, 0, 0));
  // Settings survive clear.
  EXPECT_EQ(roi.reserveSize(), 1);
  EXPECT_FLOAT_EQ(roi.angle(), 45);
}

TEST(DetectRoi, MaskOnlyRegionKeepsTheWholeImage) {
  const cv::Mat image = positionImage(30, 40);
  DetectRoi roi;
  roi.setMaskOnly(true);
  roi.addRoi({{5, 5}, {10, 5}}, Shape::Circle);
  // First asked without an image size, a copy stays invalid until it changes (an invalid
  // region falls back to the whole image like one of removed shapes only).
  DetectRoi unsized = roi;
  EXPECT_EQ(unsized.getRoiRect(), cv::Rect(0, 0, 0, 0));
  cv::Mat mask;
  unsized.addRoi({{20, 20}, {22, 20}}, Shape::Circle);
  unsized.getRoiImage(image, &mask);
  EXPECT_EQ(mask.size(), image.size());

  EXPECT_EQ(roi.getRoiImage(image, &mask).data, image.data);
  cv::Mat want = cv::Mat::zeros(image.size(), CV_8UC1);
  cv::circle(want, {5, 5}, 5, cv::Scalar(255), cv::FILLED, cv::LINE_8);
  EXPECT_TRUE(same(mask, want));
  EXPECT_EQ(roi.getRoiRect(), cv::Rect(0, 0, 40, 30));
  // A single rectangle still needs its mask: the ROI image is the whole image.
  DetectRoi rect = rectangle(2, 3, 6, 8);
  rect.setMaskOnly(true);
  EXPECT_EQ(rect.getRoiImage(image, &mask).data, image.data);
  want.setTo(0);
  want(cv::Rect(2, 3, 5, 6)).setTo(255);
  EXPECT_TRUE(same(mask, want));
  // Another image size: the mask follows it.
  roi.getRoiImage(positionImage(50, 60), &mask);
  EXPECT_EQ(mask.size(), cv::Size(60, 50));
}

TEST(DetectRoi, DerivedRegionsTransformEveryShapeAndKeepEveryMaskPixelInPlace) {
  DetectRoi roi = rectangle(10, 10, 30, 20);
  roi.setReserveSize(1);
  roi.setFracBit(1);
  roi.subRoi({{15, 15}, {17, 15}}, Shape::Circle);

  const DetectRoi moved = roi.translate({5, -3});
  EXPECT_EQ(std::make_pair(moved.reserveSize(), moved.fracBit()), std::make_pair(1, 1));
  ASSERT_EQ(moved.addRois().size(), 1u);
  ASSERT_EQ(moved.subRois().size(), 1u);
  EXPECT_EQ(moved.addRois()[0]->getVertexes(), (Points{{15, 7}, {35, 7}, {35, 17}, {15, 17}}));
  EXPECT_EQ(moved.subRois()[0]->getVertexes(), (Points{{20, 12}, {22, 12}}));

  const DetectRoi twice = roi.scaled(2, 3);
  EXPECT_EQ(twice.addRois()[0]->getVertexes(), (Points{{20, 30}, {60, 30}, {60, 60}, {20, 60}}));
  // A circle keeps its defining points: radius from the scaled x offset.
  EXPECT_EQ(twice.subRois()[0]->getVertexes(), (Points{{30, 45}, {34, 45}}));

  const cv::Mat quarter = (cv::Mat_<double>(2, 3) << 0, -1, 100, 1, 0, 0);
  EXPECT_EQ(roi.convert(quarter).addRois()[0]->getVertexes(),
            (Points{{90, 10}, {90, 30}, {80, 30}, {80, 10}}));

  vistrel::AssertCapture capture;
  const DetectRoi bad = roi.convert(cv::Mat_<float>(quarter));
  EXPECT_TRUE(bad.empty());
  EXPECT_EQ(bad.reserveSize(), 0);  // no settings either
  EXPECT_TRUE(roi.convert(cv::Mat()).empty());
  EXPECT_TRUE(roi.convert(cv::Mat::eye(3, 3, CV_64F)).empty());
  EXPECT_TRUE(roi.scaled(0, 1).empty());
  EXPECT_EQ(capture.messages().size(), 4u);

  // A 3 x 2 mask at (20, 10) with one inside pixel at mask (2, 1), source (22, 11).
  cv::Mat mask = cv::Mat::zeros(2, 3, CV_8UC1);
  mask.at<uchar>(1, 2) = 255;
  DetectRoi masked;
  // The outline covers the mask's pixels.
  masked.addRoi({{20, 10}, {20, 10}, {23, 10}, {23, 12}, {20, 12}}, Shape::Mask, &mask);
  masked.addRoi({{0, 0}, {1, 0}, {1, 1}}, Shape::Polygon);  // so that a mask is built

  DetectRoi translated = masked.translate({7, 4});
  EXPECT_TRUE(holds(translated, {29, 15}));
  EXPECT_EQ(maskOf(*translated.addRois()[0]).mask.data, mask.data);
  // Translation through convert: the same place, not shifted twice.
  DetectRoi shifted = masked.convert((cv::Mat_<double>(2, 3) << 1, 0, 7, 0, 1, 4));
  EXPECT_TRUE(holds(shifted, {29, 15}));

  // A quarter turn (x, y) -> (100 - y, x): (22, 11) lands on (89, 22), left of the mapped
  // anchor (90, 20); the mask image is re-anchored so that nothing is cut off.
  DetectRoi turned = masked.convert(quarter);
  EXPECT_EQ(maskOf(*turned.addRois()[0]).anchor, cv::Point2f(89, 20));
  EXPECT_EQ(maskOf(*turned.addRois()[0]).mask.size(), cv::Size(2, 3));
  EXPECT_TRUE(holds(turned, {89, 22}));

  DetectRoi bigger = masked.scaled(2, 2);
  EXPECT_EQ(maskOf(*bigger.addRois()[0]).anchor, cv::Point2f(40, 20));
  EXPECT_EQ(maskOf(*bigger.addRois()[0]).mask.size(), cv::Size(6, 4));
  for (cv::Point p : {cv::Point(44, 22), cv::Point(45, 22), cv::Point(44, 23), cv::Point(45, 23)})
    EXPECT_TRUE(holds(bigger, p)) << p;
}

TEST(DetectRoi, HighlightPutsTheRegionIntoAlpha) {
  const cv::Mat image = positionImage(40, 50);
  // A region that needs no mask has nothing to highlight: the image itself comes back.
  EXPECT_EQ(rectangle(10, 5, 29, 14).highlightRoi(image).data, image.data);

  // Grey goes into the colour channels; a circle lines up with its source position.
  DetectRoi disc = region({{30, 20}, {36, 20}}, Shape::Circle);
  cv::Mat want = cv::Mat::zeros(image.size(), CV_8UC1);
  cv::circle(want, {30, 20}, 6, cv::Scalar(255), cv::FILLED, cv::LINE_8);
  cv::Mat lit;
  cv::merge(std::vector<cv::Mat>{image, image, image, want}, lit);
  EXPECT_TRUE(same(disc.highlightRoi(image), lit));

  // Colour input keeps its channels.
  cv::Mat colour;
  cv::merge(std::vector<cv::Mat>{image, image + 1, image * 0}, colour);
  cv::merge(std::vector<cv::Mat>{image, image + 1, image * 0, want}, lit);
  EXPECT_TRUE(same(disc.highlightRoi(colour), lit));

  // Turned: the alpha still sits on the region in the source image.
  disc.setAngle(40.f);
  std::vector<cv::Mat> planes;
  cv::split(disc.highlightRoi(colour), planes);
  EXPECT_EQ(at(planes[3], {{30, 20}, {27, 20}, {30, 23}, {38, 20}, {5, 5}}),
            (std::vector<int>{255, 255, 255, 0, 0}));

  vistrel::AssertCapture capture;
  EXPECT_TRUE(disc.highlightRoi(cv::Mat(10, 10, CV_8UC2)).empty());
  EXPECT_TRUE(capture.contains("highlightRoi: unexpected channel."));
}

}  // namespace
