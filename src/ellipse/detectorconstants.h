#pragma once

// Constants shared by the stages of the circle and ellipse detector.
namespace ced {

// 2π as the detector's angle arithmetic writes it.
inline constexpr double kTwoPi = 6.283185307179586;

// A run of pixels that covers at least this share of its circle, with a circle fit error of at
// most kCircleError, is taken as a whole circle.
inline constexpr double kCircleCover = 0.87;
inline constexpr double kCircleError = 1.5;

}  // namespace ced
