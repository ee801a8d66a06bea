#pragma once

#include <QStringList>
#include <QVariantMap>

#include "circleparams.h"
#include "iwheelmodel.h"

// Everything one analysis call reads from the host's parameter map. The members hold the
// values after the host's QVariant conversions; a missing key gives the default shown.
struct AnalysisParameters {
  WheelModelMap* modelMap = nullptr;  // "modelMap": the host's catalogue, not owned
  QStringList defectList;             // "defectList": a copy of the host's name list
  int isCutImg = 0;                   // "IsCutImg"
  int thickness = -1;                 // "thickness"
  bool useThickness = false;          // "useThickness"
  bool useDiameter = false;           // "useDiameter"
  double d2h = -1.0;                  // "d2h"
  bool useBackground = false;         // "useBackground"
  int ratioType = 0;                  // "RatioType"
  double ratio = 0.0;                 // "Ratio"
  bool equalize = false;              // "bEqual"
  int filterSize = 0;                 // "filterSize"
  CircleParams circle;                // the three circle keys and "filterSize"
  bool reportCircle = false;          // "ReportCircle": also deliver "circle"
};

// Reads every key of `params` in the order of algorithmkeys::kParameterKeys, each with its
// default, and converts it with the table's QVariant conversion (a failed conversion gives that
// conversion's zero: "abc" as "thickness" is 0, not -1). Other keys are ignored. The name list
// behind "defectList" is copied at once; the catalogue behind "modelMap" stays the host's.
AnalysisParameters readParameters(const QVariantMap& params);
