#include "enhancement.h"

#include <array>
#include <opencv2/imgproc.hpp>

namespace fluorescence {

namespace {

// The same mapping as cv::equalizeHist, computed over the pixels inside `mask` only.
void equalizeMasked(const cv::Mat& source, cv::Mat& destination, const cv::Mat& mask) {
  CV_Assert(mask.type() == CV_8UC1 && mask.size() == source.size());
  std::array<int, 256> histogram{};
  int total = 0;
  for (int r = 0; r < source.rows; ++r) {
    const uchar* s = source.ptr<uchar>(r);
    const uchar* m = mask.ptr<uchar>(r);
    for (int c = 0; c < source.cols; ++c) {
      if (m[c] != 0) {
        ++histogram[s[c]];
        ++total;
      }
    }
  }

  cv::Mat result = source.clone();
  if (total > 0) {
    int first = 0;
    while (histogram[first] == 0) ++first;
    std::array<uchar, 256> lut{};
    if (histogram[first] == total) {
      lut.fill(static_cast<uchar>(first));  // a single level stays where it is
    } else {
      const float scale = 255.0f / static_cast<float>(total - histogram[first]);
      int sum = 0;
      for (int i = first + 1; i < 256; ++i) {
        sum += histogram[i];
        lut[i] = cv::saturate_cast<uchar>(static_cast<float>(sum) * scale);
      }
    }
    for (int r = 0; r < source.rows; ++r) {
      const uchar* m = mask.ptr<uchar>(r);
      uchar* d = result.ptr<uchar>(r);
      for (int c = 0; c < source.cols; ++c) {
        if (m[c] != 0) d[c] = lut[d[c]];
      }
    }
  }
  result.copyTo(destination);  // in place when `destination` already has the size
}

}  // namespace

void equalizeImage(const cv::Mat& source, cv::Mat& destination, const cv::Mat& mask) {
  if (mask.empty()) {
    cv::equalizeHist(source, destination);
    return;
  }
  CV_Assert(source.type() == CV_8UC1);
  equalizeMasked(source, destination, mask);
}

cv::Mat unsharpMask(const cv::Mat& source) {
  if (source.empty()) return cv::Mat();
  CV_Assert(source.type() == CV_8UC1);
  constexpr double kSigma = 3.0;
  constexpr double kAmount = 3 * 0.5;
  constexpr double kThreshold = 5.0;

  cv::Mat blurred;
  cv::GaussianBlur(source, blurred, cv::Size(0, 0), kSigma, 0.0, cv::BORDER_DEFAULT);
  cv::Mat difference;
  cv::absdiff(source, blurred, difference);
  const cv::Mat lowContrast = difference < kThreshold;
  cv::Mat sharpened = source * (1 + kAmount) + blurred * (-kAmount);
  source.copyTo(sharpened, lowContrast);
  return sharpened;
}

}  // namespace fluorescence
