#pragma once

#include <vector>

// The set of angular intervals that a growing arc already covers, used when arcs are joined.
// Intervals are kept sorted and merged on insertion. The node store is sized for 360 nodes
// and grows beyond that rather than dropping an interval.

namespace ced {

class AngleCoverage {
 public:
  struct Node {
    double start, end;  // radians, within [0, 2π]
    int next;           // index of the following node, −1 = none
  };

  AngleCoverage();

  // Empties the set and resets the accumulated overlap.
  void clear();
  // Adds the arc from s to e; s > e wraps through 0 and is stored as [s, 2π] and [0, e].
  void add(double s, double e);
  // Inserts the interval [s, e] (s <= e), merging it with the nodes it overlaps; each merged
  // node adds the length of its overlap to the accumulated overlap.
  void insert(double s, double e);
  // Length of [s, e] (s <= e) already covered.
  double overlap(double s, double e) const;
  // Covered share of the arc from s to e (wrapping when s >= e), 0..1.
  double overlapRatio(double s, double e) const;
  // The covered arc from the end of the largest uncovered gap to its beginning (one node: the
  // node itself). Returns false, leaving both at 0, when nothing is covered.
  bool coveredArc(double& start, double& end) const;
  // The overlap accumulated by merges, divided by 2π.
  double accumulatedOverlapRatio() const;

  double accumulatedOverlap() const { return overlap_; }
  int first() const { return first_; }
  int used() const { return static_cast<int>(nodes_.size()); }
  const Node& node(int i) const { return nodes_[i]; }
  // The intervals in angular order (for tests and diagnostics).
  std::vector<Node> sortedNodes() const;

 private:
  std::vector<Node> nodes_;
  int first_ = -1;
  double overlap_ = 0;
};

}  // namespace ced
