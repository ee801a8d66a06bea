#pragma once

// A parameter-free detector of circles and ellipses in 8-bit grey images.
//
// Edge segments are traced along gradient ridges and kept only where an a-contrario test finds
// them meaningful; closed segments are tried as whole circles or ellipses, the rest is cut into
// straight lines, runs of consistently turning lines become circular or elliptic arcs, arcs are
// joined, and every resulting circle or ellipse is checked against the image gradient. There is
// nothing to tune, and the same image always gives the same results.
//
// A typical use:
//   ced::CircleEllipseResults found = ced::detectCirclesAndEllipses(grey);
//   for (const ced::mCircle& c : found.circles) { ... c.center, c.r ... }
//
// Coordinates are pixels of the given image: x = column, y = row (downwards), and a pixel's
// centre is at its integer coordinates, so a circle whose edge runs through pixel centres
// (10, 0), (0, 10), (20, 10), ... has centre (10, 10).

#include <opencv2/core.hpp>
#include <vector>

#include "vistrel/export.h"

namespace ced {

// A detected circle.
struct mCircle {
  cv::Point2d center;  // pixels
  double r = 0;        // radius, pixels

  mCircle() = default;
  mCircle(cv::Point2d c, double radius) : center(c), r(radius) {}
};

// A detected ellipse.
struct mEllipse {
  cv::Point2d center;  // pixels
  // The two semi-axes, each truncated toward zero; `width` lies along the ellipse's own x axis
  // (the image x axis turned by `theta`), `height` across it. Not ordered by size.
  cv::Size axes;
  double theta = 0;  // radians, from −π/4 to π/4, turning +x toward +y

  mEllipse() = default;
  mEllipse(cv::Point2d c, cv::Size a, double angle) : center(c), axes(a), theta(angle) {}
};

// What one detection found, each list largest first (by the radius of each shape's circle fit
// before merging).
struct CircleEllipseResults {
  std::vector<mCircle> circles;
  std::vector<mEllipse> ellipses;
};

// Detects circles and ellipses in `image`, an 8-bit single-channel image (CV_8UC1) of at least
// 5 x 5 pixels; any other image is reported (VISTREL_ASSERT) and gives no results. The caller's
// pixels are never written; a sub-matrix view gives the same results as its copy. Safe to call
// from several threads at once. Writes the line "zvk: here!" to standard output.
VISTREL_EXPORT CircleEllipseResults detectCirclesAndEllipses(const cv::Mat& image);

}  // namespace ced
