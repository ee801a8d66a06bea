#pragma once

#include <QStringList>
#include <QVariantMap>

#include "iwheelmodel.h"

namespace wheelhost {

// Builds the parameter map an analysis call reads, one typed setter per key, each storing the
// value with the type the host uses. Pointers are stored as qlonglong and stay owned by the
// caller, who keeps them alive for the call. Keys never set are absent (the plug-in's defaults
// apply); set() stores any variant, also of a wrong type, to probe conversions.
class ParameterBuilder {
 public:
  ParameterBuilder& modelMap(WheelModelMap* catalogue);
  ParameterBuilder& defectList(QStringList* names);
  ParameterBuilder& isCutImg(int cut);
  ParameterBuilder& thickness(int thickness);
  ParameterBuilder& useThickness(bool use);
  ParameterBuilder& useDiameter(bool use);
  ParameterBuilder& d2h(double scale);
  ParameterBuilder& useBackground(bool use);
  ParameterBuilder& ratioType(int type);
  ParameterBuilder& ratio(double ratio);
  ParameterBuilder& equalize(bool equalize);  // "bEqual"
  ParameterBuilder& filterSize(int size);
  ParameterBuilder& circlePolarity(int polarity);
  ParameterBuilder& circleAcceptance(int acceptance);
  ParameterBuilder& circleEdgeWidth(int width);

  ParameterBuilder& set(const QString& key, const QVariant& value);
  ParameterBuilder& remove(const QString& key);

  const QVariantMap& map() const { return map_; }
  // The map wrapped in a QVariant, as IImageObject::QueryParams hands it out.
  QVariant variant() const { return QVariant(map_); }

 private:
  QVariantMap map_;
};

}  // namespace wheelhost
