#include "arcjoining.h"

#include <gtest/gtest.h>
#include <opencv2/core/cvdef.h>

#include <cmath>
#include <utility>

#include "anglecoverage.h"
#include "arcangles.h"
#include "arcs.h"
#include "circlefit.h"
#include "ellipsetest_expect.h"

namespace ced {
namespace {

// Samples the ellipse (cx, cy, a, b, phi) from t0 to t1 into the buffer and records it as a
// circular arc with the given segment and turn, its circle and angles from its own fit; end
// pixels are the first and last samples, truncated.
ArcCandidate arcOn(PixelBuffer& buffer, double cx, double cy, double a, double b, double phi,
                   double t0, double t1, int segment, int turn) {
  const int n = static_cast<int>(std::fabs(t1 - t0) * std::max(a, b)) + 2;
  double* x = buffer.x();
  double* y = buffer.y();
  for (int i = 0; i < n; ++i) {
    const double t = t0 + (t1 - t0) * i / (n - 1);
    const double u = a * std::cos(t), v = b * std::sin(t);
    x[i] = cx + u * std::cos(phi) - v * std::sin(phi);
    y[i] = cy + u * std::sin(phi) + v * std::cos(phi);
  }
  buffer.advance(n);
  const CircleFit f = fitCircle(x, y, n);
  const ArcAngles ang = arcAngles(f.xc, f.yc, f.r, x, y, n);
  const auto px = [](double v) { return static_cast<int>(v); };
  ArcList one;  // alone in its list, nothing to merge with
  addCircularArc(one, buffer, f.xc, f.yc, f.r, f.error, ang.start, ang.end, turn, segment, px(x[0]),
                 px(y[0]), px(x[n - 1]), px(y[n - 1]), x, y, n);
  return one[0];
}

// Quarter arcs of one r = 50 circle, 6° apart: the first from segment 0 with turn 1.
struct Quarters {
  PixelBuffer buffer{4000};
  CandidateList candidates;
  ArcList pass1(ArcList in) {
    ArcList out;
    joinArcsPass1(in, out, buffer, candidates);
    return out;
  }
  ArcCandidate first() { return arcOn(buffer, 100, 100, 50, 50, 0, 0.0, 1.5, 0, 1); }
  ArcCandidate second(int turn) { return arcOn(buffer, 100, 100, 50, 50, 0, 1.6, 3.1, 1, turn); }
};

TEST(ArcJoining, PassOneJoinsQuarterArcsIntoALongerArc) {
  Quarters q;
  // Two quarter arcs from two segments, same direction of travel, and an unrelated arc far
  // away (another circle) that stays alone.
  const ArcList in = {q.first(), q.second(1), arcOn(q.buffer, 400, 400, 30, 30, 0, 0, 1, 2, 1)};
  const ArcList out = q.pass1(in);
  EXPECT_TRUE(q.candidates.empty());
  ASSERT_EQ(out.size(), 2u);
  const ArcCandidate& joined = out[0].pixelCount > out[1].pixelCount ? out[0] : out[1];
  EXPECT_TRUE(testexpect::allNear({joined.startAngle, joined.endAngle, joined.coverage},
                                  {0.0, 3.1, 3.1 / (2 * CV_PI)}, 1e-6));
  EXPECT_EQ(joined.turn, 1);
  // Its pixels are a copy: the first arc's, then the second's (equal coverage keeps the order).
  EXPECT_EQ(joined.x[0], in[0].x[0]);
  EXPECT_EQ(joined.x[in[0].pixelCount], in[1].x[0]);
  // Radii more than a quarter apart are not joined in pass 1.
  ArcCandidate other = q.second(1);
  other.r = 37;  // 13 > 0.25 · 37
  EXPECT_EQ(q.pass1({q.first(), other}).size(), 2u);
  // Meeting end to start needs equal turns.
  EXPECT_EQ(q.pass1({q.first(), q.second(-1)}).size(), 2u);
}

// The pass takes arcs by falling coverage; of two equal ones the earlier stays first.
TEST(ArcJoining, ArcsOfEqualCoverageKeepTheirOrder) {
  Quarters q;
  ArcList in = {arcOn(q.buffer, 100, 100, 30, 30, 0, 0.0, 1.0, 0, 1),
                arcOn(q.buffer, 400, 400, 30, 30, 0, 0.0, 1.0, 1, 1)};
  in[0].coverage = in[1].coverage = 0.2;
  const ArcList out = q.pass1(in);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(std::pair(out[0].segmentIndex, out[1].segmentIndex), std::pair(0, 1));
}

TEST(ArcJoining, PassTwoJoinsEllipseArcsOfTheSameSegmentOnly) {
  // Two pieces of a 60 × 35 ellipse, 3 px apart.
  PixelBuffer buffer(4000);
  CandidateList candidates;
  auto pieces = [&](int segB) {
    return ArcList{arcOn(buffer, 200, 200, 60, 35, 0.2, 0.0, 2.0, 5, 1),
                   arcOn(buffer, 200, 200, 60, 35, 0.2, 2.07, 3.6, segB, 1)};
  };
  ArcList in = pieces(5), out;
  joinArcsPass2(in, out, buffer, candidates);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_TRUE(out[0].elliptic);
  EXPECT_EQ(std::pair(out[0].pixelCount, out[0].segmentIndex),
            std::pair(in[0].pixelCount + in[1].pixelCount, 5));
  EXPECT_LT(out[0].ellipseError, 0.1);
  // Each piece's angles are seen from its own circle fit, so they may overlap; the coverage
  // discounts the overlap the two intervals accumulated (in the sorted order of the pass).
  AngleCoverage angles;
  angles.add(in[0].startAngle, in[0].endAngle);
  angles.add(in[1].startAngle, in[1].endAngle);
  const double o = angles.accumulatedOverlapRatio();
  EXPECT_NEAR(out[0].coverage, (1 - o) * out[0].pixelCount / ellipsePerimeter(out[0].eq), 1e-12);

  ArcList in2 = pieces(6), out2;
  joinArcsPass2(in2, out2, buffer, candidates);
  EXPECT_EQ(out2.size(), 2u);
  EXPECT_TRUE(candidates.empty());
}

// Two pieces of one r = 20 circle; the second's start pixel is moved `gap` pixels along x
// from the first's end pixel, and its stored radius decides the limit: difference
// <= 0.5·minR → 0.75·minR, <= 0.75·minR → 0.5·minR, else 0.25·minR, never beyond minR.
struct EndGapCase {
  double r2;
  int gap;
  bool joins;
};
class PassThreeEndGap : public ::testing::TestWithParam<EndGapCase> {};

TEST_P(PassThreeEndGap, LimitFollowsTheRadiusDifference) {
  const EndGapCase& c = GetParam();
  PixelBuffer buffer(4000);
  CandidateList candidates;
  ArcCandidate a = arcOn(buffer, 100, 100, 20, 20, 0, 0.0, 2.0, 0, 1);
  ArcCandidate b = arcOn(buffer, 100, 100, 20, 20, 0, 2.1, 3.9, 1, 1);
  a.coverage = 0.4;
  b.coverage = 0.3;  // keeps the order a, b
  b.r = c.r2;
  b.sx = a.ex + c.gap;
  b.sy = a.ey;
  b.ex = b.sx + 100;
  b.ey = b.sy + 100;  // far from everything else
  ArcList in = {a, b}, out;
  joinArcsPass3(in, out, buffer, candidates);
  EXPECT_TRUE(candidates.empty());
  EXPECT_EQ(out.size(), c.joins ? 1u : 2u);
}

INSTANTIATE_TEST_SUITE_P(ArcJoining, PassThreeEndGap,
                         ::testing::Values(EndGapCase{20, 14, true},    // limit 15
                                           EndGapCase{20, 16, false},   //
                                           EndGapCase{32, 9, true},     // 12 <= 0.75·20: limit 10
                                           EndGapCase{32, 11, false},   //
                                           EndGapCase{36, 4, true},     // 16 > 0.75·20: limit 5
                                           EndGapCase{36, 6, false},    //
                                           EndGapCase{41, 1, false}));  // difference 21 > 20

}  // namespace
}  // namespace ced
