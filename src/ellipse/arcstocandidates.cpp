#include "arcstocandidates.h"

#include <algorithm>

#include "arcangles.h"
#include "conic.h"
#include "detectorconstants.h"
#include "ellipsefit.h"

namespace ced {
namespace {

constexpr double kMinArcCoverage = 0.25;
constexpr double kMinEllipseTryCoverage = 0.33;
constexpr double kMinEllipseCoverage = 0.5;
constexpr double kMaxEllipseError = 1.5;

void ellipticArcToCandidate(const ArcCandidate& a, CandidateList& candidates) {
  if (a.coverage >= kMinEllipseCoverage && a.ellipseError <= kMaxEllipseError) {
    addEllipseCandidate(candidates, a.xc, a.yc, a.r, a.circleError, a.x, a.y, a.pixelCount, a.eq,
                        a.ellipseError);
    return;
  }
  const double cover = std::max(a.coverage, angularSpan(a.startAngle, a.endAngle) / kTwoPi);
  if (coversEnoughForCircle(cover, a.circleError)) {
    addCircleCandidate(candidates, a.xc, a.yc, a.r, a.circleError, a.x, a.y, a.pixelCount);
  }
}

void circularArcToCandidate(const ArcCandidate& a, CandidateList& candidates) {
  const double cover = a.coverage;
  if (cover < kMinArcCoverage) return;
  if (coversEnoughForCircle(cover, a.circleError)) {
    addCircleCandidate(candidates, a.xc, a.yc, a.r, a.circleError, a.x, a.y, a.pixelCount);
    return;
  }
  if (cover < kMinEllipseTryCoverage) return;
  ConicCoefficients eq;
  if (!fitEllipse(a.x, a.y, a.pixelCount, eq, 1)) return;
  const double error = ellipseFitError(eq, a.x, a.y, a.pixelCount);
  const double ellipseCover = std::max(cover, a.pixelCount / ellipsePerimeter(eq));
  if (ellipseCover >= kMinEllipseCoverage && error <= kMaxEllipseError) {
    addEllipseCandidate(candidates, a.xc, a.yc, a.r, a.circleError, a.x, a.y, a.pixelCount, eq,
                        error);
  }
}

}  // namespace

bool coversEnoughForCircle(double cover, double circleError) {
  return (cover >= 0.87 && circleError <= 1.5) || (cover >= 0.5 && circleError <= 1.25) ||
         (cover >= 0.33 && circleError <= 1.0);
}

void arcsToCandidates(const ArcList& arcs, CandidateList& candidates) {
  for (const ArcCandidate& a : arcs) {
    if (a.elliptic) {
      ellipticArcToCandidate(a, candidates);
    } else {
      circularArcToCandidate(a, candidates);
    }
  }
}

}  // namespace ced
