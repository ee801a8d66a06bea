#pragma once

#include <opencv2/core.hpp>

#include "runner/outcome.h"

namespace wheelhost {

// The source image (grey, as analysed) in colour with what was found drawn on it: the circle
// in green, its centre as a cross, and the model name with score above the wheel; "no wheel"
// or the background error written in red otherwise. Line widths and text scale with the
// image. Returns a new CV_8UC3 image of the source's size.
cv::Mat drawOverlay(const cv::Mat& sourceGrey, const ImageOutcome& outcome);

// `image` shrunk with area interpolation to fit a square of `side` pixels, its aspect kept; an
// image that fits already comes back as it is (shared, not copied).
cv::Mat thumbnailOf(const cv::Mat& image, int side);

}  // namespace wheelhost
