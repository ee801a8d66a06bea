#include "linesplit.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

namespace ced {
namespace {

struct Chain {
  std::vector<double> x, y;
  void add(double px, double py) { x.push_back(px), y.push_back(py); }
  int n() const { return static_cast<int>(x.size()); }
};

Chain horizontal(int from, int count, double y) {
  Chain c;
  for (int i = 0; i < count; ++i) c.add(from + i, y);
  return c;
}

std::vector<LineSegment> split(const Chain& c, int segment = 0) {
  std::vector<LineSegment> lines;
  splitIntoLines(c.x.data(), c.y.data(), c.n(), segment, lines, 6, 1.0);
  return lines;
}

TEST(LineSplit, MinimumLengthRunsGiveNoLineOneMorePixelGivesOne) {
  EXPECT_TRUE(split(horizontal(10, 5, 3)).empty());  // shorter than the minimum
  EXPECT_TRUE(split(horizontal(10, 6, 3)).empty());  // exactly the minimum: nothing to grow
  const std::vector<LineSegment> lines = split(horizontal(10, 7, 3));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(std::tuple(lines[0].transposed, lines[0].sx, lines[0].ex, lines[0].len),
            std::tuple(0, 10.0, 16.0, 7));
}

TEST(LineSplit, CornersSplitIntoTwoLinesAndStrayEndsAreTrimmed) {
  // An L: 15 pixels right along y = 0, then 15 down along x = 15.
  Chain c = horizontal(0, 15, 0);
  for (int i = 1; i <= 15; ++i) c.add(14, i);
  std::vector<LineSegment> lines = split(c, 2);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(std::pair(lines[0].transposed, lines[1].transposed), std::pair(0, 1));
  // The two lines share no pixel and stay within the chain.
  EXPECT_LE(lines[0].firstPixel + lines[0].len, lines[1].firstPixel);
  EXPECT_LE(lines[1].firstPixel + lines[1].len, c.n());
  EXPECT_EQ(std::tuple(lines[1].a, lines[1].ey, lines[1].segmentIndex), std::tuple(14.0, 15.0, 2));

  // A noisy seed at the front is skipped pixel by pixel: two zig-zag pixels, then a straight
  // run; the line starts at the first pixel that lets a seed fit within 0.5.
  Chain z = horizontal(0, 14, 0);
  z.y[0] = 3, z.y[1] = -3;
  lines = split(z);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(std::pair(lines[0].firstPixel, lines[0].len), std::pair(2, 12));
}

TEST(LineSplit, BadInputAddsNothing) {
  std::vector<LineSegment> lines;
  splitIntoLines(nullptr, nullptr, 10, 0, lines);
  splitIntoLines(nullptr, nullptr, -5, 0, lines);
  const Chain c = horizontal(0, 10, 0);
  splitIntoLines(c.x.data(), c.y.data(), 0, 0, lines);
  splitIntoLines(c.x.data(), c.y.data(), -1, 0, lines);
  EXPECT_TRUE(lines.empty());
}

}  // namespace
}  // namespace ced
