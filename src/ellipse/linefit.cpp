#include "linefit.h"

#include <cmath>
#include <limits>

namespace ced {

namespace {

// Least squares Y = a + b·X over the first n points; false when X has no spread.
bool solveLine(const double* xs, const double* ys, int n, double& a, double& b) {
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (int i = 0; i < n; ++i) {
    sx += xs[i];
    sy += ys[i];
    sxx += xs[i] * xs[i];
    sxy += xs[i] * ys[i];
  }
  const double d = n * sxx - sx * sx;
  if (d == 0) return false;
  a = (sxx * sy - sx * sxy) / d;
  b = (n * sxy - sx * sy) / d;
  return true;
}

}  // namespace

bool fitLineWithError(const double* x, const double* y, int count, LineFit& fit) {
  if (count < 2 || x == nullptr || y == nullptr) return false;
  double mx = 0, my = 0;
  for (int i = 0; i < count; ++i) {
    mx += x[i];
    my += y[i];
  }
  mx /= count;
  my /= count;
  double spreadX = 0, spreadY = 0;
  for (int i = 0; i < count; ++i) {
    spreadX += (x[i] - mx) * (x[i] - mx);
    spreadY += (y[i] - my) * (y[i] - my);
  }
  const int transposed = spreadY > spreadX ? 1 : 0;
  const double* xs = transposed ? y : x;
  const double* ys = transposed ? x : y;

  double a = 0, b = 0;
  if (!solveLine(xs, ys, count, a, b)) {
    // Every point is the same point: the line through it along X, fitting exactly.
    a = transposed ? mx : my;
    b = 0;
  }
  double error = 0;
  if (b == 0) {
    for (int i = 0; i < count; ++i) error += std::fabs(a - ys[i]);
    error /= count;
  } else {
    for (int i = 0; i < count; ++i) {
      const cv::Point2d p = closestPointOnLine(xs[i], ys[i], a, b, 0);
      error += (p.x - xs[i]) * (p.x - xs[i]) + (p.y - ys[i]) * (p.y - ys[i]);
    }
    error = std::sqrt(error / count);
  }
  fit.a = a;
  fit.b = b;
  fit.transposed = transposed;
  fit.error = error;
  return true;
}

bool fitLineOriented(const double* x, const double* y, int count, int transposed, double& a,
                     double& b) {
  if (count < 2 || x == nullptr || y == nullptr) return false;
  return transposed ? solveLine(y, x, count, a, b) : solveLine(x, y, count, a, b);
}

cv::Point2d closestPointOnLine(double x, double y, double a, double b, int transposed) {
  if (transposed == 0) {
    if (b == 0) return {x, a};
    const double m = -1 / b;
    const double x0 = (a - (y - m * x)) / (m - b);
    return {x0, a + b * x0};
  }
  if (b == 0) return {a, y};
  const double m = -1 / b;
  const double y0 = (a - (x - m * y)) / (m - b);
  return {a + b * y0, y0};
}

double distanceToLine(double x, double y, double a, double b, int transposed) {
  const cv::Point2d p = closestPointOnLine(x, y, a, b, transposed);
  return std::hypot(p.x - x, p.y - y);
}

double distanceToLineAgainst(double x, double y, double a, double b, int transposed, double limit) {
  const cv::Point2d p = closestPointOnLine(x, y, a, b, transposed);
  const double dx = p.x - x, dy = p.y - y;
  if (limit >= 1e-100 && limit <= 1e100) {
    // dx·dx + dy·dy is within 3 units in the last place of the true square (a few units of
    // 1e-324 more where it underflows, and infinite only where hypot exceeds 1e153), and
    // hypot within 1 of the true root: beyond a margin of 1e-9 of the squared limit both
    // fall on the same side of it.
    const double square = dx * dx + dy * dy;
    const double limitSquare = limit * limit;
    if (square < limitSquare * (1 - 1e-9)) return limit;
    if (square > limitSquare * (1 + 1e-9)) return std::numeric_limits<double>::infinity();
  }
  return std::hypot(dx, dy);
}

}  // namespace ced
