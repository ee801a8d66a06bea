#include "closedsegment.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "detectorconstants.h"
#include "ellipsetest_expect.h"
#include "fittest_shapes.h"

namespace ced {
namespace {

// An 8-connected pixel chain along the ellipse (cx + a·cos t, cy + b·sin t) for t from t0
// over `sweep`, consecutive repeats removed (and end pixels that repeat the first): what the
// edge tracer hands over for such an edge.
std::vector<cv::Point> ellipseChain(double cx, double cy, double a, double b, double t0 = 0,
                                    double sweep = kTwoPi) {
  std::vector<cv::Point> c = testshapes::ellipsePixels(cx, cy, a, b, 0, t0, t0 + sweep);
  while (c.size() > 1 && c.back() == c[0]) c.pop_back();
  return c;
}

std::vector<cv::Point> straight(int x0, int y0, int n) {
  std::vector<cv::Point> p;
  for (int i = 0; i < n; ++i) p.emplace_back(x0 + i, y0 + i / 4);
  return p;
}

TEST(ClosedSegment, EverySegmentBecomesAShapeLinesOrNothing) {
  const std::vector<cv::Point> circle = ellipseChain(60, 50, 20, 20);
  const std::vector<cv::Point> small = ellipseChain(30, 30, 3, 3);  // 24 pixels, closed
  std::vector<cv::Point> square;  // side 60, closed, fits neither a circle nor an ellipse
  for (int i = 0; i < 60; ++i) square.emplace_back(10 + i, 10);
  for (int i = 0; i < 60; ++i) square.emplace_back(70, 10 + i);
  for (int i = 0; i < 60; ++i) square.emplace_back(70 - i, 70);
  for (int i = 0; i < 59; ++i) square.emplace_back(10, 70 - i);
  const std::vector<std::vector<cv::Point>> segments = {
      straight(10, 10, 11),              // 0: too short to count at all
      straight(10, 40, 12),              // 1: long enough for one line
      circle,                            // 2: a circle candidate
      {small.begin(), small.end() - 1},  // 3: ends adjacent, too short to test closure: lines
      ellipseChain(100, 80, 90, 10),     // 4: closed, 9 times longer than wide (> 8): dropped
      small,                             // 5: 24 pixels: a circle candidate
      straight(10, 200, 40),             // 6: lines
      ellipseChain(60, 50, 20, 20, 0, kTwoPi / 2),  // 7: half a circle is open: lines
      square};                                      // 8: lines
  size_t total = 0;
  for (const auto& s : segments) total += s.size();
  PixelBuffer buffer(static_cast<int>(total));
  CandidateList candidates;
  std::vector<LineSegment> lines;
  const std::vector<int> first = closedShapesAndLines(segments, buffer, candidates, lines);
  ASSERT_EQ(first.size(), segments.size() + 1);
  EXPECT_EQ(std::pair(first[0], first[9]), std::pair(0, static_cast<int>(lines.size())));
  std::vector<bool> gaveLines;
  for (int s = 0; s < 9; ++s) {
    gaveLines.push_back(first[s + 1] > first[s]);
    for (int j = first[s]; j < first[s + 1]; ++j) EXPECT_EQ(lines[j].segmentIndex, s);
  }
  EXPECT_EQ(gaveLines,
            (std::vector<bool>{false, true, false, true, false, false, true, true, true}));
  // Only the two circle candidates keep their pixels in the buffer, in segment order; the
  // candidates point at them.
  ASSERT_EQ(candidates.size(), 2u);
  EXPECT_FALSE(candidates[0].elliptic);
  EXPECT_TRUE(testexpect::allNear({candidates[0].xc, candidates[0].yc}, {60, 50}, 0.1));
  EXPECT_NEAR(candidates[0].r, 20, 0.2);
  EXPECT_NEAR(candidates[1].r, 3, 0.5);
  EXPECT_EQ(buffer.cursor(), circle.size() + small.size());
  EXPECT_EQ(std::pair(candidates[0].x[0], candidates[1].y[23]),
            std::pair(1.0 * circle[0].x, 1.0 * small[23].y));
  EXPECT_EQ(tryClosedSegment(nullptr, nullptr, 100, candidates), ClosedSegmentOutcome::kOpen);
}

}  // namespace
}  // namespace ced
