#include "closedsegment.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "circlefit.h"
#include "conic.h"
#include "detectorconstants.h"
#include "ellipsefit.h"
#include "linesplit.h"
#include "vistrel/assert.h"

namespace ced {
namespace {

constexpr int kMinSegmentPixels = 12;
constexpr int kMinClosedPixels = 24;
constexpr int kMinLineLength = 6;
constexpr double kLineError = 1.0;
constexpr double kMaxFitError = 1.5;
constexpr double kMaxElongation = 8.0;

}  // namespace

ClosedSegmentOutcome tryClosedSegment(double* x, double* y, int n, CandidateList& candidates) {
  if (n < kMinClosedPixels || x == nullptr || y == nullptr) return ClosedSegmentOutcome::kOpen;
  const double gap = std::hypot(x[0] - x[n - 1], y[0] - y[n - 1]);
  const double radius = n / kTwoPi;
  if (gap > std::max(3.0, radius / 4)) return ClosedSegmentOutcome::kOpen;

  const CircleFit circle = fitCircle(x, y, n);
  ConicCoefficients eq;
  double ellipseError = 1e10;
  if (circle.error > kMaxFitError) ellipseError = fitEllipseWithError(x, y, n, eq);

  if (circle.error <= kMaxFitError) {
    addCircleCandidate(candidates, circle.xc, circle.yc, circle.r, circle.error, x, y, n);
    return ClosedSegmentOutcome::kCircle;
  }
  if (ellipseError <= kMaxFitError) {
    const EllipseGeometry g = ellipseCentreAndAxes(eq);
    const double major = std::max(g.a, g.b), minor = std::min(g.a, g.b);
    if (!(major < kMaxElongation * minor)) return ClosedSegmentOutcome::kDropped;
    addEllipseCandidate(candidates, circle.xc, circle.yc, circle.r, circle.error, x, y, n, eq,
                        ellipseError);
    return ClosedSegmentOutcome::kEllipse;
  }
  return ClosedSegmentOutcome::kOpen;
}

std::vector<int> closedShapesAndLines(const std::vector<std::vector<cv::Point>>& segments,
                                      PixelBuffer& buffer, CandidateList& candidates,
                                      std::vector<LineSegment>& lines) {
  const int segmentCount = static_cast<int>(segments.size());
  std::vector<int> firstLineOfSegment(segmentCount + 1, 0);
  for (int i = 0; i < segmentCount; ++i) {
    firstLineOfSegment[i] = static_cast<int>(lines.size());
    const std::vector<cv::Point>& seg = segments[i];
    const int n = static_cast<int>(seg.size());
    if (n < kMinSegmentPixels) continue;
    if (!VISTREL_CHECK_LE(n, buffer.room())) continue;
    double* x = buffer.x();
    double* y = buffer.y();
    for (int k = 0; k < n; ++k) {
      x[k] = seg[k].x;
      y[k] = seg[k].y;
    }
    const ClosedSegmentOutcome outcome = tryClosedSegment(x, y, n, candidates);
    if (outcome == ClosedSegmentOutcome::kCircle || outcome == ClosedSegmentOutcome::kEllipse) {
      buffer.advance(n);  // the candidate points at these pixels
      continue;
    }
    if (outcome == ClosedSegmentOutcome::kDropped) continue;
    splitIntoLines(x, y, n, i, lines, kMinLineLength, kLineError);
  }
  firstLineOfSegment[segmentCount] = static_cast<int>(lines.size());
  return firstLineOfSegment;
}

}  // namespace ced
