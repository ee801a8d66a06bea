#include "parameters.h"

#include <gtest/gtest.h>

#include "analysiskeys.h"
#include "objects/parameterbuilder.h"
#include "objects/wheelmodel.h"

namespace fluorescence {
namespace {

using wheelhost::ParameterBuilder;

// Every field of a reading, in the order of the key table, so that one comparison checks a
// whole reading and a value read into the wrong field shows.
std::string describe(const AnalysisParameters& p) {
  return QString("%1 [%2] %3 %4 %5 %6 %7 %8 %9 %10 %11 %12 %13 %14 %15 %16 %17 min %18")
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
      .arg(p.circle.robust)
      .arg(p.circle.minSize)
      .toStdString();
}

TEST(ReadParameters, EmptyMapGivesEveryKeyItsDefault) {
  EXPECT_EQ(describe(readParameters(QVariantMap())), "0 [] 0 -1 0 0 -1 0 0 0 0 0 0 3 3 0 0 min 0");
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
                              .set("ReportCircle", true)
                              .set("RobustRefine", true)
                              .set("unknownKey", 99)
                              .map();
  // Every key of the shared table is set above, so a key added to the table but not read
  // changes this reading.
  for (const algorithmkeys::ParameterKey& k : algorithmkeys::kParameterKeys) {
    EXPECT_TRUE(map.contains(k.key)) << k.key;
  }
  const AnalysisParameters p = readParameters(map);
  names.append("later");  // the copy is taken at reading time
  EXPECT_EQ(p.modelMap, &catalogue);
  EXPECT_EQ(describe(p), std::to_string(reinterpret_cast<qulonglong>(&catalogue)) +
                             " [RA1,RB2] 2 215 1 1 0.125 1 1 2.5 1 120 1 40 5 1 1 min 120");
}

// The host's values convert by Qt's rules; a value that does not convert reads as zero, not as
// the key's default.
TEST(ReadParameters, StringsAndOtherTypesConvertByQtRulesAndFailuresGiveZero) {
  const QVariantMap converted = ParameterBuilder()
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
                                    .set("RobustRefine", "true")
                                    .set("ReportCircle", "false")
                                    .map();
  EXPECT_EQ(describe(readParameters(converted)),
            "0 [] 1 42 1 0 0.5 1 1 2.5 0 12 0 40 3 0 1 min 12");

  const QVariantMap failed = ParameterBuilder()
                                 .set("modelMap", "not a pointer")
                                 .set("defectList", QVariant(0))
                                 .set("thickness", "abc")
                                 .set("d2h", QStringList{"1.0"})
                                 .set("Circle_ACThres", "high")
                                 .set("Circle_EdgeWidth", QVariant())
                                 .set("useBackground", QVariant())
                                 .set("robustrefine", true)  // keys are case-sensitive
                                 .map();
  EXPECT_EQ(describe(readParameters(failed)), "0 [] 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 min 0");
}

}  // namespace
}  // namespace fluorescence
