#include "anglecoverage.h"

#include <gtest/gtest.h>

#include <cmath>

#include "detectorconstants.h"

namespace ced {
namespace {

void expectNodes(const AngleCoverage& c, std::vector<std::pair<double, double>> expected) {
  const std::vector<AngleCoverage::Node> nodes = c.sortedNodes();
  ASSERT_EQ(nodes.size(), expected.size());
  for (size_t i = 0; i < nodes.size(); ++i) {
    EXPECT_DOUBLE_EQ(nodes[i].start, expected[i].first) << i;
    EXPECT_DOUBLE_EQ(nodes[i].end, expected[i].second) << i;
  }
}

TEST(AngleCoverage, ClearedCoverageIsEmpty) {
  AngleCoverage c;
  c.insert(1, 2);
  c.insert(1.5, 3);
  c.clear();
  EXPECT_EQ(c.used(), 0);
  EXPECT_EQ(c.accumulatedOverlap(), 0);
  double s = 9, e = 9;
  EXPECT_FALSE(c.coveredArc(s, e));
  EXPECT_EQ(s, 0);
  EXPECT_EQ(e, 0);
}

TEST(AngleCoverage, AddingAWrappingArcStoresTwoNodes) {
  AngleCoverage c;
  c.add(5.5, 0.5);
  expectNodes(c, {{0, 0.5}, {5.5, kTwoPi}});
  double s, e;
  ASSERT_TRUE(c.coveredArc(s, e));
  EXPECT_DOUBLE_EQ(s, 5.5);
  EXPECT_DOUBLE_EQ(e, 0.5);
  // A single node is its own covered arc.
  AngleCoverage one;
  one.add(1, 2.5);
  ASSERT_TRUE(one.coveredArc(s, e));
  EXPECT_EQ(s, 1);
  EXPECT_EQ(e, 2.5);
}

TEST(AngleCoverage, MergingOverlapsAccumulatesTheOverlap) {
  AngleCoverage c;
  c.insert(1, 2);
  c.insert(1.5, 3);  // node ends inside: overlap 2 − 1.5
  expectNodes(c, {{1, 3}});
  EXPECT_DOUBLE_EQ(c.accumulatedOverlap(), 0.5);
  c.insert(0.5, 1.25);  // node ends beyond: overlap 1.25 − 1
  expectNodes(c, {{0.5, 3}});
  EXPECT_DOUBLE_EQ(c.accumulatedOverlap(), 0.75);
  c.insert(4, 5);
  c.insert(2.5, 4.5);  // bridges two nodes: 3 − 2.5 from the first, 4.5 − 4 from the second
  expectNodes(c, {{0.5, 5}});
  EXPECT_DOUBLE_EQ(c.accumulatedOverlap(), 1.75);
  EXPECT_DOUBLE_EQ(c.accumulatedOverlapRatio(), 1.75 / kTwoPi);
  // Indices are not reused: five insertions, one live node.
  EXPECT_EQ(c.used(), 5);

  // Touching intervals stay apart and add nothing.
  AngleCoverage t;
  t.insert(1, 2);
  t.insert(2, 3);
  t.insert(0, 1);
  expectNodes(t, {{0, 1}, {1, 2}, {2, 3}});
  EXPECT_EQ(t.accumulatedOverlap(), 0);

  // The merge rule takes the node's end minus the new start when the node ends inside the new
  // interval, else the new end minus the node's start. So a node [2, 3] inside a new [1, 4]
  // counts 3 − 1, and a node [1, 4] around a new [2, 3] counts 3 − 1, not the shared 1.
  AngleCoverage inside;
  inside.insert(2, 3);
  inside.insert(1, 4);
  EXPECT_DOUBLE_EQ(inside.accumulatedOverlap(), 3 - 1);
  AngleCoverage around;
  around.insert(1, 4);
  around.insert(2, 3);
  EXPECT_DOUBLE_EQ(around.accumulatedOverlap(), 3 - 1);
  expectNodes(around, {{1, 4}});
}

TEST(AngleCoverage, OverlapAndOverlapRatioOfAQuery) {
  AngleCoverage c;
  c.insert(1, 2);
  c.insert(3, 4);
  EXPECT_DOUBLE_EQ(c.overlap(1.5, 3.5), 0.5 + 0.5);
  EXPECT_DOUBLE_EQ(c.overlap(0, 5), 2);  // both nodes inside
  EXPECT_DOUBLE_EQ(c.overlap(2.2, 2.8), 0);
  EXPECT_DOUBLE_EQ(c.overlap(4.5, 6), 0);
  EXPECT_DOUBLE_EQ(c.overlapRatio(1.5, 3.5), 1.0 / 2.0);
  EXPECT_DOUBLE_EQ(c.overlapRatio(0, 5), 2.0 / 5.0);

  // A query that wraps is split at 2π.
  AngleCoverage w;
  w.add(5.5, 0.5);
  const double covered = (kTwoPi - 6.0) + 0.5;
  EXPECT_DOUBLE_EQ(w.overlapRatio(6.0, 0.6), covered / (kTwoPi - 6.0 + 0.6));
}

TEST(AngleCoverage, CoveredArcSpansFromTheLargestGap) {
  double s, e;
  // Gaps 1.0, 1.5 and the wrap gap 2π − 5 + 0.5 ≈ 1.78: the wrap gap wins.
  AngleCoverage c;
  c.insert(0.5, 1);
  c.insert(2, 2.5);
  c.insert(4, 5);
  ASSERT_TRUE(c.coveredArc(s, e));
  EXPECT_EQ(s, 0.5);
  EXPECT_EQ(e, 5);
  // An inner gap of 3.0 beats the wrap gap of 0.18: the arc runs from 4 round to 1.
  AngleCoverage d;
  d.insert(0.1, 1);
  d.insert(4, 6.2);
  ASSERT_TRUE(d.coveredArc(s, e));
  EXPECT_EQ(s, 4);
  EXPECT_EQ(e, 1);
  // Three equal gaps of 1.0 (the wrap gap 0.5 + 0.5): the earliest inner gap wins, and the
  // wrap gap would have to be strictly larger.
  AngleCoverage t;
  t.insert(0.5, 1);
  t.insert(2, 3);
  t.insert(4, kTwoPi - 0.5);
  ASSERT_TRUE(t.coveredArc(s, e));
  EXPECT_EQ(s, 2);
  EXPECT_EQ(e, 1);
}

TEST(AngleCoverage, KeepsEveryIntervalPast360Insertions) {
  AngleCoverage c;
  for (int i = 0; i < 500; ++i) c.insert(i * 0.01, i * 0.01 + 0.004);
  EXPECT_EQ(c.used(), 500);
  EXPECT_EQ(c.sortedNodes().size(), 500u);
  EXPECT_NEAR(c.overlap(0, 10), 500 * 0.004, 1e-9);
  // One wide interval swallows them all.
  c.insert(0, 5.1);
  EXPECT_EQ(c.sortedNodes().size(), 1u);
}

}  // namespace
}  // namespace ced
