#include <gtest/gtest.h>

#include <stdexcept>

#include "analysiskeys.h"
#include "objects/configobject.h"
#include "objects/imageobject.h"
#include "objects/parameterbuilder.h"
#include "objects/wheelmodel.h"
#include "variantpointer.h"

namespace {

using namespace wheelhost;
using Calls = std::vector<std::string>;

TEST(HostImageObject, GreyBufferKeepsRowsAtTheStrideWithMarkedPadding) {
  const cv::Mat grey = (cv::Mat_<uchar>(2, 3) << 1, 2, 3, 4, 5, 6);
  ImageObject image(grey, 5);
  int width = 0, height = 0, reserved = 0, stride = 0;
  EXPECT_EQ(image.GetImageFormat(), 1);
  const unsigned char* pixels = image.GetImageData(&width, &height, &reserved, &stride);
  EXPECT_EQ(width, 3);
  EXPECT_EQ(height, 2);
  EXPECT_EQ(stride, 5);
  EXPECT_EQ(reserved, 1);
  const std::vector<unsigned char> expected = {1, 2, 3, 0xEE, 0xEE, 4, 5, 6, 0xEE, 0xEE};
  EXPECT_EQ(std::vector<unsigned char>(pixels, pixels + 10), expected);
  EXPECT_EQ(image.calls(), (Calls{"GetImageFormat", "GetImageData"}));
}

TEST(HostImageObject, FourChannelBufferIsPackedByDefault) {
  const cv::Mat bgra(1, 2, CV_8UC4, cv::Scalar(10, 20, 30, 255));
  ImageObject image(bgra);
  int width = 0, height = 0, reserved = 0, stride = 0;
  EXPECT_EQ(image.GetImageFormat(), 4);
  const unsigned char* pixels = image.GetImageData(&width, &height, &reserved, &stride);
  EXPECT_EQ(stride, 8);
  EXPECT_EQ(reserved, 4);
  EXPECT_EQ(std::vector<unsigned char>(pixels, pixels + 8),
            (std::vector<unsigned char>{10, 20, 30, 255, 10, 20, 30, 255}));
}

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

TEST(HostImageObject, FailsOnRequestAfterRecordingTheCall) {
  ImageObject image(cv::Mat(1, 1, CV_8UC1, cv::Scalar(0)));
  image.failOn("QueryParams");
  EXPECT_THROW(image.QueryParams(), std::runtime_error);
  EXPECT_EQ(image.count("QueryParams"), 1);
  EXPECT_NO_THROW(image.GetImageFormat());
}

TEST(HostConfigObject, AnswersFilepathOnlyAndRecordsTheKeys) {
  ConfigObject config({"/data/line1", "/data/line2"});
  EXPECT_EQ(config.GetValues("filepath"), QStringList({"/data/line1", "/data/line2"}));
  EXPECT_TRUE(config.GetValues("other").isEmpty());
  EXPECT_TRUE(ConfigObject().GetValues("filepath").isEmpty());
  EXPECT_EQ(config.askedKeys(), QStringList({"filepath", "other"}));
}

TEST(HostParameterBuilder, StoresEachKeyWithTheHostsType) {
  WheelModelMap catalogue;
  QStringList names{"A"};
  const QVariantMap map = ParameterBuilder()
                              .modelMap(&catalogue)
                              .defectList(&names)
                              .thickness(120)
                              .d2h(0.25)
                              .useBackground(true)
                              .equalize(true)
                              .circleAcceptance(40)
                              .set("extra", "x")
                              .remove("extra")
                              .map();
  EXPECT_EQ(map.value("modelMap").userType(), QMetaType::LongLong);
  EXPECT_EQ(pointerFromVariant<WheelModelMap>(map.value("modelMap")), &catalogue);
  EXPECT_EQ(pointerFromVariant<QStringList>(map.value("defectList")), &names);
  EXPECT_EQ(map.value("thickness").userType(), QMetaType::Int);
  EXPECT_EQ(map.value("d2h").userType(), QMetaType::Double);
  EXPECT_EQ(map.value("useBackground").userType(), QMetaType::Bool);
  EXPECT_TRUE(map.value("bEqual").toBool());
  EXPECT_EQ(map.value("Circle_ACThres").toInt(), 40);
  EXPECT_FALSE(map.contains("extra"));
  EXPECT_EQ(map.size(), 7);
}

TEST(HostScriptedModel, AnswersTheScriptAndLogsCallsAcrossObjects) {
  const cv::Mat templ(4, 4, CV_8UC1, cv::Scalar(9));
  ScriptedMatcher matcher(0.25, 0.5, templ);
  ScriptedWheelModel model(600.0, 200.0, &matcher, 1.1, 1.3);
  std::vector<std::string> log;
  matcher.shareLog(&log, "m");
  model.shareLog(&log, "w");

  EXPECT_EQ(model.Diameter(), 600.0);
  EXPECT_EQ(model.Thickness(), 200.0);
  EXPECT_EQ(model.RatioMin(), 1.1);
  EXPECT_EQ(model.RatioMax(), 1.3);
  IModelMatcher* m = model.Matcher();
  EXPECT_EQ(m->TemplateImage().data, templ.data);
  m->Prepare(0);
  const cv::Mat probe(3, 5, CV_8UC1, cv::Scalar(1));
  EXPECT_EQ(m->Match(probe, 0, 1, true, 0, 0.0, 0.0), 0.25);
  EXPECT_EQ(m->AcceptLimit(), 0.5);

  ASSERT_EQ(matcher.matchCalls().size(), 1u);
  const auto& call = matcher.matchCalls()[0];
  EXPECT_EQ(call.image.size(), cv::Size(5, 3));
  EXPECT_EQ(call.option2, 1);
  EXPECT_TRUE(call.flag);
  EXPECT_EQ(matcher.prepareModes(), std::vector<int>{0});
  EXPECT_EQ(log, (Calls{"w.Diameter", "w.Thickness", "w.RatioMin", "w.RatioMax", "w.Matcher",
                        "m.TemplateImage", "m.Prepare", "m.Match", "m.AcceptLimit"}));

  matcher.failOn("Match");
  EXPECT_THROW(m->Match(probe, 0, 1, true, 0, 0.0, 0.0), std::runtime_error);
}

}  // namespace
