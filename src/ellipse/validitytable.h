#pragma once

#include <vector>

// Decides whether k aligned points out of n sampled outline points make a candidate curve
// meaningful in an image of a given size. Short outlines are answered from a table, long
// ones by the NFA score directly.

namespace ced {

class ValidityTable {
 public:
  // Builds the table for a width × height image: T = (width + height) / 8 entries, chance
  // alignment probability 0.125, logNT = 2·log10(width·height) + log10(width + height).
  // Sizes below 1 are treated as 1.
  ValidityTable(int width, int height);

  // True when k aligned points out of n are meaningful (NFA score >= 0).
  bool isValid(int n, int k) const;

  // The smallest meaningful k for n sampled points (n < size()), or size() + 1 when no k
  // is. Entry 0 is 1.
  int minAligned(int n) const { return table_[n]; }
  int size() const { return static_cast<int>(table_.size()); }
  double logNT() const { return logNT_; }
  static constexpr double kProbability = 0.125;

 private:
  std::vector<int> table_;
  double logNT_ = 0;
};

}  // namespace ced
