#include "resultmap.h"

#include <gtest/gtest.h>

#include "variantpointer.h"

namespace fluorescence {
namespace {

// Which keys each delivery holds is the analysis tests' and the regression set's, and so is
// the ratio's value; the host reads the values by their types.
TEST(ResultMap, ValuesHaveTheTypesTheHostReadsAndOnlyNoCircleCarriesARecord) {
  QVariantMap results = beginResultMap(2.5);
  EXPECT_EQ(results.value("ratioVal").userType(), QMetaType::Double);
  addBackgroundMismatch(results);
  EXPECT_EQ(results.value("error").userType(), QMetaType::Int);
  EXPECT_EQ(results.value("error").toInt(), 0);
  EXPECT_EQ(fluorescenceResultOf(results), nullptr);

  // "noCircle" carries an initial record with its source.
  cv::Mat input(3, 4, CV_8UC1, cv::Scalar(90));
  results = beginResultMap(1.5);
  auto record = newFluorescenceResult(input);
  FluorescenceResult* raw = record.get();
  addNoCircle(results, std::move(record));
  input.setTo(0);  // the pixmap no longer depends on the matrix

  EXPECT_EQ(results.value("noCircle").userType(), QMetaType::Int);
  EXPECT_EQ(results.value("noCircle").toInt(), 0);
  EXPECT_EQ(results.value("result").userType(), QMetaType::LongLong);
  // The record's other values are the regression set's "record" line of every scene without
  // a wheel.
  const std::unique_ptr<FluorescenceResult> delivered(fluorescenceResultOf(results));
  ASSERT_EQ(delivered.get(), raw);
  EXPECT_EQ(delivered->seconds, 0.0);
  ASSERT_EQ(delivered->source.size(), QSize(4, 3));
  EXPECT_EQ(delivered->source.toImage().pixel(3, 2), qRgb(90, 90, 90));
}

TEST(ResultMap, SimilarityMapsScoresAgainstTheLimitOntoPointSixToOne) {
  EXPECT_DOUBLE_EQ(similarityFromScore(0.0, 0.5), 1.0);
  EXPECT_DOUBLE_EQ(similarityFromScore(0.25, 0.5), 0.8);
  EXPECT_DOUBLE_EQ(similarityFromScore(0.5, 0.5), 0.6);
  EXPECT_DOUBLE_EQ(similarityFromScore(1.0, 0.5), 0.2);
}

}  // namespace
}  // namespace fluorescence
