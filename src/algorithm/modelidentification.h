#pragma once

#include <QString>
#include <QStringList>
#include <opencv2/core.hpp>

#include "iwheelmodel.h"

namespace fluorescence {

// What model identification is asked: the cut-out wheel and the measurements and filters of
// the call.
struct ModelQuery {
  cv::Mat image;             // the cut-out wheel (a deep copy, owned by the query)
  int thickness = 0;         // "thickness"
  int diameter = 0;          // the measured diameter, truncated
  bool useThickness = true;  // "useThickness"
  bool useDiameter = true;   // "useDiameter"
  QStringList names;         // the catalogue names to consider, in order
  double ratio = 0.0;        // "Ratio"
  int ratioType = 0;         // "RatioType": 1 enables the ratio-range filter
};

// The two look-alike models told apart by the small circles near the wheel's centre.
inline constexpr const char kLookAlikeFewHoles[] = "RA620418";
inline constexpr const char kLookAlikeManyHoles[] = "RB620493";

// Names the model of the query's wheel from `catalogue` (null: returns "").
// Models of the query's list that the catalogue holds are filtered by diameter and thickness
// (a difference of 15.0 or more rejects), by the ratio range when ratioType is 1, and by having
// a template; the rest are scored with their matcher (lower is better, -1.0 never wins), and the
// lowest score names the model (the earlier name on ties). When at least one score is below its
// model's acceptance limit, the look-alike pair is settled by counting small circles in the
// 220 x 220 centre of the image (which must then be at least 220 x 220, else cv::Exception).
// `scores` (may be null) receives in entry [0] the best score; with `length` above 1, the
// `length` smallest of the per-model scores in ascending order instead (models never scored
// count as 0.0). `length` must not exceed the catalogue's size. Exceptions from the host's
// models and matchers pass through.
QString identifyModel(const WheelModelMap* catalogue, const ModelQuery& query, double* scores,
                      int length);

// Counts the circles the look-alike check sees: of the circle detector's circles in `crop`,
// those whose radius lies strictly between 0.038 * 0.038 and 0.072 times the largest one's.
int countSmallCircles(const cv::Mat& crop);

}  // namespace fluorescence
