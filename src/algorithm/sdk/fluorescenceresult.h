#pragma once

#include <QPixmap>
#include <QString>
#include <QVariantMap>

#include "analysiskeys.h"
#include "variantpointer.h"

// The record an analysis call hands to the host under the result key "result". Created on the
// heap by the plug-in; the host owns it from SetResults on and deletes it. Holding QPixmaps,
// it can only exist while the host runs a QGuiApplication.
struct FluorescenceResult {
  double diameter = 0.0;    // wheel diameter in the unit of "d2h": d2h * 2 * radius
  double thickness = 0.0;   // the "thickness" parameter
  double seconds = 0.0;     // wall time of the analysis call
  QPixmap image;            // the cut-out wheel (the whole image when "IsCutImg" was set)
  QPixmap source;           // the delivered image as analysed (grey, or its first channel)
  QString model;            // the identified model name, "" when none
  double similarity = 0.0;  // (limit - score) / limit * 0.4 + 0.6 for the identified model
  double score = 1000.0;    // the best matching score (lower is better)
  int reserved = 0;
};

// The record under "result" in a delivered result map, or null when there is none. The
// pointer is the host's to delete.
inline FluorescenceResult* fluorescenceResultOf(const QVariantMap& results) {
  return pointerFromVariant<FluorescenceResult>(results.value(algorithmkeys::kResult));
}
