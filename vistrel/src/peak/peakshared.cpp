#include "peak/peakshared.h"

#include <algorithm>
#include <cmath>
#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "core/lanetable.h"
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

// Reflect-101 index of x in 0..n - 1: -1 is 1 and n is n - 2; a single pixel reflects onto
// itself. The only neighbours the 3 x 3 Sobel reaches past an edge.
inline int reflect101(int x, int n) {
  if (x < 0) return n > 1 ? 1 : 0;
  if (x >= n) return n > 1 ? n - 2 : 0;
  return x;
}

// One row of the 3 x 3 Sobel derivatives of n pixels from the rows above, at and below it:
// gx from the differences of the right and left neighbours weighted 1, 2, 1 down the rows, gy
// from the bottom row's 1, 2, 1 sum minus the top row's. `left` and `right` are the column
// offsets that stand for columns -1 and n (outside the row where the image is a view into a
// wider one). Integer sums below 2^11 in magnitude: every order of adding gives the same value.
void sobelRow(const uchar* up, const uchar* mid, const uchar* down, int n, int left, int right,
              short* gx, short* gy) {
  const auto pixel = [&](int x) {
    const int l = x == 0 ? left : x - 1, r = x == n - 1 ? right : x + 1;
    gx[x] = static_cast<short>((up[r] - up[l]) + 2 * (mid[r] - mid[l]) + (down[r] - down[l]));
    gy[x] = static_cast<short>((down[l] + 2 * down[x] + down[r]) - (up[l] + 2 * up[x] + up[r]));
  };
  pixel(0);
  int x = 1;
#if CV_SIMD128
  // Eight columns per round, all three neighbours inside the row (x + 8 <= n - 1). The 16-bit
  // lanes saturate, but no sum here comes near 2^15.
  const auto load = [](const uchar* p) { return cv::v_reinterpret_as_s16(cv::v_load_expand(p)); };
  for (; x + 9 <= n; x += 8) {
    const cv::v_int16x8 ul = load(up + x - 1), uc = load(up + x), ur = load(up + x + 1);
    const cv::v_int16x8 ml = load(mid + x - 1), mr = load(mid + x + 1);
    const cv::v_int16x8 dl = load(down + x - 1), dc = load(down + x), dr = load(down + x + 1);
    const cv::v_int16x8 dm = mr - ml;
    cv::v_store(gx + x, (ur - ul) + dm + dm + (dr - dl));
    cv::v_store(gy + x, (dl + dc + dc + dr) - (ul + uc + uc + ur));
  }
#endif
  for (; x < n - 1; ++x) pixel(x);
  if (n > 1) pixel(n - 1);
}

// Every second byte of a row of `inLength` bytes: out[x] = in[2 x] for x < n. The vector
// rounds read 32 bytes each and stop before passing the row's end.
void evenColumns(const uchar* in, int inLength, uchar* out, int n) {
  int x = 0;
#if CV_SIMD128
  for (; x + 16 <= n && 2 * x + 32 <= inLength; x += 16) {
    cv::v_uint8x16 even, odd;
    cv::v_load_deinterleave(in + 2 * x, even, odd);
    cv::v_store(out + x, even);
  }
#endif
  for (; x < n; ++x) out[x] = in[2 * x];
}

}  // namespace

void sampleEvery(const cv::Mat& src, cv::Mat& dst, int xStep, int yStep) {
  if (!VISTREL_CHECK(src.type() == CV_8UC1 && xStep > 0 && yStep > 0) || src.empty()) {
    dst.release();
    return;
  }
  // Size and source pixels as OpenCV's nearest-neighbour resize by the factors 1 / step
  // derives them, so that the result is that resize's, pixel for pixel.
  const double fx = 1.0 / xStep, fy = 1.0 / yStep;
  const double ifx = 1.0 / fx, ify = 1.0 / fy;
  const cv::Size size(cv::saturate_cast<int>(src.cols * fx), cv::saturate_cast<int>(src.rows * fy));
  if (size.width <= 0 || size.height <= 0) {
    dst.release();
    return;
  }
  cv::Mat out(size, CV_8UC1);  // not `dst` itself: it may be `src`
  std::vector<int> xofs(static_cast<size_t>(size.width));
  bool everySecond = true;
  for (int x = 0; x < size.width; ++x) {
    xofs[static_cast<size_t>(x)] = std::min(cvFloor(x * ifx), src.cols - 1);
    everySecond = everySecond && xofs[static_cast<size_t>(x)] == 2 * x;
  }
  for (int y = 0; y < size.height; ++y) {
    const uchar* in = src.ptr<uchar>(std::min(cvFloor(y * ify), src.rows - 1));
    uchar* o = out.ptr<uchar>(y);
    if (everySecond) {
      evenColumns(in, src.cols, o, size.width);
    } else {
      for (int x = 0; x < size.width; ++x) o[x] = in[xofs[static_cast<size_t>(x)]];
    }
  }
  dst = out;
}

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
                      const cv::Mat* mask, cv::Mat* reducedMask, cv::Mat* magnitude) {
  const bool xOk = VISTREL_CHECK(xStep > 0 && (xStep % 2 == 0 || xStep == 1));
  const bool yOk = VISTREL_CHECK(yStep > 0 && (yStep % 2 == 0 || yStep == 1));
  if (!xOk || !yOk || grey.empty()) {
    gx.release();
    gy.release();
    if (reducedMask) reducedMask->release();
    if (magnitude) magnitude->release();
    return;
  }
  // One-byte images take the fast path; any other keeps OpenCV's resize, which it equals.
  const auto reduce = [xStep, yStep](const cv::Mat& src, cv::Mat& dst) {
    if (src.type() == CV_8UC1) {
      sampleEvery(src, dst, xStep, yStep);
    } else {
      cv::resize(src, dst, cv::Size(), 1.0 / xStep, 1.0 / yStep, cv::INTER_NEAREST);
    }
  };
  cv::Mat reduced;
  if (xStep == 1 && yStep == 1) {
    reduced = grey;
  } else {
    reduce(grey, reduced);
  }
  if (reduced.empty()) {  // a step wider than the image
    gx.release();
    gy.release();
    if (reducedMask) reducedMask->release();
    if (magnitude) magnitude->release();
    return;
  }
  sobelGradients(reduced, gx, gy, magnitude);
  if (mask && reducedMask) {
    if (xStep == 1 && yStep == 1) {
      *reducedMask = *mask;
    } else {
      reduce(*mask, *reducedMask);
    }
  }
}

void sobelGradients(const cv::Mat& img, cv::Mat& gx, cv::Mat& gy, cv::Mat* magnitude) {
  if (img.type() != CV_8UC1 || img.empty()) {
    gx.release();
    gy.release();
    if (magnitude) magnitude->release();
    return;
  }
  const int rows = img.rows, cols = img.cols;
  // As OpenCV's filters do, a view reads its neighbours past its edges from the image it views
  // and reflects only at that image's border.
  cv::Size whole;
  cv::Point ofs;
  img.locateROI(whole, ofs);
  const int left = reflect101(ofs.x - 1, whole.width) - ofs.x;
  const int right = reflect101(ofs.x + cols, whole.width) - ofs.x;
  const auto row = [&](int y) {
    return img.data + static_cast<ptrdiff_t>(reflect101(ofs.y + y, whole.height) - ofs.y) *
                          static_cast<ptrdiff_t>(img.step[0]);
  };
  gx.create(img.size(), CV_16SC1);
  gy.create(img.size(), CV_16SC1);
  if (magnitude) magnitude->create(img.size(), CV_32FC1);
  for (int y = 0; y < rows; ++y) {
    short* gxRow = gx.ptr<short>(y);
    short* gyRow = gy.ptr<short>(y);
    sobelRow(row(y - 1), img.ptr<uchar>(y), row(y + 1), cols, left, right, gxRow, gyRow);
    // The row's magnitudes while its derivatives are still in the cache.
    if (magnitude) magnitudeRow(gxRow, gyRow, magnitude->ptr<float>(y), cols);
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

#if CV_SIMD128
namespace {

// The kept columns of a round of four, compacted with one store instead of one per lane.
constexpr LaneTable<4, int> kLaneCompaction{};

// Appends the columns x + lane of the lanes set in `keep` to out[count ...] (writing four
// entries, of which only the kept ones count) and returns the new count.
inline int appendKept(const cv::v_float32x4& keep, int x, int* out, int count) {
  const int bits = cv::v_signmask(keep);
  cv::v_store(out + count, cv::v_setall_s32(x) + cv::v_load(kLaneCompaction.index[bits]));
  return count + kLaneCompaction.count[bits];
}

}  // namespace
#endif

int facingColumns(const float* mag, const short* gx, const short* gy, const uchar* mask,
                  const float* rx, float ry, float minMagnitude, float cosSquared, int n,
                  int* out) {
  const float ry2 = ry * ry;
  int count = 0, x = 1;
  const int end = n - 1;  // exclusive
#if CV_SIMD128
  const cv::v_float32x4 vMin = cv::v_setall_f32(minMagnitude), vCos = cv::v_setall_f32(cosSquared);
  const cv::v_float32x4 vRy = cv::v_setall_f32(ry), vRy2 = cv::v_setall_f32(ry2);
  const cv::v_float32x4 zero = cv::v_setzero_f32();
  // The test of four pixels from x, with their mask lanes (all ones without a mask).
  const auto facing = [&](int at, const cv::v_int32x4& ix, const cv::v_int32x4& iy,
                          const cv::v_float32x4& inMask) {
    const cv::v_float32x4 fx = cv::v_cvt_f32(ix), fy = cv::v_cvt_f32(iy);
    const cv::v_float32x4 r = cv::v_load(rx + at);
    const cv::v_float32x4 dot = fx * r + fy * vRy, r2 = r * r + vRy2;
    return (cv::v_load(mag + at) >= vMin) & inMask & (r2 != zero) &
           (dot * dot >= vCos * (fx * fx + fy * fy) * r2);
  };
  // Eight pixels per round: the gradients and the mask come in one load each. Each kept
  // column is stored with its round's compaction; every store stays within the n entries, as
  // it starts at most at the round's first column.
  const cv::v_float32x4 all = cv::v_reinterpret_as_f32(cv::v_setall_s32(-1));
  for (; x + 8 <= end; x += 8) {
    cv::v_int32x4 xLo, xHi, yLo, yHi;
    cv::v_expand(cv::v_load(gx + x), xLo, xHi);
    cv::v_expand(cv::v_load(gy + x), yLo, yHi);
    cv::v_float32x4 mLo = all, mHi = all;
    if (mask) {
      cv::v_uint32x4 bLo, bHi;
      cv::v_expand(cv::v_load_expand(mask + x), bLo, bHi);  // eight bytes, any alignment
      mLo = cv::v_reinterpret_as_f32(bLo != cv::v_setzero_u32());
      mHi = cv::v_reinterpret_as_f32(bHi != cv::v_setzero_u32());
    }
    count = appendKept(facing(x, xLo, yLo, mLo), x, out, count);
    count = appendKept(facing(x + 4, xHi, yHi, mHi), x + 4, out, count);
  }
#endif
  for (; x < end; ++x) {
    const float fx = gx[x], fy = gy[x];
    const float dot = fx * rx[x] + fy * ry, r2 = rx[x] * rx[x] + ry2;
    out[count] = x;
    count += (mag[x] >= minMagnitude) & (!mask || mask[x] != 0) & (r2 != 0) &
             (dot * dot >= cosSquared * (fx * fx + fy * fy) * r2);
  }
  return count;
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
  // Outputs of the right size and type are reused: a caller that keeps them across patches
  // allocates nothing. Every element is written, border ones with 0.
  gx.create(rows, cols, CV_16SC1);
  gy.create(rows, cols, CV_16SC1);
  magnitude.create(rows, cols, CV_32FC1);
  for (int r = 0; r < rows; ++r) {
    short* gxRow = gx.ptr<short>(r);
    short* gyRow = gy.ptr<short>(r);
    float* magRow = magnitude.ptr<float>(r);
    const int y = py - half_m + r;
    if (y <= 0 || y >= img.rows - 1) {
      std::fill(gxRow, gxRow + cols, short{0});
      std::fill(gyRow, gyRow + cols, short{0});
      std::fill(magRow, magRow + cols, 0.f);
      continue;
    }
    const uchar* up = img.ptr<uchar>(y - 1);
    const uchar* mid = img.ptr<uchar>(y);
    const uchar* down = img.ptr<uchar>(y + 1);
    for (int c = 0; c < cols; ++c) {
      const int x = px - half_n + c;
      if (x <= 0 || x >= img.cols - 1) {
        gxRow[c] = 0, gyRow[c] = 0, magRow[c] = 0.f;
        continue;
      }
      const int diag1 = down[x + 1] - up[x - 1];  // bottom-right minus top-left
      const int diag2 = up[x + 1] - down[x - 1];  // top-right minus bottom-left
      const int dx = diag1 + diag2 + 2 * (mid[x + 1] - mid[x - 1]);
      const int dy = diag1 - diag2 + 2 * (down[x] - up[x]);
      gxRow[c] = static_cast<short>(dx);
      gyRow[c] = static_cast<short>(dy);
      const float fx = static_cast<float>(dx), fy = static_cast<float>(dy);
      magRow[c] = std::sqrt(fx * fx + fy * fy);
    }
  }
}

}  // namespace vistrel
