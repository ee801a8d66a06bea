#include "anglecoverage.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

#include "detectorconstants.h"

namespace ced {
namespace {

using Intervals = std::vector<std::pair<double, double>>;

AngleCoverage inserted(const Intervals& intervals) {
  AngleCoverage c;
  for (const auto& [s, e] : intervals) c.insert(s, e);
  return c;
}

Intervals nodes(const AngleCoverage& c) {
  Intervals out;
  for (const AngleCoverage::Node& n : c.sortedNodes()) out.emplace_back(n.start, n.end);
  return out;
}

// Whether an arc is covered and which; start and end begin at 9, so a miss must reset them.
std::tuple<bool, double, double> coveredArc(const AngleCoverage& c) {
  double s = 9, e = 9;
  const bool found = c.coveredArc(s, e);
  return {found, s, e};
}

TEST(AngleCoverage, MergingOverlapsAccumulatesTheOverlap) {
  AngleCoverage c = inserted({{1, 2}, {1.5, 3}});  // node ends inside: overlap 2 − 1.5
  EXPECT_EQ(nodes(c), (Intervals{{1, 3}}));
  EXPECT_EQ(c.accumulatedOverlap(), 0.5);
  c.insert(0.5, 1.25);  // node ends beyond: overlap 1.25 − 1
  EXPECT_EQ(nodes(c), (Intervals{{0.5, 3}}));
  EXPECT_EQ(c.accumulatedOverlap(), 0.75);
  c.insert(4, 5);
  c.insert(2.5, 4.5);  // bridges two nodes: 3 − 2.5 from the first, 4.5 − 4 from the second
  EXPECT_EQ(nodes(c), (Intervals{{0.5, 5}}));
  EXPECT_EQ(c.accumulatedOverlap(), 1.75);
  EXPECT_DOUBLE_EQ(c.accumulatedOverlapRatio(), 1.75 / kTwoPi);
  EXPECT_EQ(c.used(), 5);  // indices are not reused: five insertions, one live node

  // Touching intervals stay apart and add nothing.
  const AngleCoverage t = inserted({{1, 2}, {2, 3}, {0, 1}});
  EXPECT_EQ(nodes(t), (Intervals{{0, 1}, {1, 2}, {2, 3}}));
  EXPECT_EQ(t.accumulatedOverlap(), 0);

  // The merge rule takes the node's end minus the new start when the node ends inside the new
  // interval, else the new end minus the node's start. So a node [2, 3] inside a new [1, 4]
  // counts 3 − 1, and a node [1, 4] around a new [2, 3] counts 3 − 1, not the shared 1.
  EXPECT_EQ(inserted({{2, 3}, {1, 4}}).accumulatedOverlap(), 3 - 1);
  const AngleCoverage around = inserted({{1, 4}, {2, 3}});
  EXPECT_EQ(around.accumulatedOverlap(), 3 - 1);
  EXPECT_EQ(nodes(around), (Intervals{{1, 4}}));
}

TEST(AngleCoverage, OverlapAndOverlapRatioOfAQuery) {
  const AngleCoverage c = inserted({{1, 2}, {3, 4}});
  // Across both nodes, around both, between them and past them.
  EXPECT_EQ((std::vector{c.overlap(1.5, 3.5), c.overlap(0, 5), c.overlap(2.2, 2.8),
                         c.overlap(4.5, 6), c.overlapRatio(1.5, 3.5), c.overlapRatio(0, 5)}),
            (std::vector{0.5 + 0.5, 2.0, 0.0, 0.0, 1.0 / 2.0, 2.0 / 5.0}));
  // A query that wraps is split at 2π.
  AngleCoverage w;
  w.add(5.5, 0.5);
  const double covered = (kTwoPi - 6.0) + 0.5;
  EXPECT_DOUBLE_EQ(w.overlapRatio(6.0, 0.6), covered / (kTwoPi - 6.0 + 0.6));
}

TEST(AngleCoverage, CoveredArcSpansFromTheLargestGap) {
  // An arc added across 0 is stored as two nodes, and covers from its start round to its end.
  AngleCoverage c;
  c.add(5.5, 0.5);
  EXPECT_EQ(nodes(c), (Intervals{{0, 0.5}, {5.5, kTwoPi}}));
  EXPECT_EQ(coveredArc(c), std::tuple(true, 5.5, 0.5));
  // A single node is its own covered arc.
  AngleCoverage one;
  one.add(1, 2.5);
  EXPECT_EQ(coveredArc(one), std::tuple(true, 1.0, 2.5));
  // Gaps 1.0, 1.5 and the wrap gap 2π − 5 + 0.5 ≈ 1.78: the wrap gap wins.
  EXPECT_EQ(coveredArc(inserted({{0.5, 1}, {2, 2.5}, {4, 5}})), std::tuple(true, 0.5, 5.0));
  // An inner gap of 3.0 beats the wrap gap of 0.18: the arc runs from 4 round to 1.
  EXPECT_EQ(coveredArc(inserted({{0.1, 1}, {4, 6.2}})), std::tuple(true, 4.0, 1.0));
  // Three equal gaps of 1.0 (the wrap gap 0.5 + 0.5): the earliest inner gap wins, and the
  // wrap gap would have to be strictly larger.
  EXPECT_EQ(coveredArc(inserted({{0.5, 1}, {2, 3}, {4, kTwoPi - 0.5}})),
            std::tuple(true, 2.0, 1.0));
}

TEST(AngleCoverage, KeepsEveryIntervalPast360InsertionsUntilCleared) {
  AngleCoverage c;
  for (int i = 0; i < 500; ++i) c.insert(i * 0.01, i * 0.01 + 0.004);
  EXPECT_EQ(c.used(), 500);
  EXPECT_EQ(c.sortedNodes().size(), 500u);
  EXPECT_NEAR(c.overlap(0, 10), 500 * 0.004, 1e-9);
  c.insert(0, 5.1);  // one wide interval swallows them all
  EXPECT_EQ(c.sortedNodes().size(), 1u);
  c.clear();
  EXPECT_EQ(std::tuple(c.used(), c.accumulatedOverlap()), std::tuple(0, 0.0));
  EXPECT_EQ(coveredArc(c), std::tuple(false, 0.0, 0.0));
}

}  // namespace
}  // namespace ced
