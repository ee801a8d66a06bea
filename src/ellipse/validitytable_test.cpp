#include "validitytable.h"

#include <gtest/gtest.h>

#include <cmath>

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

}  // namespace
}  // namespace ced
