#include "arcs.h"

#include <gtest/gtest.h>
#include <opencv2/core/cvdef.h>

#include <cmath>
#include <tuple>
#include <utility>

#include "circlefit.h"
#include "vistrel/assert.h"

namespace ced {
namespace {

// Writes n points of the circle (cx, cy, r) at angles t0 + i·dt to the buffer, keeps them and
// returns an arc record over them (the angles are the sampled ones, not computed).
struct Sampled {
  double* x;
  double* y;
  int n;
  double t0, t1;
};
Sampled sample(PixelBuffer& buffer, double cx, double cy, double r, double t0, double t1, int n) {
  Sampled s{buffer.x(), buffer.y(), n, t0, t1};
  for (int i = 0; i < n; ++i) {
    const double t = t0 + (t1 - t0) * i / (n - 1);
    s.x[i] = cx + r * std::cos(t);
    s.y[i] = cy + r * std::sin(t);
  }
  buffer.advance(n);
  return s;
}

void store(ArcList& list, PixelBuffer& buffer, const Sampled& s, int segment, int turn,
           double rOverride = 0) {
  const CircleFit f = fitCircle(s.x, s.y, s.n);
  addCircularArc(list, buffer, f.xc, f.yc, rOverride > 0 ? rOverride : f.r, f.error, s.t0, s.t1,
                 turn, segment, static_cast<int>(s.x[0]), static_cast<int>(s.y[0]),
                 static_cast<int>(s.x[s.n - 1]), static_cast<int>(s.y[s.n - 1]), s.x, s.y, s.n);
}

TEST(Arcs, CoverageOfCircularAndEllipticArcs) {
  PixelBuffer buffer(100);
  ArcList list;
  const Sampled s = sample(buffer, 50, 50, 30, 1.0, 2.5, 40);
  store(list, buffer, s, 0, 1);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_DOUBLE_EQ(list[0].coverage, 1.5 / (2 * CV_PI));
  // A wrapping arc: 5.5 → 0.5 spans 2π − 5.
  addCircularArc(list, buffer, 0, 0, 10, 0, 5.5, 0.5, 1, 9, 0, 0, 0, 0, s.x, s.y, 3);
  EXPECT_DOUBLE_EQ(list[1].coverage, (2 * CV_PI - 5) / (2 * CV_PI));

  // An elliptic arc discounts the overlap from its pixels over the perimeter:
  // x² + y² − 400 = 0 has perimeter 3.14159265 · 40.
  const ConicCoefficients circle{{0, 1, 0, 1, 0, 0, -400}};
  addEllipticArc(list, 0, 0, 20, 0.5, 0, 1, 1, 0, 0, 0, 0, 0, s.x, s.y, 60, circle, 0.3, 0.25);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_NEAR(list[2].coverage, 0.75 * 60 / (3.14159265 * 40), 1e-12);
  EXPECT_EQ(std::pair(list[2].elliptic, list[2].ellipseError), std::pair(true, 0.3));
}

// Two pieces of one circle (r = 30), 0.1 rad (3 px) apart, merge as they are stored; `gap`
// extra buffer places lie between them.
class ArcsMerge : public ::testing::TestWithParam<int> {};

TEST_P(ArcsMerge, ConsecutiveArcsOfOneSegmentMergeImmediately) {
  const int gap = GetParam();
  PixelBuffer buffer(1000);
  ArcList list;
  const Sampled p = sample(buffer, 100, 80, 30, 0.0, 1.0, 31);
  buffer.advance(gap);
  const Sampled q = sample(buffer, 100, 80, 30, 1.1, 2.0, 28);
  store(list, buffer, p, 3, -1);
  const int before = buffer.cursor();
  store(list, buffer, q, 3, -1);
  ASSERT_EQ(list.size(), 1u);
  const ArcCandidate& m = list[0];
  EXPECT_NEAR(m.r, 30, 1e-9);
  EXPECT_EQ(std::tuple(m.pixelCount, m.startAngle, m.endAngle, m.coverage, m.ex, m.ey),
            std::tuple(59, 0.0, 2.0, 2.0 / (2 * CV_PI), static_cast<int>(q.x[q.n - 1]),
                       static_cast<int>(q.y[q.n - 1])));
  if (gap == 0) {  // already in order: no copy
    EXPECT_EQ(std::pair(m.x, buffer.cursor()), std::pair(p.x, before));
    return;
  }
  // Apart in the buffer: P's pixels, then Q's, copied to the write position.
  EXPECT_EQ(buffer.cursor(), before + 59);
  EXPECT_EQ(std::tuple(m.x[30], m.x[31], m.y[58]), std::tuple(p.x[30], q.x[0], q.y[27]));
}

INSTANTIATE_TEST_SUITE_P(Arcs, ArcsMerge, ::testing::Values(0, 5));

struct MergeCase {
  const char* name;
  int segQ, turnQ;
  double rQ;      // the stored radius of Q (0: its fit)
  double gap;     // angular gap in radians between P's end and Q's start (r = 30)
  double shiftQ;  // moves Q's circle sideways
  bool merges;
};
class ArcsMergeRule : public ::testing::TestWithParam<MergeCase> {};

TEST_P(ArcsMergeRule, NeedsSegmentTurnRadiusGapAndFit) {
  const MergeCase& v = GetParam();
  PixelBuffer buffer(1000);
  ArcList list;
  const Sampled p = sample(buffer, 100, 80, 30, 0.0, 1.0, 31);
  const Sampled q = sample(buffer, 100 + v.shiftQ, 80, 30, 1.0 + v.gap, 2.0 + v.gap, 31);
  store(list, buffer, p, 3, 1);
  store(list, buffer, q, v.segQ, v.turnQ, v.rQ);
  EXPECT_EQ(list.size(), v.merges ? 1u : 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Arcs, ArcsMergeRule,
    ::testing::Values(MergeCase{"Plain", 3, 1, 0, 0.1, 0, true},
                      MergeCase{"OtherSegment", 4, 1, 0, 0.1, 0, false},
                      MergeCase{"OtherTurn", 3, -1, 0, 0.1, 0, false},
                      MergeCase{"RadiusWithinAQuarter", 3, 1, 37.4, 0.1, 0, true},  // 7.4 ≤ 7.5
                      MergeCase{"RadiusBeyondAQuarter", 3, 1, 37.6, 0.1, 0, false},
                      MergeCase{"NinePixelsApart", 3, 1, 0, 0.3, 0, true},
                      MergeCase{"TwelvePixelsApart", 3, 1, 0, 0.4, 0, false},
                      // One radius, but circles 12 px apart: the joint fit exceeds 1.5.
                      MergeCase{"OffsetCircles", 3, 1, 0, 0.1, 12, false}),
    [](const ::testing::TestParamInfo<MergeCase>& info) { return std::string(info.param.name); });

TEST(Arcs, EllipticArcsAndMergesWithoutRoomStayApart) {
  PixelBuffer buffer(62);
  ArcList list;
  const Sampled p = sample(buffer, 100, 80, 30, 0.0, 1.0, 31);
  buffer.advance(1);
  const Sampled q = sample(buffer, 100, 80, 30, 1.1, 2.0, 28);
  store(list, buffer, p, 3, 1);
  vistrel::AssertCapture capture;
  store(list, buffer, q, 3, 1);
  EXPECT_TRUE(capture.contains("buffer.room() >= total (2 vs 59)"));
  EXPECT_EQ(list.size(), 2u);

  // An elliptic arc of the same circle, back to back with Q in a roomy buffer: no merge.
  PixelBuffer roomy(100);
  const Sampled e = sample(roomy, 100, 80, 30, 0.0, 1.0, 31);
  const Sampled f = sample(roomy, 100, 80, 30, 1.1, 2.0, 28);
  ArcList withEllipse;
  const ConicCoefficients eq{{0, 1, 0, 1, -200, -160, 100 * 100 + 80 * 80 - 900}};
  addEllipticArc(withEllipse, 100, 80, 30, 0, 0, 1, 1, 3, 130, 80, 116, 105, e.x, e.y, e.n, eq, 0,
                 0);
  store(withEllipse, roomy, f, 3, 1);
  EXPECT_EQ(withEllipse.size(), 2u);
}

}  // namespace
}  // namespace ced
