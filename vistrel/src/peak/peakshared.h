#pragma once

// Edge-level building blocks of the guided circle search: reduced-resolution gradients, their
// magnitude, the eight-direction neighbour table for non-maximum suppression, the parabolic
// sub-pixel edge peak and the full-resolution Sobel patch.
//
// Coordinates: x to the right, y downwards, pixel centres at integer positions.

#include <opencv2/core.hpp>

namespace vistrel {

// One of the eight neighbours of a pixel: its integer offset and the same offset as a unit
// vector. Index 0 (1, 0), 1 (1, 1), 2 (0, 1), 3 (-1, 1), 4 (-1, 0), 5 (-1, -1), 6 (0, -1),
// 7 (1, -1): index 2 points down the image.
struct NeighbourDir {
  cv::Point offset;
  cv::Point2f unit;
};

// The neighbour table, indexed as above. Built at start-up, never changes.
extern const NeighbourDir kNeighbourDirs[8];
inline const NeighbourDir& neighbourDir(int index) { return kNeighbourDirs[index & 7]; }

// cos 20 degrees and cos 10 degrees: the angular tolerances of the search.
float cosLimit20();
float cosLimit10();

// `src` (8-bit, one channel) reduced by whole steps with nearest-neighbour sampling: exactly
// cv::resize(src, dst, cv::Size(), 1.0 / xStep, 1.0 / yStep, cv::INTER_NEAREST), without its
// per-pixel offset lookups where every second column is taken. Other types, a step below 1
// (reported) and an empty source leave `dst` empty. `dst` may be `src`.
void sampleEvery(const cv::Mat& src, cv::Mat& dst, int xStep, int yStep);

// Resizes `grey` (8-bit, one channel) by 1/xStep and 1/yStep with nearest-neighbour sampling
// (reduced pixel (x, y) is full pixel (x * xStep, y * yStep)) and writes its 3 x 3 Sobel
// derivatives as CV_16SC1 images `gx` and `gy` (reflect-101 border). Each step must be 1 or a
// positive even number; otherwise the step is reported and the outputs are left empty. When
// both `mask` and `reducedMask` are given, the mask is reduced the same way into `reducedMask`.
// When `magnitude` is given, it receives gradientMagnitude(gx, gy), computed in the same pass.
void reducedGradients(const cv::Mat& grey, cv::Mat& gx, cv::Mat& gy, int xStep, int yStep,
                      const cv::Mat* mask = nullptr, cv::Mat* reducedMask = nullptr,
                      cv::Mat* magnitude = nullptr);

// The 3 x 3 Sobel derivatives of `img` (8-bit, one channel) as CV_16SC1 images, exactly
// cv::Sobel(img, gx, CV_16S, 1, 0, 3) and cv::Sobel(img, gy, CV_16S, 0, 1, 3) with the
// reflect-101 border, in one pass; with `magnitude` given, also gradientMagnitude(gx, gy) in the
// same pass. Another type or an empty image leaves the outputs empty.
void sobelGradients(const cv::Mat& img, cv::Mat& gx, cv::Mat& gy, cv::Mat* magnitude = nullptr);

// sqrt(gx^2 + gy^2) per pixel, as a CV_32FC1 image of the gradients' size. `gx` and `gy` are
// CV_16SC1 images of one size; on a mismatch the size check is reported and `magnitude` is
// left empty.
void gradientMagnitude(const cv::Mat& gx, const cv::Mat& gy, cv::Mat& magnitude);

// Quantises the unit gradient (nx, ny) into the neighbour it points to (`forward`) and the
// opposite one (`backward`), as indices of the neighbour table. Sectors are 45 degrees wide
// and centred on the eight neighbour directions.
//
// Without branches, which gradients of noise would mispredict: the band of ny between the
// bounds -sin 67.5, -sin 22.5, sin 22.5 and sin 67.5 (a bound belongs to the band below it),
// then the side of nx, pick the neighbour from a table.
inline constexpr signed char kForwardByBand[5][2] = {{6, 6}, {5, 7}, {4, 0}, {3, 1}, {2, 2}};

inline int forwardNeighbour(float ny, float nx) {
  constexpr float s1 = 0.382683432365089772f;  // sin 22.5 degrees
  constexpr float s2 = 0.923879532511286756f;  // sin 67.5 degrees
  const int band = (ny > -s2) + (ny > -s1) + (ny > s1) + (ny > s2);
  return kForwardByBand[band][nx > 0];
}

inline void quantizeDirection(float ny, float nx, int& forward, int& backward) {
  forward = forwardNeighbour(ny, nx);
  backward = (forward + 4) & 7;
}

// The non-maximum test of an edge pixel of magnitude m against its backward and forward
// neighbours along the gradient. The tie goes to the pixel on the backward side.
inline bool isEdgePeak(float m, float mBackward, float mForward) {
  return (m >= mBackward) & (m > mForward);  // both compared: no branch for noise to mispredict
}

// Sub-pixel position of an edge peak from the magnitudes at offsets -1, 0, +1 along
// `direction` (the unit vector of the forward neighbour): a parabola through the three values
// gives the offset t of its top in neighbour steps, and the pixel (x, y) moves by
// (g . direction) * t along the unit gradient g = (gx, gy) / m. `outMagnitude` is the top of
// the parabola. Three collinear values leave (x, y, m) unchanged.
void subpixelPeak(float m, float mBackward, float mForward, float gx, float gy, float x, float y,
                  const cv::Point2f& direction, float& outX, float& outY, float& outMagnitude);

// The columns x in 1..n - 2 of one row of reduced gradients where an edge pixel may lie:
// magnitude `mag[x]` >= `minMagnitude`, `mask[x]` not 0 (when a mask row is given), and the
// gradient (gx[x], gy[x]) along the line through the centre estimate within the angle whose
// squared cosine is `cosSquared`: (g . r)^2 >= cosSquared |g|^2 |r|^2 with r = (rx[x], ry) != 0,
// each product and sum in float in that order. Writes them to `out` (room for n entries) in
// ascending order and returns their count. Runs four pixels at a time; the lanes evaluate the
// same expressions as one pixel does, so the selection is the same.
int facingColumns(const float* mag, const short* gx, const short* gy, const uchar* mask,
                  const float* rx, float ry, float minMagnitude, float cosSquared, int n, int* out);

// Full-resolution 3 x 3 Sobel derivatives and magnitude on the (2 halfRows + 1) x
// (2 halfCols + 1) patch of `grey` (8-bit, one channel) centred at (px, py). Outputs are
// patch-sized: `gx`, `gy` CV_16SC1 and `magnitude` CV_32FC1, zero where the patch touches the
// image border (those rows and columns cannot be derived and are left at 0). Half sizes must lie
// in 1..5 and the centre at least that far inside the image; otherwise the failed condition is
// reported and the outputs are left empty. Outputs that already have the patch's size and type
// are overwritten in place, so a caller that keeps them across patches allocates nothing.
void sobelPatch(const cv::Mat& grey, cv::Mat& gx, cv::Mat& gy, cv::Mat& magnitude, int px, int py,
                int halfRows, int halfCols);

}  // namespace vistrel
