#pragma once

#include <QVariantMap>
#include <opencv2/core.hpp>
#include <optional>

namespace wheelhost {

// Where the analysis cut its cut-out from the source image. Unless the plug-in reports its
// circle ("ReportCircle"), the result record carries the cut-out and the source but not the
// circle, so the runner finds the cut-out in the source.
struct CutoutPlacement {
  cv::Rect rect;          // the cut square in source pixels, before any halving
  bool halved = false;    // the cut-out is `rect` shrunk to half size (cut-outs of 900 px or more)
  double residual = 0.0;  // mean absolute grey difference at the placement; 0 when exact
};

// Finds `cutout` in `source` (both CV_8UC1): first as an exact sub-image, then as a sub-image
// shrunk to half size the way the analysis halves large cut-outs (bilinear, integer halves).
// Returns nullopt when neither fits (mean difference above 2 grey levels) or the cut-out is
// empty or larger than the source. Cost: a coarse template search on a reduced pair of images
// and a refinement in a small window, a few tens of milliseconds for a 2448 x 2048 source.
std::optional<CutoutPlacement> locateCutout(const cv::Mat& source, const cv::Mat& cutout);

// The circle behind a placement, in OpenCV pixel coordinates. The analysis cuts the square
// from column trunc(cx - r), row trunc(cy - r), trunc(2r) wide, so the centre lies within
// [left + side/2, left + side/2 + 1.5) and the radius within [side/2, side/2 + 0.5): the middle
// of those ranges is returned, at most 0.75 px from the true centre.
struct LocatedCircle {
  cv::Point2d centre;
  double radius;
};
LocatedCircle circleOf(const CutoutPlacement& placement);

// The circle under the result key "circle" (centre x, centre y, radius in source pixels), when
// the plug-in reported one as three finite numbers with a positive radius.
std::optional<LocatedCircle> reportedCircle(const QVariantMap& results);

// Whether a cut-out of `cutout` size delivered for a circle of `radius` (source pixels) was
// halved: the analysis cuts a square of side trunc(2r) and halves it at 900 px or more.
bool cutoutWasHalved(double radius, cv::Size cutout);

}  // namespace wheelhost
