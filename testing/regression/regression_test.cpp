// Every output of the regression set against the golden file, one test per scene.
#include <gtest/gtest.h>

#include <algorithm>

#include "regressionset.h"

namespace {

const regression::Golden& golden() {
  static const regression::Golden g = regression::readGolden(REGRESSION_GOLDEN_PATH);
  return g;
}

class Regression : public ::testing::TestWithParam<size_t> {};

// The golden file lists the scenes in their order (RegressionGolden).
TEST_P(Regression, OutputsMatchTheGoldenFile) {
  const regression::Scene& scene = regression::scenes().at(GetParam());
  ASSERT_LT(GetParam(), golden().size())
      << "no golden lines for " << scene.name << ": run scripts/regen-golden and review the change";
  ASSERT_EQ(golden()[GetParam()].first, scene.name) << "the golden file lists another scene here";
  const std::vector<std::string>& expected = golden()[GetParam()].second;
  const std::vector<std::string> actual = regression::outputsOf(scene);
  ASSERT_EQ(actual.size(), expected.size()) << "number of output lines of " << scene.name;
  for (size_t i = 0; i < actual.size(); ++i) {
    EXPECT_EQ(regression::compareLine(expected[i], actual[i]), "")
        << "line " << i << "\n  golden: " << expected[i] << "\n  now:    " << actual[i];
  }
}

INSTANTIATE_TEST_SUITE_P(Scenes, Regression,
                         ::testing::Range<size_t>(0, regression::scenes().size()),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                           std::string name = regression::scenes().at(info.param).name;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

TEST(RegressionGolden, CoversExactlyTheScenes) {
  EXPECT_EQ(golden().size(), regression::scenes().size());
}

TEST(RegressionCompare, IntegersAndWordsExactlyOtherNumbersToOnePartInABillion) {
  using regression::compareLine;
  EXPECT_EQ(compareLine("circle 100 2.5", "circle 100 2.5"), "");
  EXPECT_EQ(compareLine("x 1000.0000001", "x 1000.0000002"), "");  // 1e-10 relative
  EXPECT_NE(compareLine("x 1000.00001", "x 1000.00002"), "");      // 1e-8 relative
  EXPECT_EQ(compareLine("x 1e-12", "x 2e-12"), "");                // absolute below 1
  EXPECT_NE(compareLine("x 0.5", "x 0.50001"), "");
  EXPECT_NE(compareLine("detector 3 1", "detector 3 2"), "");
  EXPECT_NE(compareLine("record 1 WHEEL-5", "record 1 WHEEL-6"), "");
  EXPECT_NE(compareLine("a 1 2", "a 1"), "");
  EXPECT_EQ(compareLine("g nan", "g nan"), "");
  EXPECT_NE(compareLine("g 1", "g nan"), "");
}

}  // namespace
