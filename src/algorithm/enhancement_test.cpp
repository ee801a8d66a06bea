#include "enhancement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace fluorescence {
namespace {

// The blur of the step at column x, from the Gaussian's own formula (sigma 3; OpenCV's
// derived kernel for 8-bit images has 25 taps, half-width 12).
double blurredStep(int x, int edge, double dark, double bright) {
  double sum = 0.0, value = 0.0;
  for (int k = -12; k <= 12; ++k) {
    const double w = std::exp(-k * k / (2.0 * 3.0 * 3.0));
    sum += w;
    value += w * (x + k < edge ? dark : bright);
  }
  return value / sum;
}

TEST(UnsharpMask, StepEdgeOvershootsOnBothSidesAndFarPixelsStay) {
  // A vertical step edge: 50 left of column 40, 200 from there on.
  const int edge = 40;
  cv::Mat step(16, 80, CV_8UC1, cv::Scalar(50));
  step.colRange(edge, step.cols).setTo(200);
  const cv::Mat sharpened = unsharpMask(step);
  ASSERT_EQ(sharpened.size(), step.size());

  // Right at the edge: dark side pushed to 0, bright side to 255 (both saturate).
  EXPECT_EQ(sharpened.at<uchar>(8, edge - 1), 0);
  EXPECT_EQ(sharpened.at<uchar>(8, edge), 255);

  // Every column against 2.5 * source - 1.5 * blurred, or the source where they differ by
  // less than 5. Columns too close to that threshold to call are skipped; the 8-bit blur
  // rounds, so a sharpened value may differ by up to 2.
  for (int x = 0; x < step.cols; ++x) {
    const double source = x < edge ? 50.0 : 200.0, blurred = blurredStep(x, edge, 50.0, 200.0);
    const double contrast = std::abs(source - blurred);
    if (std::abs(contrast - 5.0) < 1.0) continue;
    const double expected =
        contrast < 5.0 ? source : std::clamp(2.5 * source - 1.5 * blurred, 0.0, 255.0);
    for (int y : {0, 8, 15}) EXPECT_NEAR(sharpened.at<uchar>(y, x), expected, 2.0) << x << "," << y;
  }
  // Beyond the blur's reach the image is exactly the source.
  const cv::Range left(0, edge - 13), right(edge + 13, step.cols);
  EXPECT_EQ(cv::norm(sharpened.colRange(left), step.colRange(left), cv::NORM_INF), 0.0);
  EXPECT_EQ(cv::norm(sharpened.colRange(right), step.colRange(right), cv::NORM_INF), 0.0);
}

TEST(UnsharpMask, EmptyGivesEmptyAndOtherTypesAreRefused) {
  EXPECT_TRUE(unsharpMask(cv::Mat()).empty());
  EXPECT_THROW(unsharpMask(cv::Mat(4, 4, CV_8UC3, cv::Scalar::all(1))), cv::Exception);
}

TEST(EqualizeImage, ValuesFrom100To150AreStretchedOver0To255) {
  // Each of the 51 levels 100..150 on one row of 4 pixels: level 100 + j maps to
  // round(j * 255 / 50) = round(5.1 * j).
  cv::Mat image(51, 4, CV_8UC1);
  for (int j = 0; j <= 50; ++j) image.row(j).setTo(100 + j);
  cv::Mat equalized;
  equalizeImage(image, equalized);
  double low = 0, high = 0;
  cv::minMaxIdx(equalized, &low, &high);
  EXPECT_EQ(low, 0.0);
  EXPECT_EQ(high, 255.0);
  EXPECT_EQ(equalized.at<uchar>(1, 0), 5);
  EXPECT_EQ(equalized.at<uchar>(10, 3), 51);
  EXPECT_EQ(equalized.at<uchar>(49, 2), 250);

  // In place gives the same.
  equalizeImage(image, image);
  EXPECT_EQ(cv::norm(image, equalized, cv::NORM_INF), 0.0);
}

TEST(EqualizeImage, MaskLimitsBothTheHistogramAndTheRemapping) {
  // Inside the mask (top row) only 100 and 150; outside, 100 and 7 must stay as they are.
  cv::Mat image = (cv::Mat_<uchar>(2, 4) << 100, 100, 150, 150, 100, 7, 7, 7);
  const cv::Mat mask = (cv::Mat_<uchar>(2, 4) << 255, 255, 255, 255, 0, 0, 0, 0);
  cv::Mat equalized;
  equalizeImage(image, equalized, mask);
  const cv::Mat expected = (cv::Mat_<uchar>(2, 4) << 0, 0, 255, 255, 100, 7, 7, 7);
  EXPECT_EQ(cv::norm(equalized, expected, cv::NORM_INF), 0.0);

  // A single level inside the mask stays; an empty mask changes nothing.
  const cv::Mat flat(2, 2, CV_8UC1, cv::Scalar(90));
  equalizeImage(flat, equalized, cv::Mat(2, 2, CV_8UC1, cv::Scalar(1)));
  EXPECT_EQ(cv::countNonZero(equalized != 90), 0);
  equalizeImage(image, equalized, cv::Mat::zeros(2, 4, CV_8UC1));
  EXPECT_EQ(cv::norm(equalized, image, cv::NORM_INF), 0.0);

  EXPECT_THROW(equalizeImage(image, equalized, cv::Mat(3, 3, CV_8UC1)), cv::Exception);
}

}  // namespace
}  // namespace fluorescence
