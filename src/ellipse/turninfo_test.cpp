#include "turninfo.h"

#include <gtest/gtest.h>
#include <opencv2/core/cvdef.h>

#include <cmath>

namespace ced {
namespace {

LineSegment line(double sx, double sy, double ex, double ey, int segment) {
  LineSegment l;
  l.sx = sx;
  l.sy = sy;
  l.ex = ex;
  l.ey = ey;
  l.segmentIndex = segment;
  return l;
}

TEST(TurnInfo, SquareTurnsAQuarterEachWayAndClosesOnItself) {
  // Segment 0 runs the square (0,0) → (10,0) → (10,10) → (0,10) → (0,0): y grows downwards,
  // so each turn is to the positive side (cross product +100). Segment 1 runs it backwards.
  std::vector<LineSegment> lines = {
      line(0, 0, 10, 0, 0), line(10, 0, 10, 10, 0), line(10, 10, 0, 10, 0), line(0, 10, 0, 0, 0),
      line(0, 0, 0, 10, 1), line(0, 10, 10, 10, 1), line(10, 10, 10, 0, 1), line(10, 0, 0, 0, 1)};
  const std::vector<Info> info = computeTurnInfo(lines, {0, 4, 8});
  ASSERT_EQ(info.size(), 8u);
  for (int j = 0; j < 8; ++j) {
    EXPECT_NEAR(info[j].turnAngle, CV_PI / 2, 1e-12) << j;
    EXPECT_EQ(info[j].turn, j < 4 ? 1 : -1) << j;
  }
}

TEST(TurnInfo, GapsOfFifteenPixelsAreMarked) {
  // Line 0 ends 15 pixels before line 1 starts (a gap), line 1 ends 14.9 before line 2 starts
  // (no gap; the directions differ by 45 degrees), and line 2 turns back to line 0, whose start
  // is far away (gap).
  std::vector<LineSegment> lines = {line(0, 0, 20, 0, 0), line(35, 0, 55, 0, 0),
                                    line(69.9, 0, 89.9, 20, 0)};
  const std::vector<Info> info = computeTurnInfo(lines, {0, 3});
  EXPECT_EQ(info[0].turn, 2);
  EXPECT_EQ(info[0].turnAngle, 10.0);
  EXPECT_EQ(info[1].turn, 1);
  EXPECT_NEAR(info[1].turnAngle, CV_PI / 4, 1e-12);
  EXPECT_EQ(info[2].turn, 2);
  EXPECT_EQ(info[2].turnAngle, 10.0);
}

TEST(TurnInfo, SingleLinesAndDegenerateInput) {
  // A lone short line is its own successor: its end is 10 pixels from its start (no gap) and
  // it does not turn. A lone long line is a gap to itself. Segments without lines are fine.
  std::vector<LineSegment> lines = {line(0, 0, 10, 0, 0), line(0, 5, 30, 5, 2),
                                    line(4, 4, 4, 4, 3)};
  const std::vector<Info> info = computeTurnInfo(lines, {0, 1, 1, 2, 3});
  EXPECT_EQ(info[0].turnAngle, 0.0);
  EXPECT_EQ(info[0].turn, 1);
  EXPECT_EQ(info[1].turn, 2);
  EXPECT_EQ(info[2].turnAngle, 0.0);  // zero length: no direction, no turn
  EXPECT_TRUE(computeTurnInfo({}, {0}).empty());
  EXPECT_TRUE(computeTurnInfo({}, {}).empty());
}

}  // namespace
}  // namespace ced
