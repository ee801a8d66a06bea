#include "finaljoin.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "circlefit.h"
#include "conic.h"
#include "detectorconstants.h"
#include "ellipsefit.h"
#include "ellipsetest_expect.h"

namespace ced {
namespace {

// Owns the pixel arrays the candidates point into (a deque never moves its elements).
struct Pixels {
  std::deque<std::vector<double>> xs, ys;

  // `count` points of the ellipse with semi-axes a (along x), b (along y), at the angles
  // (k + phase)·2π/count, rounded to 1/8 pixel (points exactly on a conic make the direct
  // ellipse fit's normal matrix singular, which real pixel chains never are). Appended to
  // `list` as a circle or ellipse candidate from its own fit.
  void add(CandidateList& list, double cx, double cy, double a, double b, bool elliptic,
           int count = 360, double phase = 0.0) {
    xs.emplace_back();
    ys.emplace_back();
    for (int k = 0; k < count; ++k) {
      const double t = (k + phase) * kTwoPi / count;
      xs.back().push_back(std::round((cx + a * std::cos(t)) * 8) / 8);
      ys.back().push_back(std::round((cy + b * std::sin(t)) * 8) / 8);
    }
    double* x = xs.back().data();
    double* y = ys.back().data();
    const CircleFit fit = fitCircle(x, y, count);
    if (!elliptic) {
      addCircleCandidate(list, fit.xc, fit.yc, fit.r, fit.error, x, y, count);
      return;
    }
    ConicCoefficients eq;
    const double error = fitEllipseWithError(x, y, count, eq);
    addEllipseCandidate(list, fit.xc, fit.yc, fit.r, fit.error, x, y, count, eq, error);
  }
};

TEST(FinalJoin, ConcentricCirclesThreePixelsApartMergeSevenApartStay) {
  Pixels px;
  CandidateList close, out;
  px.add(close, 100, 80, 50, 50, false);
  px.add(close, 100, 80, 53, 53, false);
  joinNearDuplicates(close, out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_FALSE(out[0].elliptic);
  // 360 points on each circle: by symmetry the common centre is exact, and the algebraic fit's
  // radius is the root mean square radius; its error the RMS deviation from it (<= 2).
  const double r = std::sqrt((50.0 * 50.0 + 53.0 * 53.0) / 2);
  EXPECT_NEAR(out[0].r, r, 0.05);
  EXPECT_NEAR(out[0].circleError, std::sqrt(((50 - r) * (50 - r) + (53 - r) * (53 - r)) / 2), 0.01);
  EXPECT_EQ(out[0].pixelCount, 0);

  CandidateList apart;
  out.clear();
  px.add(apart, 100, 80, 50, 50, false);
  px.add(apart, 100, 80, 57, 57, false);
  joinNearDuplicates(apart, out);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_TRUE(testexpect::allNear({out[0].r, out[1].r}, {57, 50}, 0.05));  // largest first
  EXPECT_EQ(out[0].pixelCount, 360);  // unchanged candidates keep their pixels

  // Three rings of one circle (radii 50, 51, 52) and a far circle: one merged circle and the
  // far one; nothing is output twice.
  CandidateList group, none;
  out.clear();
  px.add(group, 100, 100, 51, 51, false);
  px.add(group, 100, 100, 50, 50, false);
  px.add(group, 400, 100, 30, 30, false);
  px.add(group, 100, 100, 52, 52, false);
  joinNearDuplicates(group, out);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_TRUE(testexpect::allNear({out[0].r, out[1].r},
                                  {std::sqrt((50.0 * 50 + 51.0 * 51 + 52.0 * 52) / 3), 30}, 0.05));
  out.clear();
  joinNearDuplicates(none, out);
  EXPECT_TRUE(out.empty());
}

// A 40 x 20 ellipse and a second one with one axis 7 longer: no partners, though the other
// axes match and, with only 12 pixels on the second, one ellipse would fit both within 2. Each
// keeps its pixels and gets its conic's centre and axes.
struct AxesCase {
  const char* name;
  double a, b;
};
class FinalJoinAxes : public ::testing::TestWithParam<AxesCase> {};

TEST_P(FinalJoinAxes, EllipsesWithAnAxisSevenApartStaySeparate) {
  Pixels px;
  CandidateList in, out;
  px.add(in, 120, 90, 40, 20, true);
  px.add(in, 120, 90, GetParam().a, GetParam().b, true, 12);
  joinNearDuplicates(in, out);
  ASSERT_EQ(out.size(), 2u);
  const ShapeCandidate& e = out[0].pixelCount == 360 ? out[0] : out[1];
  EXPECT_TRUE(e.elliptic);
  EXPECT_TRUE(testexpect::allNear(
      {e.xc, e.yc, std::max(e.majorAxis, e.minorAxis), std::min(e.majorAxis, e.minorAxis)},
      {120, 90, 40, 20}, 0.05));
}

INSTANTIATE_TEST_SUITE_P(FinalJoin, FinalJoinAxes,
                         ::testing::Values(AxesCase{"Major", 47, 20}, AxesCase{"Minor", 40, 27}),
                         [](const ::testing::TestParamInfo<AxesCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(FinalJoin, TwoCircleCandidatesOfOneEllipseJoinAsAnEllipse) {
  // One ellipse 60 x 54 found twice (samples half a step apart) as two circles: partners with
  // the same circle, but together they deviate from it by 3·cos 2t (RMS 2.1 > 2); they fit
  // one ellipse.
  Pixels px;
  CandidateList in, out;
  px.add(in, 150, 150, 60, 54, false, 360, 0.0);
  px.add(in, 150, 150, 60, 54, false, 360, 0.5);
  ASSERT_LE(std::hypot(in[0].xc - in[1].xc, in[0].yc - in[1].yc), 12.0);
  ASSERT_LE(std::fabs(in[0].r - in[1].r), 6.0);
  joinNearDuplicates(in, out);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(std::pair(out[0].elliptic, out[0].pixelCount), std::pair(true, 0));
  EXPECT_LE(out[0].ellipseError, 2.0);
  EXPECT_TRUE(testexpect::ellipseNear(out[0].eq, 150, 150, 60, 54, 0.05, 0.05));
}

}  // namespace
}  // namespace ced
