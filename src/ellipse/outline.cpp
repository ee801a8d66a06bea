#include "outline.h"

#include <cmath>

#include "detectorconstants.h"

namespace ced {

namespace {}  // namespace

std::vector<cv::Point> circleOutline(double xc, double yc, double r) {
  std::vector<cv::Point> pts;
  const double count = std::floor(kTwoPi * r + 0.5);
  if (!(r > 0) || !(count >= 1) || !std::isfinite(xc) || !std::isfinite(yc) || count > 1e8)
    return pts;
  const double step = kTwoPi / count;
  pts.reserve(static_cast<size_t>(count) + 1);
  for (double angle = 0; angle < kTwoPi; angle += step) {
    pts.emplace_back(static_cast<int>(std::cos(angle) * r + xc + 0.5),
                     static_cast<int>(std::sin(angle) * r + yc + 0.5));
  }
  return pts;
}

std::vector<cv::Point2d> ellipseOutline(const ConicCoefficients& eq, int n) {
  std::vector<cv::Point2d> pts;
  if (n % 2 == 1) --n;
  if (n < 2) return pts;
  const int h = n / 2;
  pts.assign(static_cast<size_t>(n), cv::Point2d(-1, -1));
  const double A = eq[1], B = eq[2], C = eq[3], D = eq[4], E = eq[5], F = eq[6];
  // W = inverse of [[A, B/2], [B/2, C]]; a conic without one (a parabola) has no outline.
  const double det = A * C - B * B / 4;
  if (det == 0 || !std::isfinite(det)) return pts;
  const double w11 = C / det, w12 = -B / 2 / det, w22 = A / det;
  const double kappa = D * (w11 * D + w12 * E) + E * (w12 * D + w22 * E) - 4 * F;
  for (int k = 0; k < h; ++k) {
    const double phi = k * 3.14781 / h;
    const double ux = std::cos(phi), uy = std::sin(phi);
    const double t = kappa / (ux * (w11 * ux + w12 * uy) + uy * (w12 * ux + w22 * uy));
    if (!(t >= 0)) continue;
    const double lambda = std::sqrt(t);
    const double p1x = 0.5 * (lambda * ux - D), p1y = 0.5 * (lambda * uy - E);
    const double p2x = 0.5 * (-lambda * ux - D), p2y = 0.5 * (-lambda * uy - E);
    const cv::Point2d a(w11 * p1x + w12 * p1y, w12 * p1x + w22 * p1y);
    const cv::Point2d b(w11 * p2x + w12 * p2y, w12 * p2x + w22 * p2y);
    // Non-finite points stay at (-1, -1) so callers can round them to pixels safely.
    if (std::isfinite(a.x) && std::isfinite(a.y)) pts[k] = a;
    if (std::isfinite(b.x) && std::isfinite(b.y)) pts[k + h] = b;
  }
  return pts;
}

}  // namespace ced
