#include "parameters.h"

#include <gtest/gtest.h>

#include <sstream>

#include "analysiskeys.h"
#include "objects/wheelmodel.h"
#include "variantpointer.h"

namespace fluorescence {
namespace {

// Every field of a reading, in the order of the key table, so that one comparison checks a
// whole reading and a value read into the wrong field shows.
std::string describe(const AnalysisParameters& p) {
  std::ostringstream s;
  s << reinterpret_cast<quintptr>(p.modelMap) << " [" << p.defectList.join(',').toStdString()
    << "] " << p.isCutImg << ' ' << p.thickness << ' ' << p.useThickness << ' ' << p.useDiameter
    << ' ' << p.d2h << ' ' << p.useBackground << ' ' << p.ratioType << ' ' << p.ratio << ' '
    << p.equalize << ' ' << p.filterSize << ' ' << p.circle.polarity << ' ' << p.circle.acceptance
    << ' ' << p.circle.edgeWidth << ' ' << p.reportCircle << ' ' << p.circle.robust << ' '
    << p.circle.quarterCoarse << " min " << p.circle.minSize;
  return s.str();
}

TEST(ReadParameters, EmptyMapGivesEveryKeyItsDefault) {
  EXPECT_EQ(describe(readParameters(QVariantMap())),
            "0 [] 0 -1 0 0 -1 0 0 0 0 0 0 3 3 0 0 0 min 0");
}

TEST(ReadParameters, HostValuesAreTakenAndTheNameListIsCopied) {
  wheelhost::ScriptedWheelModel model(600.0, 200.0, nullptr);
  WheelModelMap catalogue{{"RA1", &model}};
  QStringList names{"RA1", "RB2"};
  // Typed as the host stores them.
  QVariantMap map{{"IsCutImg", 2},         {"thickness", 215},     {"useThickness", true},
                  {"useDiameter", true},   {"d2h", 0.125},         {"useBackground", true},
                  {"RatioType", 1},        {"Ratio", 2.5},         {"bEqual", true},
                  {"filterSize", 120},     {"Circle_Polarity", 1}, {"Circle_ACThres", 40},
                  {"Circle_EdgeWidth", 5}, {"ReportCircle", true}, {"RobustRefine", true},
                  {"CoarseQuarter", true}, {"unknownKey", 99}};
  map["modelMap"] = variantFromPointer(&catalogue);
  map["defectList"] = variantFromPointer(&names);
  // Every key of the shared table is set above, so a key added to the table but not read
  // changes this reading.
  for (const auto& k : algorithmkeys::kParameterKeys) EXPECT_TRUE(map.contains(k.key)) << k.key;
  const AnalysisParameters p = readParameters(map);
  names.append("later");  // the copy is taken at reading time
  EXPECT_EQ(describe(p), std::to_string(reinterpret_cast<quintptr>(&catalogue)) +
                             " [RA1,RB2] 2 215 1 1 0.125 1 1 2.5 1 120 1 40 5 1 1 1 min 120");
}

// The host's values convert by Qt's rules; a value that does not convert reads as zero, not as
// the key's default.
TEST(ReadParameters, StringsAndOtherTypesConvertByQtRulesAndFailuresGiveZero) {
  const QVariantMap converted{
      {"thickness", "42"},       {"d2h", "0.5"},           {"Ratio", "2.5"},
      {"useBackground", "true"}, {"useDiameter", "false"}, {"useThickness", 2},
      {"IsCutImg", true},        {"bEqual", "0"},          {"filterSize", "12"},
      {"Circle_ACThres", "40"},  {"RatioType", 1.0},       {"RobustRefine", "true"},
      {"ReportCircle", "false"}, {"CoarseQuarter", 1}};
  EXPECT_EQ(describe(readParameters(converted)),
            "0 [] 1 42 1 0 0.5 1 1 2.5 0 12 0 40 3 0 1 1 min 12");

  const QVariantMap failed{
      {"modelMap", "not a pointer"}, {"defectList", QVariant(0)}, {"thickness", "abc"},
      {"d2h", QStringList{"1.0"}},   {"Circle_ACThres", "high"},  {"Circle_EdgeWidth", QVariant()},
      {"useBackground", QVariant()}, {"robustrefine", true}};  // keys are case-sensitive
  EXPECT_EQ(describe(readParameters(failed)), "0 [] 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 min 0");
}

}  // namespace
}  // namespace fluorescence
