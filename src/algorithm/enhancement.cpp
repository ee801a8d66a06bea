#include "enhancement.h"

#include <array>
#include <cstdlib>
#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/imgproc.hpp>

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

// Copies `source` into `sharpened` wherever |source - blurred| < threshold (all three 8-bit,
// of one size): the difference image, its mask and the masked copy in one pass.
void keepLowContrast(const cv::Mat& source, const cv::Mat& blurred, int threshold,
                     cv::Mat& sharpened) {
  for (int r = 0; r < source.rows; ++r) {
    const uchar* s = source.ptr<uchar>(r);
    const uchar* b = blurred.ptr<uchar>(r);
    uchar* d = sharpened.ptr<uchar>(r);
    int c = 0;
#if CV_SIMD128
    const cv::v_uint8x16 limit = cv::v_setall_u8(static_cast<uchar>(threshold));
    for (; c + 16 <= source.cols; c += 16) {  // sixteen at a time; the loop below finishes
      const cv::v_uint8x16 vs = cv::v_load(s + c);
      const cv::v_uint8x16 keep = cv::v_absdiff(vs, cv::v_load(b + c)) < limit;
      cv::v_store(d + c, cv::v_select(keep, vs, cv::v_load(d + c)));
    }
#endif
    for (; c < source.cols; ++c) {
      if (std::abs(s[c] - b[c]) < threshold) d[c] = s[c];
    }
  }
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
  constexpr int kThreshold = 5;

  cv::Mat blurred;
  cv::GaussianBlur(source, blurred, cv::Size(0, 0), kSigma, 0.0, cv::BORDER_DEFAULT);
  cv::Mat sharpened = source * (1 + kAmount) + blurred * (-kAmount);
  keepLowContrast(source, blurred, kThreshold, sharpened);
  return sharpened;
}
