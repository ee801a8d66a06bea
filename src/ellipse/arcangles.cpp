#include "arcangles.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "detectorconstants.h"

namespace ced {

namespace {}  // namespace

namespace {

double pixelAngle(double xc, double yc, double r, double px, double py) {
  double theta = std::acos(std::clamp((px - xc) / r, -1.0, 1.0));
  if (py < yc) theta = kTwoPi - theta;
  return theta;
}

}  // namespace

ArcAngles arcAngles(double xc, double yc, double r, const double* x, const double* y, int n) {
  ArcAngles out;
  if (n <= 0 || x == nullptr || y == nullptr || !(r > 0)) return out;
  double start = pixelAngle(xc, yc, r, x[0], y[0]);
  double end = pixelAngle(xc, yc, r, x[n - 1], y[n - 1]);

  const double ratio = n / (kTwoPi * r);
  if (ratio > 0.25 && ratio < 0.75) {
    // A half-open arc: the turn of first, middle and last pixel tells the direction.
    const int m = n / 2;
    const double cross = (x[m] - x[0]) * (y[n - 1] - y[m]) - (y[m] - y[0]) * (x[n - 1] - x[m]);
    if (cross < 0) std::swap(start, end);
  } else {
    // Short or long arcs: take whichever way round matches the pixel count.
    const double direct = std::fabs(end - start);
    const double wrapped = kTwoPi - direct;
    const double expected = ratio * kTwoPi;
    if (std::fabs(direct - expected) < std::fabs(wrapped - expected)) {
      if (start > end) std::swap(start, end);
    } else {
      if (start < end) std::swap(start, end);
    }
  }

  if (std::fabs(start - end) < 0.05235987755982988) {
    start = 0;
    end = 6.26;
  }
  if (start >= 6.26) start = 0;
  if (end < 0.15915494309189535) end = 6.28;
  out.start = start;
  out.end = end;
  return out;
}

double angularSpan(double s, double e) { return e > s ? e - s : kTwoPi - s + e; }

}  // namespace ced
