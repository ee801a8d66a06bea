#pragma once

#include <vector>

#include "conic.h"
#include "records.h"

// Circular and elliptic arcs: what arc detection finds in runs of turning lines and what the
// joining passes grow into longer arcs.

namespace ced {

// One arc. `x` and `y` point into the PixelBuffer (not owned); angles are radians in [0, 2π]
// (from +x toward +y), the arc runs from `startAngle` to `endAngle`, wrapping through 0 when
// start > end.
struct ArcCandidate {
  double xc = 0, yc = 0, r = 0, circleError = 0;  // circle fit of the pixels
  double startAngle = 0, endAngle = 0;
  double coverage = 0;                 // share of the whole curve the arc covers, 0..1
  int turn = 0;                        // 1 or −1: the turn direction of its lines
  int segmentIndex = 0;                // the edge segment it came from
  int sx = 0, sy = 0, ex = 0, ey = 0;  // first and last pixel, truncated to ints
  double* x = nullptr;
  double* y = nullptr;
  int pixelCount = 0;
  bool elliptic = false;
  ConicCoefficients eq;  // set for elliptic arcs
  double ellipseError = 0;
};

// An arc list is the array and its count; its owner reserves it once.
using ArcList = std::vector<ArcCandidate>;

// Stores a circular arc at the end of `list` (coverage = angular span / 2π), then merges it
// into the arc before it when both come from the same segment with the same turn, neither is
// elliptic, the radii differ by at most a quarter of the smaller, the previous arc's end pixel
// lies within 10 pixels of this arc's start pixel, and a circle fits both arcs' pixels within
// 1.5. The merged arc's pixels are the previous arc's followed by this arc's; when they do not
// already lie in that order in the buffer they are copied to its write position and the
// buffer is advanced past them (with too little room the arcs stay apart, reported).
void addCircularArc(ArcList& list, PixelBuffer& buffer, double xc, double yc, double r,
                    double circleError, double startAngle, double endAngle, int turn,
                    int segmentIndex, int sx, int sy, int ex, int ey, double* x, double* y,
                    int pixelCount);

// Stores an elliptic arc at the end of `list`: coverage = (1 − overlapRatio) · pixelCount /
// perimeter(eq). Never merged.
void addEllipticArc(ArcList& list, double xc, double yc, double r, double circleError,
                    double startAngle, double endAngle, int turn, int segmentIndex, int sx, int sy,
                    int ex, int ey, double* x, double* y, int pixelCount,
                    const ConicCoefficients& eq, double ellipseError, double overlapRatio);

}  // namespace ced
