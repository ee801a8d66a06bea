#include "closedsegment.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "circlefit.h"
#include "conic.h"
#include "ellipsefit.h"

namespace ced {
namespace {

constexpr int kMinClosedPixels = 24;
constexpr double kMaxFitError = 1.5;
constexpr double kMaxElongation = 8.0;
constexpr double kTwoPi = 6.283185307179586;

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

}  // namespace ced
