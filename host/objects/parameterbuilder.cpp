#include "objects/parameterbuilder.h"

#include "analysiskeys.h"
#include "variantpointer.h"

namespace wheelhost {

namespace keys = algorithmkeys;

ParameterBuilder& ParameterBuilder::modelMap(WheelModelMap* catalogue) {
  return set(keys::kModelMap, variantFromPointer(catalogue));
}
ParameterBuilder& ParameterBuilder::defectList(QStringList* names) {
  return set(keys::kDefectList, variantFromPointer(names));
}
ParameterBuilder& ParameterBuilder::isCutImg(int cut) { return set(keys::kIsCutImg, cut); }
ParameterBuilder& ParameterBuilder::thickness(int thickness) {
  return set(keys::kThickness, thickness);
}
ParameterBuilder& ParameterBuilder::useThickness(bool use) { return set(keys::kUseThickness, use); }
ParameterBuilder& ParameterBuilder::useDiameter(bool use) { return set(keys::kUseDiameter, use); }
ParameterBuilder& ParameterBuilder::d2h(double scale) { return set(keys::kD2h, scale); }
ParameterBuilder& ParameterBuilder::useBackground(bool use) {
  return set(keys::kUseBackground, use);
}
ParameterBuilder& ParameterBuilder::ratioType(int type) { return set(keys::kRatioType, type); }
ParameterBuilder& ParameterBuilder::ratio(double ratio) { return set(keys::kRatio, ratio); }
ParameterBuilder& ParameterBuilder::equalize(bool equalize) {
  return set(keys::kEqualize, equalize);
}
ParameterBuilder& ParameterBuilder::filterSize(int size) { return set(keys::kFilterSize, size); }
ParameterBuilder& ParameterBuilder::circlePolarity(int polarity) {
  return set(keys::kCirclePolarity, polarity);
}
ParameterBuilder& ParameterBuilder::circleAcceptance(int acceptance) {
  return set(keys::kCircleAcceptance, acceptance);
}
ParameterBuilder& ParameterBuilder::circleEdgeWidth(int width) {
  return set(keys::kCircleEdgeWidth, width);
}

ParameterBuilder& ParameterBuilder::set(const QString& key, const QVariant& value) {
  map_.insert(key, value);
  return *this;
}

ParameterBuilder& ParameterBuilder::remove(const QString& key) {
  map_.remove(key);
  return *this;
}

}  // namespace wheelhost
