#pragma once

// Exact sample points, pixel chains and conics of known circles and ellipses, built from
// geometry alone, for the fitting and detector tests.

#include <gtest/gtest.h>
#include <opencv2/core/cvdef.h>

#include <algorithm>
#include <cmath>
#include <opencv2/core/types.hpp>
#include <utility>
#include <vector>

#include "conic.h"

namespace ced {
namespace testshapes {

struct Points {
  std::vector<double> x, y;
  int n() const { return static_cast<int>(x.size()); }
};

// n points at angles t0 + i·dt on the ellipse with centre (cx, cy), semi-axis a along the
// direction phi (radians, from +x toward +y) and semi-axis b across it.
inline Points ellipseArc(double cx, double cy, double a, double b, double phi, int n, double t0,
                         double dt) {
  Points p;
  for (int i = 0; i < n; ++i) {
    const double t = t0 + i * dt;
    const double u = a * std::cos(t), v = b * std::sin(t);
    p.x.push_back(cx + u * std::cos(phi) - v * std::sin(phi));
    p.y.push_back(cy + u * std::sin(phi) + v * std::cos(phi));
  }
  return p;
}

// The same points pushed alternately outward and inward along the ellipse's normal by `delta`
// pixels (first outward): each lies exactly `delta` from the curve, and the pattern has no
// bias, as a pixel chain is never exactly on a conic.
inline Points ellipseZigZag(double cx, double cy, double a, double b, double phi, int n, double t0,
                            double dt, double delta) {
  Points p = ellipseArc(cx, cy, a, b, phi, n, t0, dt);
  for (int i = 0; i < n; ++i) {
    const double t = t0 + i * dt, s = i % 2 ? -delta : delta;
    double nx = b * std::cos(t), ny = a * std::sin(t);
    const double len = std::hypot(nx, ny);
    nx /= len;
    ny /= len;
    p.x[i] += s * (nx * std::cos(phi) - ny * std::sin(phi));
    p.y[i] += s * (nx * std::sin(phi) + ny * std::cos(phi));
  }
  return p;
}

// The 8-connected pixel chain along that ellipse from t0 to t1, both included: samples at most
// 1/8 pixel apart, rounded, consecutive repeats removed.
inline std::vector<cv::Point> ellipsePixels(double cx, double cy, double a, double b, double phi,
                                            double t0, double t1) {
  const int samples = static_cast<int>(std::fabs(t1 - t0) * std::max(a, b) * 8) + 8;
  std::vector<cv::Point> out;
  for (int i = 0; i <= samples; ++i) {
    const Points p = ellipseArc(cx, cy, a, b, phi, 1, t0 + (t1 - t0) * i / samples, 0);
    const cv::Point q(static_cast<int>(std::lround(p.x[0])), static_cast<int>(std::lround(p.y[0])));
    if (out.empty() || out.back() != q) out.push_back(q);
  }
  return out;
}

inline Points circleArc(double cx, double cy, double r, int n, double t0, double dt) {
  return ellipseArc(cx, cy, r, r, 0, n, t0, dt);
}

// The conic of that ellipse, scaled so that F + (value at the centre) = −1.
inline ConicCoefficients ellipseConic(double cx, double cy, double a, double b, double phi) {
  const double c = std::cos(phi), s = std::sin(phi);
  const double ia = 1 / (a * a), ib = 1 / (b * b);
  ConicCoefficients eq;
  eq[1] = c * c * ia + s * s * ib;
  eq[2] = 2 * c * s * (ia - ib);
  eq[3] = s * s * ia + c * c * ib;
  eq[4] = -2 * eq[1] * cx - eq[2] * cy;
  eq[5] = -eq[2] * cx - 2 * eq[3] * cy;
  eq[6] = eq[1] * cx * cx + eq[2] * cx * cy + eq[3] * cy * cy - 1;
  return eq;
}

// The fit error of the points against `eq`.
inline double fitError(const ConicCoefficients& eq, const Points& p) {
  return ellipseFitError(eq, p.x.data(), p.y.data(), p.n());
}

// Expects `g` to be the ellipse (cx, cy, a, b, phi) in the frame the geometry is reported in:
// theta in (−π/4, π/4], a along theta; an ellipse turned by phi maps to it by quarter turns
// that exchange the axes. The centre may be off by `centreTolerance`, each axis by `relative`
// of itself, the angle by `angleTolerance` (not checked on a circle).
inline void expectGeometry(const EllipseGeometry& g, double cx, double cy, double a, double b,
                           double phi, double centreTolerance, double relative,
                           double angleTolerance) {
  while (phi > CV_PI / 4) phi -= CV_PI / 2, std::swap(a, b);
  while (phi <= -CV_PI / 4) phi += CV_PI / 2, std::swap(a, b);
  EXPECT_NEAR(g.xc, cx, centreTolerance);
  EXPECT_NEAR(g.yc, cy, centreTolerance);
  EXPECT_NEAR(g.a, a, relative * a);
  EXPECT_NEAR(g.b, b, relative * b);
  EXPECT_NEAR(g.theta, std::fabs(a - b) > 1e-3 * a ? phi : g.theta, angleTolerance);
}

// Ramanujan's second approximation, written independently of the code under test.
inline double ramanujan(double a, double b) {
  const double h = std::pow((a - b) / (a + b), 2);
  return CV_PI * (a + b) * (1 + 3 * h / (10 + std::sqrt(4 - 3 * h)));
}

}  // namespace testshapes
}  // namespace ced
