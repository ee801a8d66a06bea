#include "arcstocandidates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "circlefit.h"
#include "conic.h"
#include "detectorconstants.h"
#include "ellipsefit.h"
#include "ellipsetest_expect.h"

namespace ced {
namespace {

// Pixels along the ellipse (cx + a·cos t, cy + b·sin t), t in [0, sweep), rounded to 1/8
// pixel, and a circular arc record over them with the given coverage and circle error.
struct ArcPixels {
  std::vector<double> x, y;
  ArcCandidate arc;
  ArcPixels(double a, double b, double sweep, double coverage, double circleError) {
    const int n = static_cast<int>(sweep * (a + b) / 2);
    for (int k = 0; k < n; ++k) {
      const double t = sweep * k / n;
      x.push_back(std::round((100 + a * std::cos(t)) * 8) / 8);
      y.push_back(std::round((90 + b * std::sin(t)) * 8) / 8);
    }
    const CircleFit fit = fitCircle(x.data(), y.data(), n);
    arc.xc = fit.xc;
    arc.yc = fit.yc;
    arc.r = fit.r;
    arc.circleError = circleError;
    arc.startAngle = 0;
    arc.endAngle = sweep;
    arc.coverage = coverage;
    arc.turn = 1;
    arc.x = x.data();
    arc.y = y.data();
    arc.pixelCount = n;
  }
};

TEST(ArcsToCandidates, CircleCoverThresholds) {
  EXPECT_TRUE(coversEnoughForCircle(0.87, 1.5));
  EXPECT_FALSE(coversEnoughForCircle(0.86, 1.5));
  EXPECT_TRUE(coversEnoughForCircle(0.5, 1.25));
  EXPECT_FALSE(coversEnoughForCircle(0.5, 1.26));
  EXPECT_TRUE(coversEnoughForCircle(0.33, 1.0));
  EXPECT_FALSE(coversEnoughForCircle(0.32, 1.0));
  EXPECT_FALSE(coversEnoughForCircle(0.99, 1.51));
}

// Coverage and error are set by hand; the pixels are a clean circular arc of radius 40.
struct CoverCase {
  double coverage, error;
  bool circle;
};
class CircularArcs : public ::testing::TestWithParam<CoverCase> {};

TEST_P(CircularArcs, BecomeCirclesByCoverAndError) {
  const CoverCase& c = GetParam();
  ArcPixels p(40, 40, c.coverage * kTwoPi, c.coverage, c.error);
  CandidateList out;
  arcsToCandidates({p.arc}, out);
  ASSERT_EQ(out.size(), c.circle ? 1u : 0u);
  if (!c.circle) return;
  EXPECT_FALSE(out[0].elliptic);
  EXPECT_EQ(out[0].circleError, c.error);
  // The candidate's coverage is its own: pixels over the circle's length.
  EXPECT_DOUBLE_EQ(out[0].coverage, p.arc.pixelCount / (kTwoPi * p.arc.r));
}

INSTANTIATE_TEST_SUITE_P(ArcsToCandidates, CircularArcs,
                         ::testing::Values(CoverCase{0.9, 1.4, true}, CoverCase{0.6, 1.2, true},
                                           CoverCase{0.35, 0.9, true}, CoverCase{0.24, 0.1, false},
                                           CoverCase{0.30, 1.1, false}));

TEST(ArcsToCandidates, ACircularArcThatIsReallyElliptic) {
  // Two thirds of an ellipse 60 x 30: its circle error (set to 3) disqualifies the circle, an
  // ellipse fits it well and covers two thirds of its length.
  ArcPixels p(60, 30, 2 * kTwoPi / 3, 0.66, 3.0);
  CandidateList out;
  arcsToCandidates({p.arc}, out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_TRUE(out[0].elliptic);
  EXPECT_LE(out[0].ellipseError, 1.5);
  EXPECT_ELLIPSE_NEAR(out[0].eq, 100, 90, 60, 30, 0.1, 0.2);
  // Below 0.33 covered there is no ellipse attempt.
  ArcPixels small(60, 30, 0.3 * kTwoPi, 0.3, 3.0);
  out.clear();
  arcsToCandidates({small.arc}, out);
  EXPECT_TRUE(out.empty());
}

TEST(ArcsToCandidates, EllipticArcsBecomeEllipsesOrFallBackToCircles) {
  ArcPixels p(60, 30, 0.8 * kTwoPi, 0.0, 3.0);
  ConicCoefficients eq;
  const double error = fitEllipseWithError(p.x.data(), p.y.data(), p.arc.pixelCount, eq);
  ASSERT_LE(error, 1.5);
  ArcCandidate e = p.arc;
  e.elliptic = true;
  e.eq = eq;
  e.ellipseError = error;

  // Enough coverage: an ellipse with the arc's conic and its own coverage.
  e.coverage = 0.55;
  CandidateList out;
  arcsToCandidates({e}, out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_TRUE(out[0].elliptic);
  EXPECT_DOUBLE_EQ(out[0].coverage, p.arc.pixelCount / ellipsePerimeter(eq));

  // Too little coverage, but its angles span 0.9 of a turn and its circle error is 1.4: a
  // circle.
  e.coverage = 0.45;
  e.circleError = 1.4;
  e.startAngle = 0.2;
  e.endAngle = 0.2 + 0.9 * kTwoPi;
  out.clear();
  arcsToCandidates({e}, out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_FALSE(out[0].elliptic);

  // The span wraps through 0 (start 5.0, end 0.4: 1.683 rad, 0.27 of a turn): not enough.
  e.startAngle = 5.0;
  e.endAngle = 0.4;
  out.clear();
  arcsToCandidates({e}, out);
  EXPECT_TRUE(out.empty());

  // A poor ellipse fit with a good coverage falls back to the same circle test.
  e.coverage = 0.9;
  e.ellipseError = 1.6;
  e.circleError = 1.5;
  out.clear();
  arcsToCandidates({e}, out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_FALSE(out[0].elliptic);
}

}  // namespace
}  // namespace ced
