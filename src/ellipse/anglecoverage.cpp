#include "anglecoverage.h"

#include <algorithm>
#include <cmath>

#include "arcangles.h"
#include "detectorconstants.h"

namespace ced {

namespace {
// One joining search rarely inserts more than a few dozen intervals; this keeps the common
// case free of reallocation.
constexpr int kReservedNodes = 360;
}  // namespace

AngleCoverage::AngleCoverage() { nodes_.reserve(kReservedNodes); }

void AngleCoverage::clear() {
  nodes_.clear();
  first_ = -1;
  overlap_ = 0;
}

void AngleCoverage::add(double s, double e) {
  if (e > s) {
    insert(s, e);
  } else {
    insert(s, kTwoPi);
    insert(0, e);
  }
}

// Nodes are never reused once merged away: a node index counts insertions, as the sorted
// list is threaded through the array. The array grows past 360 entries instead of refusing an
// interval, because a dropped interval would silently change the covered arc and the overlap
// that the joining tests compare against.
void AngleCoverage::insert(double s, double e) {
  const int idx = static_cast<int>(nodes_.size());
  nodes_.push_back(Node{s, e, -1});
  int prev = -1;
  int cur = first_;
  while (cur != -1) {
    const Node node = nodes_[cur];
    if (node.start >= e) {
      nodes_[idx] = Node{s, e, cur};
      if (prev == -1)
        first_ = idx;
      else
        nodes_[prev].next = idx;
      return;
    }
    if (node.end <= s) {
      prev = cur;
      cur = node.next;
      continue;
    }
    overlap_ += node.end > e ? e - node.start : node.end - s;
    s = std::min(s, node.start);
    e = std::max(e, node.end);
    if (prev == -1)
      first_ = node.next;
    else
      nodes_[prev].next = node.next;
    cur = node.next;
  }
  nodes_[idx] = Node{s, e, -1};
  if (prev == -1)
    first_ = idx;
  else
    nodes_[prev].next = idx;
}

double AngleCoverage::overlap(double s, double e) const {
  double sum = 0;
  for (int cur = first_; cur != -1; cur = nodes_[cur].next) {
    const Node& node = nodes_[cur];
    if (node.start > e) break;
    if (node.end < s) continue;
    if (node.start > s && node.end < e)
      sum += node.end - node.start;
    else
      sum += node.start > s ? e - node.start : node.end - s;
  }
  return sum;
}

double AngleCoverage::overlapRatio(double s, double e) const {
  const double covered = e > s ? overlap(s, e) : overlap(s, kTwoPi) + overlap(0, e);
  return covered / angularSpan(s, e);
}

bool AngleCoverage::coveredArc(double& start, double& end) const {
  start = end = 0;
  if (first_ == -1) return false;
  const Node& head = nodes_[first_];
  if (head.next == -1) {
    start = head.start;
    end = head.end;
    return true;
  }
  double largest = -1;
  int cur = first_;
  while (nodes_[cur].next != -1) {
    const Node& a = nodes_[cur];
    const Node& b = nodes_[a.next];
    if (b.start - a.end > largest) {
      largest = b.start - a.end;
      start = b.start;
      end = a.end;
    }
    cur = a.next;
  }
  const double wrap = kTwoPi - nodes_[cur].end + head.start;
  if (wrap > largest) {
    start = head.start;
    end = nodes_[cur].end;
  }
  return true;
}

double AngleCoverage::accumulatedOverlapRatio() const { return overlap_ / kTwoPi; }

std::vector<AngleCoverage::Node> AngleCoverage::sortedNodes() const {
  std::vector<Node> out;
  for (int cur = first_; cur != -1; cur = nodes_[cur].next) out.push_back(nodes_[cur]);
  return out;
}

}  // namespace ced
