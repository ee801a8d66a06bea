#include "conic.h"

#include <gtest/gtest.h>
#include <opencv2/core/cvdef.h>

#include <cmath>
#include <tuple>

#include "ellipsetest_expect.h"
#include "fittest_shapes.h"

namespace ced {
namespace {

using namespace testshapes;

TEST(Conic, NormalisedRotationRemovesTheCrossTerm) {
  // x² + x·y + y² = 1 (A = C): theta = atan(inf)/2 = pi/4, A' = 3/2, C' = 1/2.
  const NormalisedConic n = normaliseRotation({{0, 1, 1, 1, 0, 0, -1}});
  EXPECT_TRUE(testexpect::allNear({n.theta, n.A, n.C, n.a, n.b},
                                  {CV_PI / 4, 1.5, 0.5, std::sqrt(1 / 1.5), std::sqrt(1 / 0.5)},
                                  1e-12));
  // Without a cross term nothing turns: 2x² + 8y² − 4x − 16y + 2 = 0 divided by 2 is
  // (x−1)²/4 + (y−1)² = 1, so d = e = −2, K = 4, a = 2, b = 1.
  const NormalisedConic m = normaliseRotation({{0, 2, 0, 8, -4, -16, 2}});
  EXPECT_EQ(std::tuple(m.theta, m.A, m.C, m.d, m.e, m.a, m.b),
            std::tuple(0.0, 1.0, 4.0, -2.0, -2.0, 2.0, 1.0));
}

TEST(Conic, PerimeterIsRamanujansApproximationWithTheShortPi) {
  // Ramanujan's second approximation, with π as 3.14159265 (a circle's is pinned where
  // elliptic arcs get their coverage).
  const double expected = ramanujan(80, 8) / CV_PI * 3.14159265;
  EXPECT_NEAR(ellipsePerimeter(ellipseConic(7, 9, 80, 8, 0.4)), expected, 1e-9 * expected);
}

TEST(Conic, FitErrorIsZeroOnTheCurveAndTheDistanceOffIt) {
  const ConicCoefficients ring = ellipseConic(50, 50, 20, 20, 0);
  EXPECT_LT(fitError(ring, circleArc(50, 50, 20, 40, 0.05, 0.15)), 1e-9);
  // On a circle the ray through the centre hits the nearest point, so the error is the radial
  // offset itself, outside or inside. A point on the centre has no ray; it takes the vertical
  // line through it, 20 from the ring.
  const double x = 50, y = 50;
  EXPECT_TRUE(testexpect::allNear(
      {fitError(ring, circleArc(50, 50, 21.5, 40, 0.05, 0.15)),
       fitError(ring, circleArc(50, 50, 19, 40, 0.05, 0.15)), ellipseFitError(ring, &x, &y, 1)},
      {1.5, 1.0, 20.0}, 1e-9));

  // An elongated turned ellipse: exact points give ~0, points alternately 0.8 outside and
  // inside it along the normal give close to 0.8 (the local search works in half-pixel steps).
  const double cx = 100, cy = 70, a = 60, b = 25, phi = 0.6;
  const ConicCoefficients eq = ellipseConic(cx, cy, a, b, phi);
  EXPECT_LT(fitError(eq, ellipseArc(cx, cy, a, b, phi, 90, 0, 2 * CV_PI / 90)), 1e-9);
  const double err = fitError(eq, ellipseZigZag(cx, cy, a, b, phi, 90, 0, 2 * CV_PI / 90, 0.8));
  EXPECT_GT(err, 0.78);
  EXPECT_LT(err, 0.95);
  EXPECT_EQ(ellipseFitError(eq, nullptr, nullptr, 0), 0);  // no points: no error
}

}  // namespace
}  // namespace ced
