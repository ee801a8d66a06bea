#include "turninfo.h"

#include <gtest/gtest.h>
#include <opencv2/core/cvdef.h>

#include <tuple>

namespace ced {
namespace {

LineSegment line(double sx, double sy, double ex, double ey, int segment) {
  return {0, 0, 0, sx, sy, ex, ey, segment};
}

TEST(TurnInfo, GapsOfFifteenPixelsAreMarked) {
  // Line 0 ends 15 pixels before line 1 starts (a gap), line 1 ends 14.9 before line 2 starts
  // (no gap; the directions differ by 45 degrees), and line 2 turns back to line 0, whose start
  // is far away (gap).
  std::vector<LineSegment> lines = {line(0, 0, 20, 0, 0), line(35, 0, 55, 0, 0),
                                    line(69.9, 0, 89.9, 20, 0)};
  const std::vector<Info> info = computeTurnInfo(lines, {0, 3});
  ASSERT_EQ(info.size(), 3u);
  EXPECT_EQ(
      std::tuple(info[0].turn, info[0].turnAngle, info[1].turn, info[2].turn, info[2].turnAngle),
      std::tuple(2, 10.0, 1, 2, 10.0));
  EXPECT_NEAR(info[1].turnAngle, CV_PI / 4, 1e-12);
}

TEST(TurnInfo, SingleLinesAndDegenerateInput) {
  // A lone short line is its own successor: its end is 10 pixels from its start (no gap) and
  // it does not turn. A lone long line is a gap to itself. Segments without lines are fine.
  std::vector<LineSegment> lines = {line(0, 0, 10, 0, 0), line(0, 5, 30, 5, 2),
                                    line(4, 4, 4, 4, 3)};
  const std::vector<Info> info = computeTurnInfo(lines, {0, 1, 1, 2, 3});
  ASSERT_EQ(info.size(), 3u);
  // The zero-length line has no direction, so no turn either.
  EXPECT_EQ(std::tuple(info[0].turnAngle, info[0].turn, info[1].turn, info[2].turnAngle),
            std::tuple(0.0, 1, 2, 0.0));
  EXPECT_TRUE(computeTurnInfo({}, {0}).empty());
  EXPECT_TRUE(computeTurnInfo({}, {}).empty());
}

}  // namespace
}  // namespace ced
