#pragma once

#include <opencv2/core.hpp>
#include <vector>

#include "conic.h"

// Sample points of circle and ellipse outlines, for checking a curve against the image.

namespace ced {

// Integer points of the circle (xc, yc, r): floor(2π·r + 0.5) equally spaced angles from 0,
// each point (int)(cos·r + xc + 0.5), (int)(sin·r + yc + 0.5) (truncated toward zero).
// Empty when r <= 0 or the point count is 0.
std::vector<cv::Point> circleOutline(double xc, double yc, double r);

// n points of the ellipse `eq` (n made even by dropping one). Points k and k + n/2 are the
// two ends of the chord through the centre along W·(cos φ, sin φ), φ = k·3.14781/(n/2), with
// W the inverse of the quadratic part [[A, B/2], [B/2, C]]. Directions that miss the conic
// give (−1, −1), outside every image. Empty for n < 2.
std::vector<cv::Point2d> ellipseOutline(const ConicCoefficients& eq, int n);

}  // namespace ced
