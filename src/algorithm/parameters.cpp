#include "parameters.h"

#include "analysiskeys.h"
#include "variantpointer.h"

namespace keys = algorithmkeys;

AnalysisParameters readParameters(const QVariantMap& params) {
  // Defaults are variants of the host's own types (int -1 for "d2h", int 0 for the bools), so a
  // missing key converts exactly as the host's own default would.
  AnalysisParameters p;
  p.modelMap = pointerFromVariant<WheelModelMap>(params.value(keys::kModelMap, QVariant()));
  if (const auto* names = pointerFromVariant<QStringList>(params.value(keys::kDefectList))) {
    p.defectList = *names;
  }
  p.isCutImg = params.value(keys::kIsCutImg, QVariant(0)).toInt();
  p.thickness = params.value(keys::kThickness, QVariant(-1)).toInt();
  p.useThickness = params.value(keys::kUseThickness, QVariant(0)).toBool();
  p.useDiameter = params.value(keys::kUseDiameter, QVariant(0)).toBool();
  p.d2h = params.value(keys::kD2h, QVariant(-1)).toDouble();
  p.useBackground = params.value(keys::kUseBackground, QVariant(false)).toBool();
  p.ratioType = params.value(keys::kRatioType, QVariant()).toInt();
  p.ratio = params.value(keys::kRatio, QVariant()).toDouble();
  p.equalize = params.value(keys::kEqualize, QVariant()).toBool();
  p.filterSize = params.value(keys::kFilterSize, QVariant()).toInt();
  p.circle.polarity = params.value(keys::kCirclePolarity, QVariant(0)).toInt();
  p.circle.acceptance = params.value(keys::kCircleAcceptance, QVariant(3)).toInt();
  p.circle.edgeWidth = params.value(keys::kCircleEdgeWidth, QVariant(3)).toInt();
  p.circle.minSize = p.filterSize;
  p.circle.robust = params.value(keys::kRobustRefine, QVariant(false)).toBool();
  return p;
}
