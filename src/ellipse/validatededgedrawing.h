#pragma once

#include <cstdint>
#include <opencv2/core.hpp>

#include "edgedrawing.h"

// Parameter-free edge segments: edge drawing with fixed parameters, followed by an
// a-contrario (Helmholtz principle) test that keeps only the runs of edge pixels whose
// expected number of occurrences in a random image of the same gradient statistics (the
// number of false alarms, NFA) is at most 1.

namespace ced {

class ValidatedEdgeDrawing : public EdgeDrawing {
 public:
  // Traces `image` with Prewitt, gradient threshold 11, anchor threshold 3, scan interval 1,
  // minimum path length 10, sigma 1.0 and the sum of magnitudes, then validates. Afterwards
  // segments() holds the validated pieces, each at least 9 pixels long, and edgeImage() is
  // 255 exactly at the pixels that passed the test: the pixels of the segments plus, for each
  // segment, the one pixel that followed its end on the traced chain (a valid run gives up its
  // last pixel). An image EdgeDrawing rejects yields no segments.
  explicit ValidatedEdgeDrawing(const cv::Mat& image);

  // The number of tests of the NFA: the sum over all traced segments of n·(n − 1)/2.
  std::int64_t testCount() const { return testCount_; }

 protected:
  // Each run of L pixels may multiply the tail probability in at most L / divisor times.
  double lengthDivisor_ = 2.25;
  // Number of tests (kept 64-bit so that very long segments cannot overflow it).
  std::int64_t testCount_ = 0;

 private:
  void validateSegments();
};

}  // namespace ced
