#include "arcs.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "anglecoverage.h"
#include "arcangles.h"
#include "circlefit.h"
#include "detectorconstants.h"
#include "vistrel/assert.h"

namespace ced {

namespace {

constexpr double kMergeRadiusShare = 0.25;
constexpr double kMergeGap = 10.0;
constexpr double kMergeError = 1.5;

// Merges the last arc into the one before it when they continue each other.
void mergeWithPrevious(ArcList& list, PixelBuffer& buffer) {
  if (list.size() < 2) return;
  ArcCandidate& p = list[list.size() - 2];
  const ArcCandidate& q = list.back();
  if (p.segmentIndex != q.segmentIndex || p.turn != q.turn || p.elliptic || q.elliptic) return;
  if (std::fabs(p.r - q.r) > kMergeRadiusShare * std::min(p.r, q.r)) return;
  if (std::hypot(p.ex - q.sx, p.ey - q.sy) > kMergeGap) return;

  const int total = p.pixelCount + q.pixelCount;
  // Arcs found one after the other usually lie back to back in the buffer already.
  const bool inOrder = p.x + p.pixelCount == q.x && p.y + p.pixelCount == q.y;
  double* x = p.x;
  double* y = p.y;
  if (!inOrder) {
    if (!VISTREL_CHECK_GE(buffer.room(), total)) {
      return;
    }
    x = buffer.x();
    y = buffer.y();
    std::memcpy(x, p.x, sizeof(double) * p.pixelCount);
    std::memcpy(y, p.y, sizeof(double) * p.pixelCount);
    std::memcpy(x + p.pixelCount, q.x, sizeof(double) * q.pixelCount);
    std::memcpy(y + p.pixelCount, q.y, sizeof(double) * q.pixelCount);
  }
  const CircleFit fit = fitCircle(x, y, total);
  if (!(fit.error <= kMergeError)) return;
  if (!inOrder) buffer.advance(total);

  AngleCoverage coverage;
  coverage.add(p.startAngle, p.endAngle);
  coverage.add(q.startAngle, q.endAngle);
  double start = 0, end = 0;
  coverage.coveredArc(start, end);

  p.xc = fit.xc;
  p.yc = fit.yc;
  p.r = fit.r;
  p.circleError = fit.error;
  p.x = x;
  p.y = y;
  p.pixelCount = total;
  p.ex = q.ex;
  p.ey = q.ey;
  p.startAngle = start;
  p.endAngle = end;
  p.coverage = angularSpan(start, end) / kTwoPi;
  list.pop_back();
}

ArcCandidate makeArc(double xc, double yc, double r, double circleError, double startAngle,
                     double endAngle, int turn, int segmentIndex, int sx, int sy, int ex, int ey,
                     double* x, double* y, int pixelCount) {
  ArcCandidate a;
  a.xc = xc;
  a.yc = yc;
  a.r = r;
  a.circleError = circleError;
  a.startAngle = startAngle;
  a.endAngle = endAngle;
  a.turn = turn;
  a.segmentIndex = segmentIndex;
  a.sx = sx;
  a.sy = sy;
  a.ex = ex;
  a.ey = ey;
  a.x = x;
  a.y = y;
  a.pixelCount = pixelCount;
  return a;
}

}  // namespace

void addCircularArc(ArcList& list, PixelBuffer& buffer, double xc, double yc, double r,
                    double circleError, double startAngle, double endAngle, int turn,
                    int segmentIndex, int sx, int sy, int ex, int ey, double* x, double* y,
                    int pixelCount) {
  ArcCandidate a = makeArc(xc, yc, r, circleError, startAngle, endAngle, turn, segmentIndex, sx, sy,
                           ex, ey, x, y, pixelCount);
  a.coverage = angularSpan(startAngle, endAngle) / kTwoPi;
  a.elliptic = false;
  list.push_back(a);
  mergeWithPrevious(list, buffer);
}

void addEllipticArc(ArcList& list, double xc, double yc, double r, double circleError,
                    double startAngle, double endAngle, int turn, int segmentIndex, int sx, int sy,
                    int ex, int ey, double* x, double* y, int pixelCount,
                    const ConicCoefficients& eq, double ellipseError, double overlapRatio) {
  ArcCandidate a = makeArc(xc, yc, r, circleError, startAngle, endAngle, turn, segmentIndex, sx, sy,
                           ex, ey, x, y, pixelCount);
  a.coverage = (1 - overlapRatio) * pixelCount / ellipsePerimeter(eq);
  a.elliptic = true;
  a.eq = eq;
  a.ellipseError = ellipseError;
  list.push_back(a);
}

}  // namespace ced
