#include <gtest/gtest.h>

#include <stdexcept>

#include "analysiskeys.h"
#include "objects/configobject.h"
#include "objects/imageobject.h"
#include "objects/parameterbuilder.h"
#include "variantpointer.h"

namespace {

using namespace wheelhost;
using Calls = std::vector<std::string>;

TEST(HostImageObject, RefusesOtherTypesAndShortStrides) {
  EXPECT_THROW(ImageObject(cv::Mat(2, 2, CV_8UC3)), std::invalid_argument);
  EXPECT_THROW(ImageObject(cv::Mat(2, 4, CV_8UC1), 3), std::invalid_argument);
  EXPECT_THROW(ImageObject(cv::Mat(2, 2, CV_8UC4), 7), std::invalid_argument);
}

TEST(HostImageObject, HandsOutParametersConfigAndKeepsTheDeliveredRecord) {
  ImageObject image(cv::Mat(2, 2, CV_8UC1, cv::Scalar(0)));
  ConfigObject config({"C:\\line"});
  image.setConfig(&config);
  image.setParameters(ParameterBuilder().ratio(2.5).map());
  EXPECT_EQ(image.QueryParams()->toMap().value("Ratio").toDouble(), 2.5);
  EXPECT_EQ(image.GetConfig(), &config);

  QVariantMap results;
  results.insert("ratioVal", 2.5);
  auto* record = new FluorescenceResult;
  record->model = "RA1";
  results.insert(algorithmkeys::kResult, variantFromPointer(record));
  image.SetResults(results);
  image.SetResults(results);  // the same record twice must not be deleted
  EXPECT_EQ(image.setResultsCount(), 2);
  EXPECT_EQ(image.results().value("ratioVal").toDouble(), 2.5);
  const std::unique_ptr<FluorescenceResult> taken = image.takeResult();
  EXPECT_EQ(taken.get(), record);
  EXPECT_EQ(image.result(), nullptr);

  image.setNullParameters(true);
  EXPECT_EQ(image.QueryParams(), nullptr);
  image.setNullPixels(true);
  int w = 0, h = 0, r = 0, s = 0;
  EXPECT_EQ(image.GetImageData(&w, &h, &r, &s), nullptr);
  EXPECT_EQ(w, 2);
  EXPECT_EQ(image.calls(), (Calls{"QueryParams", "GetConfig", "SetResults", "SetResults",
                                  "QueryParams", "GetImageData"}));
}

}  // namespace
