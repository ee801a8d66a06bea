#include "fitting/fitcircleweighted.h"

#include <gtest/gtest.h>
#include <opencv2/core/cvdef.h>

#include <cmath>
#include <vector>

#include "vistrel/assert.h"

namespace vistrel {
namespace {

// n points of strength `strength` on the circle, spread over [a0, a1) degrees; each point moved
// radially by offsets[i % offsets.size()].
std::vector<cv::Vec3f> onCircle(double cx, double cy, double r, int n, double a0 = 0,
                                double a1 = 360, std::vector<double> offsets = {0},
                                float strength = 1) {
  std::vector<cv::Vec3f> pts;
  for (int i = 0; i < n; ++i) {
    const double a = (a0 + (a1 - a0) * i / n) * CV_PI / 180;
    const double rr = r + offsets[i % offsets.size()];
    pts.emplace_back(static_cast<float>(cx + rr * std::cos(a)),
                     static_cast<float>(cy + rr * std::sin(a)), strength);
  }
  return pts;
}

// Four points on one line: no circle passes through them.
const std::vector<cv::Vec3f> kLine = {{0, 0, 1}, {1, 1, 1}, {2, 2, 1}, {5, 5, 1}};

void expectCircle(const cv::Vec3f& c, double cx, double cy, double r, double tol) {
  EXPECT_NEAR(c[0], cx, tol);
  EXPECT_NEAR(c[1], cy, tol);
  EXPECT_NEAR(c[2], r, tol);
}

// The geometric fit's optimality: the weighted residuals sum to zero, and so do their
// projections on the unit directions from the centre (the gradient of sum w (d - r)^2).
void expectGeometricOptimum(const std::vector<cv::Vec3f>& pts, const cv::Vec3f& c) {
  double g0 = 0, gx = 0, gy = 0, w = 0;
  for (const auto& p : pts) {
    const double dx = p[0] - c[0], dy = p[1] - c[1], d = std::hypot(dx, dy);
    g0 += p[2] * (d - c[2]);
    gx += p[2] * (d - c[2]) * dx / d;
    gy += p[2] * (d - c[2]) * dy / d;
    w += p[2];
  }
  EXPECT_LE(cv::norm(cv::Vec3d(g0, gx, gy) / w, cv::NORM_INF), 2e-4);
}

// The robust fit with residual limit 1 and at least 3 points.
int weighted(const std::vector<cv::Vec3f>& pts, cv::Vec3f& c, CircleFitMethod method,
             WeightType type, float cutoff = 3, int maxPasses = 5) {
  return fitCircleWeighted(pts, &c, method, type, cutoff, maxPasses, 1, 3);
}

TEST(FitCircle, TaubinIsExactOnCirclePointsAndFailsWhenUnderdetermined) {
  cv::Vec3f c(0, 0, 0);
  auto pts = onCircle(3.5, -2, 10, 12);
  EXPECT_EQ(fitCircleTaubin(pts, nullptr, &c, 3), 12);
  expectCircle(c, 3.5, -2, 10, 1e-4);
  // Three points determine the circle; an outlier of weight 0 is left out.
  pts = onCircle(100, 200, 50, 3, 10, 250);
  pts.emplace_back(0.f, 0.f, 1.f);
  const std::vector<float> w = {1, 2, 0.5f, 0};
  EXPECT_EQ(fitCircleTaubin(pts, w.data(), &c, 3), 3);
  expectCircle(c, 100, 200, 50, 2e-3);

  const cv::Vec3f before(1, 2, 3);
  c = before;
  EXPECT_EQ(fitCircleTaubin(kLine, nullptr, &c, 3), -1);
  EXPECT_EQ(fitCircleTaubin(onCircle(0, 0, 5, 5), nullptr, &c, 6), -1);
  EXPECT_EQ(fitCircleTaubin(onCircle(0, 0, 5, 8, 0, 360, {0}, 0.f), nullptr, &c, 3), -1);
  EXPECT_EQ(fitCircleTaubin({}, nullptr, &c, 3), -1);
  EXPECT_EQ(c, before);
}

TEST(FitCircle, LevenbergMarquardtMinimisesTheGeometricDistance) {
  // A 60 degree arc with radial noise: algebraic fits are biased there, the geometric one sits
  // at the optimum of the weighted squared distances.
  const auto pts = onCircle(40, 30, 25, 30, 20, 80, {0.8, -0.3, 0.5, -0.9, 0.1, 0.4, -0.6});
  cv::Vec3f c(0, 0, 0);
  EXPECT_EQ(fitCircleLevenbergMarquardt(pts, nullptr, &c, 3), 30);
  expectGeometricOptimum(pts, c);
  // From a start circle far off (but on the right side) it reaches the same optimum.
  cv::Vec3f c2(30, 20, 40);
  fitCircleLevenbergMarquardt(pts, nullptr, &c2, 3);
  expectCircle(c2, c[0], c[1], c[2], 1e-3);

  // A strength of 2 counts like the point taken twice.
  auto strong = onCircle(0, 0, 20, 10, 0, 90, {0.7, -0.4, 0.2});
  auto doubled = strong;
  for (int i = 0; i < 10; i += 3) {
    strong[i][2] = 2;
    doubled.push_back(doubled[i]);
  }
  cv::Vec3f s(0, 0, 0), d(0, 0, 0);
  fitCircleLevenbergMarquardt(strong, nullptr, &s, 3);
  fitCircleLevenbergMarquardt(doubled, nullptr, &d, 3);
  expectCircle(s, d[0], d[1], d[2], 1e-3);
}

TEST(FitCircle, LevenbergMarquardtFailuresStayFinite) {
  cv::Vec3f c(0, 0, 0);
  EXPECT_EQ(fitCircleLevenbergMarquardt(kLine, nullptr, &c, 3), -1);  // no Taubin start
  EXPECT_EQ(fitCircleLevenbergMarquardt(onCircle(0, 0, 5, 5), nullptr, &c, 6), -1);
  // From a given start, collinear points drive the centre away: the fit stops with a finite
  // circle no worse than the start.
  cv::Vec3f s(1, -1, 2);
  EXPECT_GE(fitCircleLevenbergMarquardt(kLine, nullptr, &s, 3), 3);
  EXPECT_TRUE(std::fabs(s[0]) <= 1e6 && std::isfinite(s[1]) && s[2] > 0 && std::isfinite(s[2]))
      << s;
  // A point on the centre itself has no direction and is left out.
  auto pts = onCircle(10, 10, 5, 8);
  pts.emplace_back(10.f, 10.f, 1.f);
  cv::Vec3f start(10, 10, 5);
  EXPECT_EQ(fitCircleLevenbergMarquardt(pts, nullptr, &start, 3), 8);
  expectCircle(start, 10, 10, 5, 1e-4);
}

TEST(FitCircle, ResidualSumByHand) {
  const std::vector<cv::Vec3f> pts = {{3, 4, 1}, {6, 8, 1}, {0, 0, 1}, {-5, 0, 9}};
  std::vector<float> r(4, -1.f);
  EXPECT_DOUBLE_EQ(residualSum(pts, cv::Vec3f(0, 0, 5), r.data()), 10);
  EXPECT_EQ(r, (std::vector<float>{0, 5, 5, 0}));
}

TEST(FitCircle, WeightedFitDropsOutliersAndStopsWhenSettled) {
  // 36 points on a circle and one 4 px outside it: the hard cut-off of 3 drops the outlier, so
  // the reweighted fit is the exact circle of the others.
  auto pts = onCircle(50, 40, 20, 36);
  pts.emplace_back(50.f + 24.f, 40.f, 1.f);
  cv::Vec3f c(0, 0, 0);
  EXPECT_EQ(weighted(pts, c, CircleFitMethod::LevenbergMarquardt, WeightType::HardCutoff), 36);
  expectCircle(c, 50, 40, 20, 1e-3);

  // Points exactly on a circle: the residual sum is below the limit before any pass.
  const auto exact = onCircle(5, 6, 7, 16);
  EXPECT_EQ(weighted(exact, c, CircleFitMethod::Taubin, WeightType::L1L2), 16);
  expectCircle(c, 5, 6, 7, 1e-4);

  // Alternating radial offsets of +-0.1 px: residual sum 7.2, above the limit, but every point
  // keeps weight 1, so the one reweighted fit lands where the first one did and the loop stops
  // with the first circle, bit for bit.
  const auto ripple = onCircle(0, 0, 30, 72, 0, 360, {0.1, -0.1});
  cv::Vec3f first(0, 0, 0);
  fitCircleLevenbergMarquardt(ripple, nullptr, &first, 3);
  EXPECT_EQ(weighted(ripple, c, CircleFitMethod::LevenbergMarquardt, WeightType::HardCutoff), 72);
  EXPECT_EQ(c, first);
}

TEST(FitCircle, WeightedFitMakesAtMostMaxPassesReweightedFits) {
  // A cluster of outliers pulls the plain fit; each L1-L2 pass pulls it back a little more.
  auto pts = onCircle(0, 0, 40, 60, 0, 360);
  for (int i = 0; i < 8; ++i) pts.emplace_back(42.5f + 0.1f * i, 0.5f * i, 1.f);
  cv::Vec3f plain(0, 0, 0);
  fitCircleLevenbergMarquardt(pts, nullptr, &plain, 3);
  // One pass by hand.
  std::vector<float> res(pts.size()), w(pts.size());
  residualSum(pts, plain, res.data());
  selectWeightFunction(WeightType::L1L2, 0)(static_cast<int>(pts.size()), res.data(), w.data());
  cv::Vec3f once(0, 0, 0);
  fitCircleLevenbergMarquardt(pts, w.data(), &once, 3);

  cv::Vec3f c(0, 0, 0);
  const auto run = [&](int passes) {
    return weighted(pts, c, CircleFitMethod::LevenbergMarquardt, WeightType::L1L2, 0, passes);
  };
  EXPECT_EQ(run(0), 68);
  EXPECT_EQ(c, plain);
  EXPECT_EQ(run(1), 68);
  EXPECT_EQ(c, once);
  run(10);
  // More passes move closer to the true circle than one pass.
  EXPECT_LT(std::hypot(c[0], c[1]), std::hypot(once[0], once[1]));
  EXPECT_LT(std::hypot(once[0], once[1]), std::hypot(plain[0], plain[1]));
}

TEST(FitCircle, WeightedFitRejectsUnknownMethodsAndFailedStarts) {
  const auto pts = onCircle(0, 0, 10, 10);
  const cv::Vec3f before(1, 2, 3);
  cv::Vec3f c = before;
  AssertCapture capture;
  for (int m : {0, 1, 4, -1}) {
    EXPECT_EQ(weighted(pts, c, static_cast<CircleFitMethod>(m), WeightType::L1L2), -1);
  }
  EXPECT_EQ(capture.messages().size(), 4u);
  EXPECT_TRUE(capture.contains("unexpected or unimplemented circl fit algorithm."));
  EXPECT_EQ(weighted(pts, c, CircleFitMethod::Taubin, static_cast<WeightType>(3)), -1);
  EXPECT_TRUE(capture.contains("unexpected function type for weight calculation."));
  EXPECT_EQ(c, before);
  // Too few points: the first fit fails and the circle is cleared.
  EXPECT_EQ(
      weighted(onCircle(0, 0, 10, 2), c, CircleFitMethod::LevenbergMarquardt, WeightType::L1L2),
      -1);
  EXPECT_EQ(c, cv::Vec3f(0, 0, 0));
}

}  // namespace
}  // namespace vistrel
