#include "parameters.h"

#include <gtest/gtest.h>

#include "analysiskeys.h"
#include "objects/parameterbuilder.h"
#include "objects/wheelmodel.h"

namespace {

using wheelhost::ParameterBuilder;

TEST(ReadParameters, EmptyMapGivesTheDocumentedDefaults) {
  const AnalysisParameters p = readParameters(QVariantMap());
  EXPECT_EQ(p.modelMap, nullptr);
  EXPECT_TRUE(p.defectList.isEmpty());
  EXPECT_EQ(p.isCutImg, 0);
  EXPECT_EQ(p.thickness, -1);
  EXPECT_FALSE(p.useThickness);
  EXPECT_FALSE(p.useDiameter);
  EXPECT_EQ(p.d2h, -1.0);
  EXPECT_FALSE(p.useBackground);
  EXPECT_EQ(p.ratioType, 0);
  EXPECT_EQ(p.ratio, 0.0);
  EXPECT_FALSE(p.equalize);
  EXPECT_EQ(p.filterSize, 0);
  EXPECT_EQ(p.circle.polarity, 0);
  EXPECT_EQ(p.circle.acceptance, 3);
  EXPECT_EQ(p.circle.edgeWidth, 3);
  EXPECT_EQ(p.circle.minSize, 0);
  EXPECT_FALSE(p.reportCircle);
}

TEST(ReadParameters, HostValuesAreTakenAndTheNameListIsCopied) {
  wheelhost::ScriptedWheelModel model(600.0, 200.0, nullptr);
  WheelModelMap catalogue{{"RA1", &model}};
  QStringList names{"RA1", "RB2"};
  const QVariantMap map = ParameterBuilder()
                              .modelMap(&catalogue)
                              .defectList(&names)
                              .isCutImg(2)
                              .thickness(215)
                              .useThickness(true)
                              .useDiameter(true)
                              .d2h(0.125)
                              .useBackground(true)
                              .ratioType(1)
                              .ratio(2.5)
                              .equalize(true)
                              .filterSize(120)
                              .circlePolarity(1)
                              .circleAcceptance(40)
                              .circleEdgeWidth(5)
                              .set("unknownKey", 99)
                              .map();
  const AnalysisParameters p = readParameters(map);
  names.append("later");  // the copy is taken at reading time
  EXPECT_EQ(p.modelMap, &catalogue);
  EXPECT_EQ(p.defectList, QStringList({"RA1", "RB2"}));
  EXPECT_EQ(p.isCutImg, 2);
  EXPECT_EQ(p.thickness, 215);
  EXPECT_TRUE(p.useThickness);
  EXPECT_TRUE(p.useDiameter);
  EXPECT_EQ(p.d2h, 0.125);
  EXPECT_TRUE(p.useBackground);
  EXPECT_EQ(p.ratioType, 1);
  EXPECT_EQ(p.ratio, 2.5);
  EXPECT_TRUE(p.equalize);
  EXPECT_EQ(p.filterSize, 120);
  EXPECT_EQ(p.circle.polarity, 1);
  EXPECT_EQ(p.circle.acceptance, 40);
  EXPECT_EQ(p.circle.edgeWidth, 5);
  EXPECT_EQ(p.circle.minSize, 120);
}

TEST(ReadParameters, StringsAndOtherTypesConvertByQtRules) {
  const QVariantMap map = ParameterBuilder()
                              .set("thickness", "42")
                              .set("d2h", "0.5")
                              .set("Ratio", "2.5")
                              .set("useBackground", "true")
                              .set("useDiameter", "false")
                              .set("useThickness", 2)
                              .set("IsCutImg", true)
                              .set("bEqual", "0")
                              .set("filterSize", "12")
                              .set("Circle_ACThres", "40")
                              .set("RatioType", 1.0)
                              .map();
  const AnalysisParameters p = readParameters(map);
  EXPECT_EQ(p.thickness, 42);
  EXPECT_EQ(p.d2h, 0.5);
  EXPECT_EQ(p.ratio, 2.5);
  EXPECT_TRUE(p.useBackground);
  EXPECT_FALSE(p.useDiameter);
  EXPECT_TRUE(p.useThickness);
  EXPECT_EQ(p.isCutImg, 1);
  EXPECT_FALSE(p.equalize);
  EXPECT_EQ(p.filterSize, 12);
  EXPECT_EQ(p.circle.minSize, 12);
  EXPECT_EQ(p.circle.acceptance, 40);
  EXPECT_EQ(p.ratioType, 1);
}

TEST(ReadParameters, FailedConversionsGiveZeroNotTheDefault) {
  const QVariantMap map = ParameterBuilder()
                              .set("modelMap", "not a pointer")
                              .set("defectList", QVariant(0))
                              .set("thickness", "abc")
                              .set("d2h", QStringList{"1.0"})
                              .set("Circle_ACThres", "high")
                              .set("Circle_EdgeWidth", QVariant())
                              .set("useBackground", QVariant())
                              .map();
  const AnalysisParameters p = readParameters(map);
  EXPECT_EQ(p.modelMap, nullptr);
  EXPECT_TRUE(p.defectList.isEmpty());
  EXPECT_EQ(p.thickness, 0);
  EXPECT_EQ(p.d2h, 0.0);
  EXPECT_EQ(p.circle.acceptance, 0);
  EXPECT_EQ(p.circle.edgeWidth, 0);
  EXPECT_FALSE(p.useBackground);
}

}  // namespace

namespace algorithmkeys {
void PrintTo(const ParameterKey& k, std::ostream* os) { *os << k.key; }
}  // namespace algorithmkeys

namespace {

// Every key of the shared table is read: a value of its type, unlike its default, changes
// what the reading gives. Catches a key added to the table but not read.
class EveryTableKey : public ::testing::TestWithParam<algorithmkeys::ParameterKey> {};

std::string describe(const AnalysisParameters& p) {
  return QString("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10 %11 %12 %13 %14 %15 %16")
      .arg(reinterpret_cast<qulonglong>(p.modelMap))
      .arg(p.defectList.join(','))
      .arg(p.isCutImg)
      .arg(p.thickness)
      .arg(p.useThickness)
      .arg(p.useDiameter)
      .arg(p.d2h)
      .arg(p.useBackground)
      .arg(p.ratioType)
      .arg(p.ratio)
      .arg(p.equalize)
      .arg(p.filterSize)
      .arg(p.circle.polarity)
      .arg(p.circle.acceptance)
      .arg(p.circle.edgeWidth)
      .arg(p.reportCircle)
      .toStdString();
}

TEST_P(EveryTableKey, ChangesTheReading) {
  const algorithmkeys::ParameterKey& k = GetParam();
  wheelhost::ScriptedWheelModel model(600.0, 200.0, nullptr);
  WheelModelMap catalogue{{"RA1", &model}};
  QStringList names{"RA1"};
  QVariant value;
  switch (k.type) {
    case algorithmkeys::ParameterType::Pointer:
      value = std::string(k.key) == algorithmkeys::kModelMap
                  ? QVariant(static_cast<qlonglong>(reinterpret_cast<quintptr>(&catalogue)))
                  : QVariant(static_cast<qlonglong>(reinterpret_cast<quintptr>(&names)));
      break;
    case algorithmkeys::ParameterType::Int:
      value = QVariant(7);
      break;
    case algorithmkeys::ParameterType::Bool:
      value = QVariant(true);
      break;
    case algorithmkeys::ParameterType::Double:
      value = QVariant(7.5);
      break;
  }
  const QVariantMap map{{k.key, value}};
  EXPECT_NE(describe(readParameters(map)), describe(readParameters(QVariantMap())));
}

INSTANTIATE_TEST_SUITE_P(ReadParameters, EveryTableKey,
                         ::testing::ValuesIn(algorithmkeys::kParameterKeys),
                         [](const ::testing::TestParamInfo<algorithmkeys::ParameterKey>& info) {
                           return std::string(info.param.key);
                         });

}  // namespace
