#pragma once

// Image comparisons and shape access shared by the region tests.

#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <vector>

#include "roishapes.h"

namespace vistrel::roitest {

using Shape = DetectRoi::ShapeType;
using Points = std::vector<cv::Point2f>;

// Holds when both images have the same size, type and values; says how many values differ.
inline ::testing::AssertionResult same(const cv::Mat& a, const cv::Mat& b) {
  if (a.size() != b.size() || a.type() != b.type()) {
    return ::testing::AssertionFailure() << "another size or type";
  }
  const int n = cv::countNonZero(cv::Mat(a != b).reshape(1));
  if (n != 0) return ::testing::AssertionFailure() << n << " values differ";
  return ::testing::AssertionSuccess();
}

// The values of an 8-bit single-channel image at the given (x, y) pixels.
inline std::vector<int> at(const cv::Mat& image, const std::vector<cv::Point>& pixels) {
  std::vector<int> values;
  for (const cv::Point& p : pixels) values.push_back(image.at<uchar>(p));
  return values;
}

// A shape known to be a mask shape.
inline const DetectRoi::RoiMask& maskOf(const DetectRoi::ShapedRoiBase& shape) {
  return static_cast<const DetectRoi::RoiMask&>(shape);
}

}  // namespace vistrel::roitest
