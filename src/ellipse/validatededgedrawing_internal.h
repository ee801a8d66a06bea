#pragma once

#include <cstdint>
#include <opencv2/core.hpp>
#include <utility>
#include <vector>

// The steps of the a-contrario validation of edge segments as free functions, so that each
// rule can be checked on its own. ValidatedEdgeDrawing runs them in this order.

namespace ced {
namespace detail {

constexpr int kValidationGradientValues = 32768;

// The validation gradient of every interior pixel of `image` (CV_8UC1, at least 3 x 3, any row
// stride): |gx| + |gy| of the Prewitt operator on the unsmoothed pixels. Fills `gradient` with
// width * height entries, 0 on the outermost rows and columns.
void validationGradient(const cv::Mat& image, std::vector<std::uint16_t>& gradient);

// The tail probability table: entry g is the fraction of interior pixels (of a width x height
// map, both >= 3) whose gradient is >= g. kValidationGradientValues entries.
std::vector<double> tailProbabilities(const std::vector<std::uint16_t>& gradient, int width,
                                      int height);

// The number of tests: the sum over segments of n·(n − 1)/2, n the segment's pixel count.
std::int64_t numberOfTests(const std::vector<std::vector<cv::Point>>& segments);

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
// that tests many segments reuses them.
void meaningfulRanges(const std::uint16_t* gradients, int count, const std::vector<double>& tail,
                      std::int64_t testCount, double lengthDivisor, int minLength,
                      std::vector<std::pair<int, int>>& meaningful,
                      std::vector<std::pair<int, int>>& pending);

// Cuts each segment into its maximal runs of pixels that are kEdgePixel in `edgeMap` (CV_8UC1
// covering every segment pixel) and keeps each run of at least `minLength` pixels without its
// last pixel, in order.
std::vector<std::vector<cv::Point>> extractValidRuns(
    const std::vector<std::vector<cv::Point>>& segments, const cv::Mat& edgeMap, int minLength);

}  // namespace detail
}  // namespace ced
