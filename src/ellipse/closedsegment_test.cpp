#include "closedsegment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "conic.h"
#include "detectorconstants.h"
#include "ellipsetest_expect.h"

namespace ced {
namespace {

// An 8-connected pixel chain along the ellipse (cx + a·cos t, cy + b·sin t) for t from t0
// over `sweep`, consecutive repeats removed: what the edge tracer hands over for such an edge.
struct Chain {
  std::vector<double> x, y;
  int size() const { return static_cast<int>(x.size()); }
};

Chain ellipseChain(double cx, double cy, double a, double b, double t0 = 0, double sweep = kTwoPi) {
  Chain c;
  const int steps = static_cast<int>(8 * (a + b) * sweep);
  for (int k = 0; k < steps; ++k) {
    const double t = t0 + sweep * k / steps;
    const double x = std::round(cx + a * std::cos(t)), y = std::round(cy + b * std::sin(t));
    if (!c.x.empty() && c.x.back() == x && c.y.back() == y) continue;
    c.x.push_back(x);
    c.y.push_back(y);
  }
  while (c.size() > 1 && c.x.back() == c.x[0] && c.y.back() == c.y[0]) {
    c.x.pop_back();
    c.y.pop_back();
  }
  return c;
}

TEST(ClosedSegment, OpenShortOrShapelessSegmentsGoToLineSplitting) {
  CandidateList list;
  // Half a circle: the ends are a diameter apart.
  Chain half = ellipseChain(60, 50, 20, 20, 0, kTwoPi / 2);
  EXPECT_EQ(tryClosedSegment(half.x.data(), half.y.data(), half.size(), list),
            ClosedSegmentOutcome::kOpen);
  // A closed square outline, side 60, fits neither a circle nor an ellipse within 1.5.
  Chain square;
  for (int i = 0; i < 60; ++i) square.x.push_back(10 + i), square.y.push_back(10);
  for (int i = 0; i < 60; ++i) square.x.push_back(70), square.y.push_back(10 + i);
  for (int i = 0; i < 60; ++i) square.x.push_back(70 - i), square.y.push_back(70);
  for (int i = 0; i < 59; ++i) square.x.push_back(10), square.y.push_back(70 - i);
  EXPECT_EQ(tryClosedSegment(square.x.data(), square.y.data(), square.size(), list),
            ClosedSegmentOutcome::kOpen);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(tryClosedSegment(nullptr, nullptr, 100, list), ClosedSegmentOutcome::kOpen);
}

std::vector<cv::Point> toPoints(const Chain& c, int count = -1) {
  std::vector<cv::Point> p;
  for (int i = 0; i < (count < 0 ? c.size() : count); ++i)
    p.emplace_back(static_cast<int>(c.x[i]), static_cast<int>(c.y[i]));
  return p;
}

std::vector<cv::Point> straight(int x0, int y0, int n) {
  std::vector<cv::Point> p;
  for (int i = 0; i < n; ++i) p.emplace_back(x0 + i, y0 + i / 4);
  return p;
}

TEST(ClosedSegment, EverySegmentBecomesAShapeLinesOrNothing) {
  const Chain circle = ellipseChain(60, 50, 20, 20);
  const Chain small = ellipseChain(30, 30, 3, 3);  // 24 pixels, closed
  const Chain thin = ellipseChain(100, 80, 90, 10);
  const std::vector<std::vector<cv::Point>> segments = {
      straight(10, 10, 11),    // 0: too short to count at all
      straight(10, 40, 12),    // 1: long enough for one line
      toPoints(circle),        // 2: a circle candidate
      toPoints(small, 23),     // 3: ends adjacent, but too short for the closure test: lines
      toPoints(thin),          // 4: closed, 9 times longer than wide (> 8): dropped
      toPoints(small),         // 5: 24 pixels: a circle candidate
      straight(10, 200, 40)};  // 6: lines
  size_t total = 0;
  for (const auto& s : segments) total += s.size();
  PixelBuffer buffer(static_cast<int>(total));
  CandidateList candidates;
  std::vector<LineSegment> lines;
  const std::vector<int> first = closedShapesAndLines(segments, buffer, candidates, lines);
  ASSERT_EQ(first.size(), segments.size() + 1);
  EXPECT_EQ(std::pair(first[0], first[7]), std::pair(0, static_cast<int>(lines.size())));
  std::vector<bool> gaveLines;
  for (int s = 0; s < 7; ++s) {
    gaveLines.push_back(first[s + 1] > first[s]);
    for (int j = first[s]; j < first[s + 1]; ++j) EXPECT_EQ(lines[j].segmentIndex, s);
  }
  EXPECT_EQ(gaveLines, (std::vector<bool>{false, true, false, true, false, false, true}));
  // Only the two circle candidates keep their pixels in the buffer, in segment order; the
  // candidates point at them.
  ASSERT_EQ(candidates.size(), 2u);
  EXPECT_FALSE(candidates[0].elliptic);
  EXPECT_TRUE(testexpect::allNear({candidates[0].xc, candidates[0].yc}, {60, 50}, 0.1));
  EXPECT_NEAR(candidates[0].r, 20, 0.2);
  EXPECT_NEAR(candidates[1].r, 3, 0.5);
  EXPECT_EQ(buffer.cursor(), circle.size() + small.size());
  EXPECT_EQ(std::pair(candidates[0].x[0], candidates[1].y[23]),
            std::pair(circle.x[0], small.y[23]));
}

}  // namespace
}  // namespace ced
