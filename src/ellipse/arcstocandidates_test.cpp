#include "arcstocandidates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
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
    PixelBuffer unused(0);
    ArcList one;
    addCircularArc(one, unused, fit.xc, fit.yc, fit.r, circleError, 0, sweep, 1, 0, 0, 0, 0, 0,
                   x.data(), y.data(), n);
    arc = one[0];
    arc.coverage = coverage;
  }
};

CandidateList candidatesOf(const ArcCandidate& arc) {
  CandidateList out;
  arcsToCandidates({arc}, out);
  return out;
}

TEST(ArcsToCandidates, CircleCoverThresholds) {
  // Coverage 0.87 at error 1.5, half at 1.25, a third at 1.0; nothing above 1.5.
  for (const auto& [coverage, error, enough] : {std::tuple{0.87, 1.5, true},
                                                {0.86, 1.5, false},
                                                {0.5, 1.25, true},
                                                {0.5, 1.26, false},
                                                {0.33, 1.0, true},
                                                {0.32, 1.0, false},
                                                {0.99, 1.51, false}})
    EXPECT_EQ(coversEnoughForCircle(coverage, error), enough) << coverage << " " << error;
}

// Coverage and error are set by hand (the thresholds are checked above); the pixels are a clean
// circular arc of radius 40.
TEST(ArcsToCandidates, ACircularArcBecomesACircleWithItsOwnCoverage) {
  ArcPixels p(40, 40, 0.6 * kTwoPi, 0.6, 1.2);
  const CandidateList out = candidatesOf(p.arc);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(std::pair(out[0].elliptic, out[0].circleError), std::pair(false, 1.2));
  // Pixels over the circle's length, not the arc's coverage.
  EXPECT_DOUBLE_EQ(out[0].coverage, p.arc.pixelCount / (kTwoPi * p.arc.r));
}

TEST(ArcsToCandidates, ACircularArcThatIsReallyElliptic) {
  // Two thirds of an ellipse 60 x 30: its circle error (set to 3) disqualifies the circle, an
  // ellipse fits it well and covers two thirds of its length.
  ArcPixels p(60, 30, 2 * kTwoPi / 3, 0.66, 3.0);
  const CandidateList out = candidatesOf(p.arc);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_TRUE(out[0].elliptic);
  EXPECT_LE(out[0].ellipseError, 1.5);
  EXPECT_TRUE(testexpect::ellipseNear(out[0].eq, 100, 90, 60, 30, 0.1, 0.2));
  // Below 0.33 covered there is no ellipse attempt.
  EXPECT_TRUE(candidatesOf(ArcPixels(60, 30, 0.3 * kTwoPi, 0.3, 3.0).arc).empty());
}

TEST(ArcsToCandidates, EllipticArcsBecomeEllipsesOrFallBackToCircles) {
  ArcPixels p(60, 30, 0.8 * kTwoPi, 0.0, 3.0);
  ArcCandidate e = p.arc;
  e.ellipseError = fitEllipseWithError(p.x.data(), p.y.data(), p.arc.pixelCount, e.eq);
  ASSERT_LE(e.ellipseError, 1.5);
  e.elliptic = true;

  // Enough coverage: an ellipse with the arc's conic and its own coverage.
  e.coverage = 0.55;
  CandidateList out = candidatesOf(e);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_TRUE(out[0].elliptic);
  EXPECT_DOUBLE_EQ(out[0].coverage, p.arc.pixelCount / ellipsePerimeter(e.eq));

  // Too little coverage, but its angles span 0.9 of a turn and its circle error is 1.4: a
  // circle.
  e.coverage = 0.45;
  e.circleError = 1.4;
  e.startAngle = 0.2;
  e.endAngle = 0.2 + 0.9 * kTwoPi;
  out = candidatesOf(e);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_FALSE(out[0].elliptic);

  // The span wraps through 0 (start 5.0, end 0.4: 1.683 rad, 0.27 of a turn): not enough.
  e.startAngle = 5.0;
  e.endAngle = 0.4;
  EXPECT_TRUE(candidatesOf(e).empty());

  // A poor ellipse fit with a good coverage falls back to the same circle test.
  e.coverage = 0.9;
  e.ellipseError = 1.6;
  e.circleError = 1.5;
  out = candidatesOf(e);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_FALSE(out[0].elliptic);
}

}  // namespace
}  // namespace ced
