#pragma once

#include <opencv2/core/cvdef.h>

// Constants shared by the stages of the circle and ellipse detector.
namespace ced {

// A full turn, in radians.
inline constexpr double kTwoPi = 2 * CV_PI;

// A run of pixels that covers at least this share of its circle, with a circle fit error of at
// most kCircleError, is taken as a whole circle.
inline constexpr double kCircleCover = 0.87;
inline constexpr double kCircleError = 1.5;

}  // namespace ced
