#include "validitytable.h"

#include <algorithm>
#include <cmath>

#include "nfa.h"

namespace ced {

ValidityTable::ValidityTable(int width, int height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  const double w = width, h = height;
  logNT_ = 2.0 * std::log10(w * h) + std::log10(w + h);
  const int size = (width + height) / 8;
  if (size <= 0) return;
  table_.assign(size, size + 1);
  table_[0] = 1;
  // The smallest meaningful k never decreases with n (a longer outline only adds chances), so
  // the search for n starts where the one for n − 1 ended.
  int k = 1;
  for (int n = 1; n < size; ++n) {
    if (nfaScore(n, k, kProbability, logNT_) >= 0.0) {
      table_[n] = k;
      continue;
    }
    while (k < n) {
      ++k;
      if (nfaScore(n, k, kProbability, logNT_) >= 0.0) {
        table_[n] = k;
        break;
      }
    }
  }
}

bool ValidityTable::isValid(int n, int k) const {
  if (n >= 0 && n < size()) return k >= table_[n];
  return nfaScore(n, k, kProbability, logNT_) >= 0.0;
}

}  // namespace ced
