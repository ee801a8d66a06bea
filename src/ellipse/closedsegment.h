#pragma once

#include <opencv2/core.hpp>
#include <vector>

#include "records.h"

// Edge segments that close on themselves are tried as whole circles or ellipses before they
// are cut into lines.

namespace ced {

enum class ClosedSegmentOutcome {
  kOpen,     // not closed, or closed but fitting neither shape: split it into lines
  kCircle,   // a circle candidate was appended
  kEllipse,  // an ellipse candidate was appended
  kDropped,  // closed and elliptic, but too elongated (major >= 8·minor): ignore the segment
};

// Tests the n pixels (x[i], y[i]) of one edge segment. A segment of at least 24 pixels is
// closed when its first and last pixels are at most max(3, R/4) apart, R = n / 2π. A closed
// segment whose circle fit error is <= 1.5 becomes a circle candidate; otherwise one whose
// ellipse fit (mode 1) error is <= 1.5 becomes an ellipse candidate (centre, radius and error
// of its circle fit, plus the conic and its error) unless it is too elongated. The candidate
// points at x and y: the caller keeps those pixels alive (advances its PixelBuffer by n).
ClosedSegmentOutcome tryClosedSegment(double* x, double* y, int n, CandidateList& candidates);

// The first step over all edge segments (x = column, y = row), in order. Segments of fewer than
// 12 pixels are skipped. The pixels of the others are copied to `buffer` as doubles;
// tryClosedSegment() decides whether they become a candidate (the buffer then keeps them),
// are dropped, or are split into lines (minimum length 6, error 1.0) appended to `lines`.
// Returns firstLineOfSegment: segments.size() + 1 entries, the lines of segment i being
// [entry i, entry i + 1). `buffer` must have room for the largest segment beyond every
// segment it keeps (the total pixel count of all segments always suffices).
std::vector<int> closedShapesAndLines(const std::vector<std::vector<cv::Point>>& segments,
                                      PixelBuffer& buffer, CandidateList& candidates,
                                      std::vector<LineSegment>& lines);

}  // namespace ced
