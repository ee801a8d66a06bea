#pragma once

#include <cstdint>
#include <cstdlib>
#include <opencv2/core.hpp>
#include <utility>
#include <vector>

// The steps of the a-contrario validation of edge segments as free functions, so that each
// rule can be checked on its own. ValidatedEdgeDrawing runs them in this order.

namespace ced {
namespace detail {

constexpr int kValidationGradientValues = 32768;

// The validation gradient of pixel (x, y) of `image` (CV_8UC1, at least 3 x 3, any row
// stride): |gx| + |gy| of the Prewitt operator on the unsmoothed pixels, 0 on the outermost
// rows and columns.
inline std::uint16_t validationGradientAt(const cv::Mat& image, int x, int y) {
  if (x < 1 || y < 1 || x >= image.cols - 1 || y >= image.rows - 1) return 0;
  const size_t step = image.step[0];
  const unsigned char* q = image.data + step * y + x;
  const unsigned char* p = q - step;
  const unsigned char* n = q + step;
  const int com1 = n[1] - p[-1];
  const int com2 = p[1] - n[-1];
  const int gx = std::abs(com1 + com2 + q[1] - q[-1]);
  const int gy = std::abs(com1 - com2 + n[0] - p[0]);
  return static_cast<std::uint16_t>(gx + gy);
}
// The same for the interior pixels of row i (1 <= i <= rows − 2): g[1 .. cols − 2].
void validationGradientRow(const cv::Mat& image, int i, std::uint16_t* g);
// The largest validation gradient of 8-bit pixels: |gx| + |gy| <= 2 · 3 · 255.
constexpr int kMaxValidationGradient = 1530;

// The tail probability table of `image`'s validation gradients: entry g is the fraction of
// interior pixels whose gradient is >= g, kValidationGradientValues entries. With `gradient`,
// the whole map (width * height entries, 0 on the outermost rows and columns) goes into it.
std::vector<double> tailProbabilities(const cv::Mat& image,
                                      std::vector<std::uint16_t>* gradient = nullptr);

// The number of tests: the sum over segments of n·(n − 1)/2, n the segment's pixel count.
std::int64_t numberOfTests(const std::vector<std::vector<cv::Point>>& segments);

// The test N·H[m]^k <= 1 of one tail table and number of tests N, the product multiplied out
// one factor at a time from N and stopped as soon as it is at most 1. Each gradient's product
// is kept from one query to the next, so that every factor is multiplied in only once per
// gradient over all the segments of an image.
class NfaTest {
 public:
  NfaTest(const std::vector<double>& tail, std::int64_t testCount)
      : tail_(tail), testCount_(static_cast<double>(testCount)) {}

  // True when the product for the weakest gradient m drops to 1 or below within `factors`
  // factors (none when factors <= 0).
  bool meaningful(int m, int factors);

 private:
  struct Product {
    double nfa;
    int factors;  // multiplied in so far; every product before this one was above 1
  };
  const std::vector<double>& tail_;
  double testCount_;
  std::vector<Product> products_;  // by gradient, grown on first use
};

// The recursive test of one segment, given the validation gradients of its pixels in order.
// A range [first, last] of L >= minLength pixels is meaningful when N·H[m]^k <= 1, m its
// weakest gradient and k at most ⌊L / lengthDivisor⌋; otherwise it is split around its weakest
// pixel (and the equally weak pixels right after it), and both pieces are tested. Returns the
// meaningful ranges, inclusive, in increasing order.
std::vector<std::pair<int, int>> meaningfulRanges(const std::uint16_t* gradients, int count,
                                                  const std::vector<double>& tail,
                                                  std::int64_t testCount, double lengthDivisor,
                                                  int minLength);
// The same into `meaningful`, with `pending` as work space: both are cleared first, and a caller
// that tests many segments reuses them and one NfaTest.
void meaningfulRanges(const std::uint16_t* gradients, int count, NfaTest& test,
                      double lengthDivisor, int minLength,
                      std::vector<std::pair<int, int>>& meaningful,
                      std::vector<std::pair<int, int>>& pending);

// Cuts each segment into its maximal runs of pixels that are kEdgePixel in `edgeMap` (CV_8UC1
// covering every segment pixel) and keeps each run of at least `minLength` pixels without its
// last pixel, in order.
std::vector<std::vector<cv::Point>> extractValidRuns(
    const std::vector<std::vector<cv::Point>>& segments, const cv::Mat& edgeMap, int minLength);

}  // namespace detail
}  // namespace ced
