#include "parameters.h"

#include "analysiskeys.h"
#include "variantpointer.h"

namespace fluorescence {

namespace keys = algorithmkeys;

namespace {

// The variant `key` is looked up with, from the key table.
QVariant lookupDefault(const keys::ParameterKey& k) {
  switch (k.lookup) {
    case keys::LookupDefault::Int:
      return QVariant(k.lookupValue);
    case keys::LookupDefault::Bool:
      return QVariant(k.lookupValue != 0);
    case keys::LookupDefault::None:
      break;
  }
  return QVariant();
}

// The value under `key`, or its default from the key table when it is missing.
QVariant lookUp(const QVariantMap& params, const char* key) {
  const keys::ParameterKey* k = keys::findParameterKey(key);
  return k != nullptr ? params.value(QString::fromLatin1(key), lookupDefault(*k)) : QVariant();
}

}  // namespace

AnalysisParameters readParameters(const QVariantMap& params) {
  // In the table's order; the defaults are variants of the host's own types (int -1 for "d2h",
  // int 0 for some bools), so a missing key converts exactly as the host's own default would.
  AnalysisParameters p;
  p.modelMap = pointerFromVariant<WheelModelMap>(lookUp(params, keys::kModelMap));
  if (const auto* names = pointerFromVariant<QStringList>(lookUp(params, keys::kDefectList))) {
    p.defectList = *names;
  }
  p.isCutImg = lookUp(params, keys::kIsCutImg).toInt();
  p.thickness = lookUp(params, keys::kThickness).toInt();
  p.useThickness = lookUp(params, keys::kUseThickness).toBool();
  p.useDiameter = lookUp(params, keys::kUseDiameter).toBool();
  p.d2h = lookUp(params, keys::kD2h).toDouble();
  p.useBackground = lookUp(params, keys::kUseBackground).toBool();
  p.ratioType = lookUp(params, keys::kRatioType).toInt();
  p.ratio = lookUp(params, keys::kRatio).toDouble();
  p.equalize = lookUp(params, keys::kEqualize).toBool();
  p.filterSize = lookUp(params, keys::kFilterSize).toInt();
  p.circle.polarity = lookUp(params, keys::kCirclePolarity).toInt();
  p.circle.acceptance = lookUp(params, keys::kCircleAcceptance).toInt();
  p.circle.edgeWidth = lookUp(params, keys::kCircleEdgeWidth).toInt();
  p.circle.minSize = p.filterSize;
  p.reportCircle = lookUp(params, keys::kReportCircle).toBool();
  p.circle.robust = lookUp(params, keys::kRobustRefine).toBool();
  p.circle.quarterCoarse = lookUp(params, keys::kCoarseQuarter).toBool();
  return p;
}

}  // namespace fluorescence
