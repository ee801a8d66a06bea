#include "validitytable.h"

#include <gtest/gtest.h>

#include <cmath>

#include "nfa.h"

namespace ced {
namespace {

TEST(ValidityTable, SizeAndLogNTFollowTheImage) {
  const ValidityTable t(640, 480);
  EXPECT_EQ(t.size(), 140);  // (640 + 480) / 8
  EXPECT_NEAR(t.logNT(), 2 * std::log10(640.0 * 480.0) + std::log10(1120.0), 1e-12);
  EXPECT_EQ(t.minAligned(0), 1);
  // Degenerate sizes give an empty table and still answer through the score.
  const ValidityTable tiny(3, 2);
  EXPECT_EQ(tiny.size(), 0);
  EXPECT_FALSE(tiny.isValid(5, 0));
  EXPECT_TRUE(tiny.isValid(5, 5));  // logNT = 2·log10 6 + log10 5 ≈ 2.26 < 5·0.903
}

// nfaScore itself is checked against exact binomial tails; each entry must be exactly the
// smallest count it accepts, so the table agrees with the score everywhere.
TEST(ValidityTable, EntriesAreTheScoresThresholdsAndNeverDecrease) {
  for (auto size : {std::pair<int, int>{640, 480}, {1224, 1024}}) {
    const ValidityTable t(size.first, size.second);
    int previous = 1;
    bool seenValid = false;
    for (int n = 1; n < t.size(); ++n) {
      const int e = t.minAligned(n);
      if (e == t.size() + 1) {
        EXPECT_FALSE(seenValid) << "an invalid entry after a valid one at n=" << n;
        EXPECT_LT(nfaScore(n, n, 0.125, t.logNT()), 0.0) << n;
        continue;
      }
      seenValid = true;
      EXPECT_GE(e, previous);
      EXPECT_LE(e, n);
      previous = e;
      EXPECT_GE(nfaScore(n, e, 0.125, t.logNT()), 0.0) << n;
      EXPECT_LT(nfaScore(n, e - 1, 0.125, t.logNT()), 0.0) << n;
    }
    EXPECT_TRUE(seenValid);
    // Past the table the answer is the score itself.
    for (int n : {t.size(), t.size() + 1, 1000, 5000}) {
      for (int k : {n / 8, n / 4, n / 2, n}) {
        EXPECT_EQ(t.isValid(n, k), nfaScore(n, k, 0.125, t.logNT()) >= 0.0) << n << " " << k;
      }
    }
  }
}

}  // namespace
}  // namespace ced
