#include "peak/peakshared.h"

#include <cmath>
#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/imgproc.hpp>

#include "vistrel/assert.h"

namespace vistrel {
namespace {

constexpr float kInvSqrt2 = 0.70710678118654752f;

// The cosine of an angle as the dot product of the unit vectors at 0 degrees and at `deg`.
float cosBetweenUnitVectors(double deg) {
  const double rad = deg * CV_PI / 180.0;
  return static_cast<float>(1.0 * std::cos(rad) + 0.0 * std::sin(rad));
}

void magnitudeRow(const short* gx, const short* gy, float* out, int n) {
  int x = 0;
#if CV_SIMD128
  // Eight pixels per round. Squares and their sum are integers below 2^24, exact in float,
  // and the square root is correctly rounded: the lanes equal the scalar formula bit for bit.
  for (; x + 8 <= n; x += 8) {
    cv::v_int32x4 xLo, xHi, yLo, yHi;
    cv::v_expand(cv::v_load(gx + x), xLo, xHi);
    cv::v_expand(cv::v_load(gy + x), yLo, yHi);
    const cv::v_float32x4 fxLo = cv::v_cvt_f32(xLo), fxHi = cv::v_cvt_f32(xHi);
    const cv::v_float32x4 fyLo = cv::v_cvt_f32(yLo), fyHi = cv::v_cvt_f32(yHi);
    cv::v_store(out + x, cv::v_sqrt(fxLo * fxLo + fyLo * fyLo));
    cv::v_store(out + x + 4, cv::v_sqrt(fxHi * fxHi + fyHi * fyHi));
  }
#endif
  for (; x < n; ++x) {
    const float fx = gx[x], fy = gy[x];
    out[x] = std::sqrt(fx * fx + fy * fy);
  }
}

}  // namespace

// Built at start-up; nothing uses it during static initialisation.
const NeighbourDir kNeighbourDirs[8] = {
    {{1, 0}, {1.f, 0.f}},   {{1, 1}, {kInvSqrt2, kInvSqrt2}},
    {{0, 1}, {0.f, 1.f}},   {{-1, 1}, {-kInvSqrt2, kInvSqrt2}},
    {{-1, 0}, {-1.f, 0.f}}, {{-1, -1}, {-kInvSqrt2, -kInvSqrt2}},
    {{0, -1}, {0.f, -1.f}}, {{1, -1}, {kInvSqrt2, -kInvSqrt2}},
};

float cosLimit20() {
  static const float value = cosBetweenUnitVectors(20.0);
  return value;
}

float cosLimit10() {
  static const float value = cosBetweenUnitVectors(10.0);
  return value;
}

void reducedGradients(const cv::Mat& grey, cv::Mat& gx, cv::Mat& gy, int xStep, int yStep,
                      const cv::Mat* mask, cv::Mat* reducedMask) {
  const bool xOk = VISTREL_CHECK(xStep > 0 && (xStep % 2 == 0 || xStep == 1));
  const bool yOk = VISTREL_CHECK(yStep > 0 && (yStep % 2 == 0 || yStep == 1));
  if (!xOk || !yOk || grey.empty()) {
    gx.release();
    gy.release();
    if (reducedMask) reducedMask->release();
    return;
  }
  const double fx = 1.0 / xStep, fy = 1.0 / yStep;
  cv::Mat reduced;
  if (xStep == 1 && yStep == 1) {
    reduced = grey;
  } else {
    cv::resize(grey, reduced, cv::Size(), fx, fy, cv::INTER_NEAREST);
  }
  cv::Sobel(reduced, gx, CV_16S, 1, 0, 3, 1, 0, cv::BORDER_DEFAULT);
  cv::Sobel(reduced, gy, CV_16S, 0, 1, 3, 1, 0, cv::BORDER_DEFAULT);
  if (mask && reducedMask) {
    if (xStep == 1 && yStep == 1) {
      *reducedMask = *mask;
    } else {
      cv::resize(*mask, *reducedMask, cv::Size(), fx, fy, cv::INTER_NEAREST);
    }
  }
}

void gradientMagnitude(const cv::Mat& sobelX, const cv::Mat& sobelY, cv::Mat& magnitude) {
  if (!VISTREL_CHECK(sobelX.size == sobelY.size) || sobelX.type() != CV_16SC1 ||
      sobelY.type() != CV_16SC1) {
    magnitude.release();
    return;
  }
  magnitude.create(sobelX.size(), CV_32FC1);
  for (int y = 0; y < sobelX.rows; ++y) {
    magnitudeRow(sobelX.ptr<short>(y), sobelY.ptr<short>(y), magnitude.ptr<float>(y), sobelX.cols);
  }
}

void subpixelPeak(float m, float mBackward, float mForward, float gx, float gy, float x, float y,
                  const cv::Point2f& direction, float& outX, float& outY, float& outMagnitude) {
  const float c2 = (mBackward + mForward) / 2 - m;
  if (std::fabs(c2) < 1.1920929e-07f || m <= 0) {
    outX = x, outY = y, outMagnitude = m;
    return;
  }
  const float c1 = (mForward - mBackward) / 2;
  const float t = -c1 / (2 * c2);
  outMagnitude = m + c1 * t / 2;
  const float ux = gx / m, uy = gy / m;
  const float s = (ux * direction.x + uy * direction.y) * t;
  outX = x + s * ux;
  outY = y + s * uy;
}

void sobelPatch(const cv::Mat& img, cv::Mat& gx, cv::Mat& gy, cv::Mat& magnitude, int px, int py,
                int half_m, int half_n) {
  const bool sizeOk = VISTREL_CHECK(half_m >= 1 && half_m <= 5 && half_n >= 1 && half_n <= 5);
  const bool xOk = VISTREL_CHECK(px >= half_n && px <= img.cols - 1 - half_n);
  const bool yOk = VISTREL_CHECK(py >= half_m && py <= img.rows - 1 - half_m);
  if (!sizeOk || !xOk || !yOk || img.type() != CV_8UC1) {
    gx.release();
    gy.release();
    magnitude.release();
    return;
  }
  const int rows = 2 * half_m + 1, cols = 2 * half_n + 1;
  gx = cv::Mat::zeros(rows, cols, CV_16SC1);
  gy = cv::Mat::zeros(rows, cols, CV_16SC1);
  magnitude = cv::Mat::zeros(rows, cols, CV_32FC1);
  for (int r = 0; r < rows; ++r) {
    const int y = py - half_m + r;
    if (y <= 0 || y >= img.rows - 1) continue;
    const uchar* up = img.ptr<uchar>(y - 1);
    const uchar* mid = img.ptr<uchar>(y);
    const uchar* down = img.ptr<uchar>(y + 1);
    for (int c = 0; c < cols; ++c) {
      const int x = px - half_n + c;
      if (x <= 0 || x >= img.cols - 1) continue;
      const int diag1 = down[x + 1] - up[x - 1];  // bottom-right minus top-left
      const int diag2 = up[x + 1] - down[x - 1];  // top-right minus bottom-left
      const int dx = diag1 + diag2 + 2 * (mid[x + 1] - mid[x - 1]);
      const int dy = diag1 - diag2 + 2 * (down[x] - up[x]);
      gx.at<short>(r, c) = static_cast<short>(dx);
      gy.at<short>(r, c) = static_cast<short>(dy);
      const float fx = static_cast<float>(dx), fy = static_cast<float>(dy);
      magnitude.at<float>(r, c) = std::sqrt(fx * fx + fy * fy);
    }
  }
}

}  // namespace vistrel
