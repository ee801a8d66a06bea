#pragma once

#include <opencv2/core.hpp>

#include "matcher/polarsignature.h"

namespace wheelhost {

// PolarSignature::fromImage(image, grid), remembered on each thread for the last image asked
// for. The analysis scores one cut-out against every listed model, each through a matcher of
// its own, and a signature depends only on the pixels and the grid: the second and later
// matchers get the same signature without unwrapping the wheel again. The image is compared
// pixel for pixel with a private copy of the last one, never by address, so a caller may
// reuse or change its buffer between calls.
PolarSignature signatureOf(const cv::Mat& image, const PolarGrid& grid);

}  // namespace wheelhost
