#include "conic.h"

#include <gtest/gtest.h>
#include <opencv2/core/cvdef.h>

#include <cmath>

#include "fittest_shapes.h"

namespace ced {
namespace {

using namespace testshapes;

// The frame the geometry is reported in: theta in (−pi/4, pi/4], a along theta. An ellipse turned
// by phi maps to it by quarter turns that exchange the axes.
void expectGeometry(const EllipseGeometry& g, double cx, double cy, double a, double b,
                    double phi) {
  while (phi > CV_PI / 4) phi -= CV_PI / 2, std::swap(a, b);
  while (phi <= -CV_PI / 4) phi += CV_PI / 2, std::swap(a, b);
  EXPECT_NEAR(g.xc, cx, 1e-9 * (1 + std::fabs(cx)));
  EXPECT_NEAR(g.yc, cy, 1e-9 * (1 + std::fabs(cy)));
  EXPECT_NEAR(g.a, a, 1e-9 * a);
  EXPECT_NEAR(g.b, b, 1e-9 * b);
  EXPECT_NEAR(g.theta, phi, 1e-9);
}

TEST(Conic, CentreAxesAndAngleOfKnownEllipses) {
  expectGeometry(ellipseCentreAndAxes(ellipseConic(300.5, 17.25, 60, 59, -0.7)), 300.5, 17.25, 60,
                 59, -0.7);
  // Turned by more than pi/4: the axes are reported across the quarter turn.
  expectGeometry(ellipseCentreAndAxes(ellipseConic(50, 60, 30, 10, 1.2)), 50, 60, 30, 10, 1.2);
  // Scaling the whole equation (even by a negative factor) describes the same ellipse.
  ConicCoefficients eq = ellipseConic(10, 20, 8, 4, 0.5);
  for (int i = 1; i <= 6; ++i) eq[i] *= -37.5;
  expectGeometry(ellipseCentreAndAxes(eq), 10, 20, 8, 4, 0.5);
}

TEST(Conic, NormalisedRotationRemovesTheCrossTerm) {
  // x² + x·y + y² = 1 (A = C): theta = atan(inf)/2 = pi/4, A' = 3/2, C' = 1/2.
  ConicCoefficients eq;
  eq[1] = 1;
  eq[2] = 1;
  eq[3] = 1;
  eq[6] = -1;
  const NormalisedConic n = normaliseRotation(eq);
  EXPECT_NEAR(n.theta, CV_PI / 4, 1e-12);
  EXPECT_NEAR(n.A, 1.5, 1e-12);
  EXPECT_NEAR(n.C, 0.5, 1e-12);
  EXPECT_NEAR(n.a, std::sqrt(1 / 1.5), 1e-12);
  EXPECT_NEAR(n.b, std::sqrt(1 / 0.5), 1e-12);
  // Without a cross term nothing turns: 2x² + 8y² − 4x − 16y + 2 = 0 divided by 2 is
  // (x−1)²/4 + (y−1)² = 1, so d = e = −2, K = 4, a = 2, b = 1.
  ConicCoefficients axis;
  axis[1] = 2;
  axis[3] = 8;
  axis[4] = -4;
  axis[5] = -16;
  axis[6] = 2;
  const NormalisedConic m = normaliseRotation(axis);
  EXPECT_EQ(m.theta, 0);
  EXPECT_DOUBLE_EQ(m.A, 1);
  EXPECT_DOUBLE_EQ(m.C, 4);
  EXPECT_DOUBLE_EQ(m.d, -2);
  EXPECT_DOUBLE_EQ(m.e, -2);
  EXPECT_DOUBLE_EQ(m.a, 2);
  EXPECT_DOUBLE_EQ(m.b, 1);
}

TEST(Conic, PerimeterIsRamanujansApproximationWithTheShortPi) {
  // A circle: h = 0, so exactly 3.14159265 · 2r.
  EXPECT_NEAR(ellipsePerimeter(ellipseConic(40, 40, 20, 20, 0)), 3.14159265 * 40, 1e-9);
  // An ellipse: Ramanujan's second approximation, with that π.
  const double expected = ramanujan(80, 8) / CV_PI * 3.14159265;
  EXPECT_NEAR(ellipsePerimeter(ellipseConic(7, 9, 80, 8, 0.4)), expected, 1e-9 * expected);
}

TEST(Conic, FitErrorIsZeroOnTheCurveAndTheDistanceOffIt) {
  const ConicCoefficients ring = ellipseConic(50, 50, 20, 20, 0);
  Points on = circleArc(50, 50, 20, 40, 0.05, 0.15);
  EXPECT_LT(ellipseFitError(ring, on.x.data(), on.y.data(), on.n()), 1e-9);
  // On a circle the ray through the centre hits the nearest point, so the error is the radial
  // offset itself, inside or outside.
  Points out = circleArc(50, 50, 21.5, 40, 0.05, 0.15);
  EXPECT_NEAR(ellipseFitError(ring, out.x.data(), out.y.data(), out.n()), 1.5, 1e-9);
  Points in = circleArc(50, 50, 19, 40, 0.05, 0.15);
  EXPECT_NEAR(ellipseFitError(ring, in.x.data(), in.y.data(), in.n()), 1.0, 1e-9);

  // An elongated turned ellipse: exact points give ~0, points 0.8 off it along the normal
  // give close to 0.8 (the local search works in half-pixel steps).
  const double cx = 100, cy = 70, a = 60, b = 25, phi = 0.6;
  const ConicCoefficients eq = ellipseConic(cx, cy, a, b, phi);
  Points e = ellipseArc(cx, cy, a, b, phi, 90, 0, 2 * CV_PI / 90);
  EXPECT_LT(ellipseFitError(eq, e.x.data(), e.y.data(), e.n()), 1e-9);
  // Alternately 0.8 outside and inside the curve along its normal.
  const Points pushed = ellipseZigZag(cx, cy, a, b, phi, 90, 0, 2 * CV_PI / 90, 0.8);
  const double err = ellipseFitError(eq, pushed.x.data(), pushed.y.data(), pushed.n());
  EXPECT_GT(err, 0.78);
  EXPECT_LT(err, 0.95);
  // No points: no error.
  EXPECT_EQ(ellipseFitError(eq, nullptr, nullptr, 0), 0);
  // A point on the centre has no ray; it takes the vertical line through it, 20 from the ring.
  const double x = 50, y = 50;
  EXPECT_NEAR(ellipseFitError(ring, &x, &y, 1), 20.0, 1e-9);
}

}  // namespace
}  // namespace ced
