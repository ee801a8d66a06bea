#include <gtest/gtest.h>

#include <stdexcept>

#include "analysiskeys.h"
#include "objects/imageobject.h"
#include "variantpointer.h"

namespace {

using namespace wheelhost;

TEST(HostImageObject, RefusesOtherTypesAndShortStrides) {
  EXPECT_THROW(ImageObject(cv::Mat(2, 2, CV_8UC3)), std::invalid_argument);
  EXPECT_THROW(ImageObject(cv::Mat(2, 4, CV_8UC1), 3), std::invalid_argument);
  EXPECT_THROW(ImageObject(cv::Mat(2, 2, CV_8UC4), 7), std::invalid_argument);
}

// What the objects hand to the analysis is checked by the analysis tests, which run through
// them; a plug-in that delivers the same record twice is not.
TEST(HostImageObject, KeepsADeliveredRecordOnceHoweverOftenItIsDelivered) {
  ImageObject image(cv::Mat(2, 2, CV_8UC1, cv::Scalar(0)));
  QVariantMap results;
  auto* record = new FluorescenceResult;
  results.insert(algorithmkeys::kResult, variantFromPointer(record));
  image.SetResults(results);
  image.SetResults(results);  // the same record twice must not be deleted
  EXPECT_EQ(image.setResultsCount(), 2);
  const std::unique_ptr<FluorescenceResult> taken = image.takeResult();
  EXPECT_EQ(taken.get(), record);
  EXPECT_EQ(image.result(), nullptr);
}

}  // namespace
