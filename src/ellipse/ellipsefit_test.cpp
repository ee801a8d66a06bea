#include "ellipsefit.h"

#include <gtest/gtest.h>
#include <opencv2/core/cvdef.h>

#include "fittest_shapes.h"

namespace ced {
namespace {

using namespace testshapes;

// `delta`: how far the test points sit off the curve. Points exactly on one conic make the
// scatter matrix singular and the fit fails (its Cholesky factor gets a zero pivot); with
// coordinates in the hundreds, the offset must stand above the rounding of x⁴-sized sums.
struct Case {
  double cx, cy, a, b, phi;
  int n;
  double t0, dt, delta;
};

const Case kCases[] = {
    {120, 80, 40, 25, 0.3, 100, 0, 2 * CV_PI / 100, 1e-5},
    {640, 512, 400, 380, 1.2, 500, 0, 2 * CV_PI / 500, 1e-4},  // wheel-sized, turned past pi/4
    {64, 48, 30, 20, 0.9, 30, 0.5, 0.07, 1e-5},                // a 2-radian arc only
};

class EllipseFitKnown : public ::testing::TestWithParam<Case> {};

TEST_P(EllipseFitKnown, RecoversCentreAxesAndAngleInBothModes) {
  const Case& c = GetParam();
  const Points p = ellipseZigZag(c.cx, c.cy, c.a, c.b, c.phi, c.n, c.t0, c.dt, c.delta);
  for (int mode : {1, 0}) {
    SCOPED_TRACE(mode);
    ConicCoefficients eq;
    ASSERT_TRUE(fitEllipse(p.x.data(), p.y.data(), p.n(), eq, mode));
    expectGeometry(ellipseCentreAndAxes(eq), c.cx, c.cy, c.a, c.b, c.phi, 1e-6 * std::max(c.a, c.b),
                   1e-6, 1e-5);
    // Every point is delta from the true curve; the error measures along the ray from the
    // centre, which is never shorter than the normal.
    const double err = fitError(eq, p);
    EXPECT_GE(err, 0.95 * c.delta);
    EXPECT_LE(err, 1.3 * c.delta);
    // The quadratic part is an ellipse: 4AC − B² > 0.
    EXPECT_GT(4 * eq[1] * eq[3] - eq[2] * eq[2], 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, EllipseFitKnown, ::testing::ValuesIn(kCases));

TEST(EllipseFit, FailsOnTooFewAndDegeneratePoints) {
  const Points five = ellipseZigZag(20, 20, 10, 6, 0.2, 5, 0, 1.2, 0.2);
  ConicCoefficients eq;
  eq[1] = 42;
  EXPECT_FALSE(fitEllipse(five.x.data(), five.y.data(), 5, eq, 1));
  EXPECT_EQ(eq[1], 42);  // untouched on failure
  EXPECT_EQ(fitEllipseWithError(five.x.data(), five.y.data(), 5, eq), 1e10);

  // Six points off one ellipse are enough.
  const Points six = ellipseZigZag(20, 20, 10, 6, 0.2, 6, 0, 1.0, 0.2);
  EXPECT_TRUE(fitEllipse(six.x.data(), six.y.data(), 6, eq, 1));

  // Collinear points make the normal matrix singular: the inversion stops, no eigenvalue
  // qualifies. So do points all in one place.
  Points line, spot;
  for (int i = 0; i < 20; ++i) line.x.push_back(3 + i), line.y.push_back(7 + 0.5 * i);
  spot.x.assign(10, 5.0), spot.y.assign(10, 9.0);
  for (const Points& p : {line, spot})
    EXPECT_FALSE(fitEllipse(p.x.data(), p.y.data(), p.n(), eq, 1)) << p.n();
  EXPECT_FALSE(fitEllipse(nullptr, nullptr, 10, eq, 1));
}

TEST(EllipseFit, RejectsPerimetersOutsideOneTo50000Pixels) {
  // A huge ellipse (perimeter ≈ 2π·10000 > 50000) fits exactly but is refused.
  const Points big = ellipseZigZag(0, 0, 10000, 9000, 0, 200, 0, 2 * CV_PI / 200, 0.5);
  ConicCoefficients eq;
  EXPECT_FALSE(fitEllipse(big.x.data(), big.y.data(), big.n(), eq, 1));
  // Just inside the limit (perimeter ≈ 2π·7000 ≈ 43982) it is accepted.
  const Points large = ellipseZigZag(0, 0, 7000, 7000, 0, 200, 0, 2 * CV_PI / 200, 0.5);
  EXPECT_TRUE(fitEllipse(large.x.data(), large.y.data(), large.n(), eq, 1));
}

}  // namespace
}  // namespace ced
