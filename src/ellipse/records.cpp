#include "records.h"

#include <algorithm>
#include <cmath>

#include "detectorconstants.h"
#include "vistrel/assert.h"

namespace ced {

namespace {}  // namespace

void addCircleCandidate(CandidateList& list, double xc, double yc, double r, double circleError,
                        double* x, double* y, int pixelCount) {
  ShapeCandidate c;
  c.xc = xc;
  c.yc = yc;
  c.r = r;
  c.circleError = circleError;
  c.coverage = pixelCount / (kTwoPi * r);
  c.x = x;
  c.y = y;
  c.pixelCount = pixelCount;
  c.elliptic = false;
  list.push_back(c);
}

void addEllipseCandidate(CandidateList& list, double xc, double yc, double r, double circleError,
                         double* x, double* y, int pixelCount, const ConicCoefficients& eq,
                         double ellipseError) {
  ShapeCandidate c;
  c.xc = xc;
  c.yc = yc;
  c.r = r;
  c.circleError = circleError;
  c.coverage = pixelCount / ellipsePerimeter(eq);
  c.x = x;
  c.y = y;
  c.pixelCount = pixelCount;
  c.eq = eq;
  c.ellipseError = ellipseError;
  c.elliptic = true;
  list.push_back(c);
}

PixelBuffer::PixelBuffer(int capacity)
    : capacity_(capacity < 0 ? 0 : capacity),
      x_(new double[static_cast<size_t>(capacity_) + 1]),
      y_(new double[static_cast<size_t>(capacity_) + 1]) {
  VISTREL_ASSERT(capacity >= 0);
}

void PixelBuffer::advance(int n) {
  if (!VISTREL_CHECK(n >= 0 && n <= room())) n = std::clamp(n, 0, room());
  cursor_ += n;
}

}  // namespace ced
