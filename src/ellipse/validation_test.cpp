#include "validation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <opencv2/imgproc.hpp>
#include <utility>

#include "detectorconstants.h"
#include "outline.h"
#include "scenes/scenes.h"
#include "vistrel/assert.h"

namespace ced {
namespace {

// Edge map with 255 on every pixel whose centre lies within half a pixel of the circle
// (detector coordinates: pixel (row i, column j) is the point (j, i)).
cv::Mat ringEdges(cv::Size size, double xc, double yc, double r) {
  cv::Mat edges(size, CV_8UC1, cv::Scalar(0));
  for (int i = 1; i < size.height - 1; ++i)
    for (int j = 1; j < size.width - 1; ++j)
      if (std::fabs(std::hypot(j - xc, i - yc) - r) < 0.5) edges.at<uchar>(i, j) = 255;
  return edges;
}

cv::Mat smoothHalf(const cv::Mat& image) {
  cv::Mat s;
  cv::GaussianBlur(image, s, cv::Size(), 0.5, 0.5, cv::BORDER_REFLECT_101);
  return s;
}

ShapeCandidate circleCandidate(double xc, double yc, double r) {
  CandidateList list;
  addCircleCandidate(list, xc, yc, r, 0.0, nullptr, nullptr, 0);
  return list[0];
}

// A rendered disc of radius 30; scene centre (60.5, 50.5) is pixel (60, 50) in detector
// coordinates.
class ValidationOfADisc : public ::testing::Test {
 protected:
  const cv::Mat disc = scenes::renderDisc({120, 100}, {60.5, 50.5}, 30.0, 200, 50);
  const cv::Mat edges = ringEdges(disc.size(), 60, 50, 30);
  const cv::Mat grey = smoothHalf(disc);
  const CandidateValidator v{edges, grey};
};

TEST_F(ValidationOfADisc, OnlyItsOwnOutlineInsideTheImageIsMeaningful) {
  const AlignmentCount own = v.countAligned(circleCandidate(60, 50, 30));
  // About 2π·30 outline points; repeats of a pixel are counted once.
  EXPECT_GT(own.samples, 150);
  EXPECT_LE(own.samples, static_cast<int>(circleOutline(60, 50, 30).size()));
  EXPECT_GE(own.aligned, own.samples * 95 / 100);
  EXPECT_TRUE(v.isMeaningful(circleCandidate(60, 50, 30)));

  const AlignmentCount shifted = v.countAligned(circleCandidate(67, 50, 30));
  EXPECT_LT(shifted.aligned, shifted.samples / 8);
  EXPECT_FALSE(v.isMeaningful(circleCandidate(67, 50, 30)));

  // Same circle on an image without edges: samples but nothing aligned.
  const CandidateValidator blank(cv::Mat::zeros(disc.size(), CV_8UC1), grey);
  const AlignmentCount none = blank.countAligned(circleCandidate(60, 50, 30));
  EXPECT_EQ(std::pair(none.samples, none.aligned), std::pair(own.samples, 0));

  const ShapeCandidate outside = circleCandidate(-100, -100, 20);
  const AlignmentCount c = v.countAligned(outside);
  // Outside the image: samples, none aligned; every point lies outside, so none is a repeat.
  EXPECT_EQ(std::pair(c.samples, c.aligned),
            std::pair(static_cast<int>(circleOutline(-100, -100, 20).size()), 0));
  EXPECT_GE(c.samples, static_cast<int>(std::floor(kTwoPi * 20 + 0.5)));
  EXPECT_FALSE(v.isMeaningful(outside));
  // A radius above the larger image side is never meaningful, even on a perfect edge.
  EXPECT_FALSE(v.isMeaningful(circleCandidate(60, 50, 121)));
  ShapeCandidate broken = circleCandidate(60, 50, 30);
  broken.r = std::nan("");
  EXPECT_FALSE(v.isMeaningful(broken));
}

TEST(Validation, OnTheDiagonalTheSearchRunsAlongTheColumn) {
  // Circle (50, 50), r = 20: its outline point at 45 degrees is pixel (64, 64), where
  // d1 = 14 - 14 = 0 and d2 = 28, so it looks along its column. An edge pixel two rows below
  // it is found (and its radial gradient agrees); three rows below is too far. No other
  // outline point reaches either pixel: its neighbours on the outline, (65, 64) and (63, 65),
  // look along row 64 and column 63.
  const cv::Mat disc = scenes::renderDisc({100, 100}, {50.5, 50.5}, 20.0, 200, 50, 1.0);
  const cv::Mat grey = smoothHalf(disc);
  const ShapeCandidate circle = circleCandidate(50, 50, 20);
  for (const auto& [row, aligned] : {std::pair{66, 1}, {67, 0}}) {
    cv::Mat edge(disc.size(), CV_8UC1, cv::Scalar(0));
    edge.at<uchar>(row, 64) = 255;
    EXPECT_EQ(CandidateValidator(edge, grey).countAligned(circle).aligned, aligned) << row;
  }
}

constexpr const char* kInputCheck =
    "edgeMap.type() == CV_8UC1 && grey.type() == CV_8UC1 && edgeMap.size() == grey.size()";

TEST_F(ValidationOfADisc, UnusableInputIsReportedAndValidatesNothing) {
  vistrel::AssertCapture capture;
  const CandidateValidator wrongSize(edges, grey(cv::Rect(0, 0, 60, 50)));
  EXPECT_TRUE(capture.contains(kInputCheck));
  CandidateList in, out;
  addCircleCandidate(in, 60, 50, 30, 0.1, nullptr, nullptr, 0);
  wrongSize.validate(in, out);
  EXPECT_TRUE(out.empty());
  capture.clear();
  cv::Mat wide;
  disc.convertTo(wide, CV_16U);
  const CandidateValidator wrongType(edges, wide);
  EXPECT_TRUE(capture.contains(kInputCheck));
  EXPECT_FALSE(wrongType.isMeaningful(in[0]));
}

}  // namespace
}  // namespace ced
