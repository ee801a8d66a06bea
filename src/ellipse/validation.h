#pragma once

#include <opencv2/core.hpp>

#include "records.h"
#include "validitytable.h"

// A-contrario validation of circle and ellipse candidates: a candidate survives when enough
// points of its outline lie on edge pixels whose image gradient agrees with the curve's normal,
// compared with what chance would give in an image of this size.

namespace ced {

// Samples and aligned samples found on one candidate's outline.
struct AlignmentCount {
  int samples = 0;  // n: outline points counted (consecutive repeats of a pixel count once)
  int aligned = 0;  // k: points on an edge pixel whose gradient is within π/16 of the normal
};

class CandidateValidator {
 public:
  // `edgeMap`: 8-bit, 255 marks an edge pixel. `grey`: 8-bit image whose Prewitt gradient is
  // compared with the curve normals (the detector passes the input smoothed with σ = 0.5).
  // Both must have the same size; the validator keeps views of them (no copies), so they must
  // outlive it. Mismatched or non-8-bit inputs are reported and make every candidate fail.
  CandidateValidator(const cv::Mat& edgeMap, const cv::Mat& grey);

  // Walks the outline of `c` (an ellipse's from its conic, a circle's from centre and radius)
  // and counts samples and aligned samples. An outline point off an edge pixel looks up to two
  // pixels across the curve (along the row where the normal is mostly horizontal, else along
  // the column) for one.
  AlignmentCount countAligned(const ShapeCandidate& c) const;

  // True when the counts of `c` are meaningful for this image. A circle whose radius exceeds
  // the larger image side never is.
  bool isMeaningful(const ShapeCandidate& c) const;

  // Appends the meaningful candidates of `in` to `out`, in order. A circle that fails but
  // covers at least half its length gets a second chance as an ellipse fitted to its pixels
  // (fit error <= 1.5); if that ellipse is meaningful it is appended as an ellipse candidate.
  void validate(const CandidateList& in, CandidateList& out) const;

  const ValidityTable& table() const { return table_; }

 private:
  bool ready_ = false;
  cv::Mat edges_, grey_;
  int width_ = 0, height_ = 0;
  ValidityTable table_;
};

}  // namespace ced
