#pragma once

#include <opencv2/core.hpp>
#include <vector>

#include "validatededgedrawing.h"
#include "vistrel/ellipsedetector.h"

// A parameter-free detector of circles and ellipses in 8-bit grey images (the library's
// users reach it through vistrel/ellipsedetector.h, which also holds the result records).
//
// Edge segments are traced along gradient ridges and kept only where an a-contrario test finds
// them meaningful (ValidatedEdgeDrawing); closed segments are tried as whole circles or
// ellipses, the rest is cut into straight lines, runs of consistently turning lines become
// circular or elliptic arcs, arcs are joined in three passes, and every resulting circle or
// ellipse is checked against the image gradient (the number of false alarms of its outline
// must be at most 1). Near-duplicates (the two edges of a thin ring) are merged last.
//
// There is nothing to tune. All work happens in the constructor; afterwards the object only
// hands out its results. The same image always gives the same results, and the detector keeps
// no state between objects (its two process-wide tables are constant once filled, and are
// filled safely even when several threads construct detectors at once).
//
// Coordinates are pixels of the given image: x = column, y = row (downwards), and a pixel's
// centre is at its integer coordinates, so a circle whose edge runs through pixel centres
// (10, 0), (0, 10), (20, 10), ... has centre (10, 10).

namespace ced {

class CircleEllipseDetector : public ValidatedEdgeDrawing {
 public:
  // Detects circles and ellipses in `image`, an 8-bit single-channel image (CV_8UC1) of at
  // least 5 x 5 pixels; any other image is reported (VISTREL_ASSERT) and gives no results. The
  // caller's pixels are never written. A sub-matrix view gives the same results as its copy
  // (a non-contiguous image is copied once). Writes the line "zvk: here!" to standard output.
  explicit CircleEllipseDetector(cv::Mat image);

  // Copies of the results, largest first (by the radius of each shape's circle fit before
  // merging).
  std::vector<mCircle> circles() const { return circles_; }
  std::vector<mEllipse> ellipses() const { return ellipses_; }
  int circleCount() const { return circleNos_; }
  int ellipseCount() const { return ellipseNos_; }

 private:
  void detect();

  std::vector<mCircle> circles_;
  std::vector<mEllipse> ellipses_;
  int circleNos_ = 0;
  int ellipseNos_ = 0;
};

}  // namespace ced
