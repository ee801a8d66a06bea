#include "resultmap.h"

#include "analysiskeys.h"
#include "variantpointer.h"
#include "vistrel/qtcvutils.h"

namespace keys = algorithmkeys;

QVariantMap beginResultMap(double ratio) {
  QVariantMap results;
  results.insert(keys::kRatioVal, QVariant(ratio));
  return results;
}

void addBackgroundMismatch(QVariantMap& results) { results.insert(keys::kError, QVariant(0)); }

void addNoCircle(QVariantMap& results, std::unique_ptr<FluorescenceResult> record) {
  results.insert(keys::kNoCircle, QVariant(0));
  addResult(results, std::move(record));
}

void addResult(QVariantMap& results, std::unique_ptr<FluorescenceResult> record) {
  results.insert(keys::kResult, variantFromPointer(record.release()));
}

void addCircle(QVariantMap& results, cv::Point2f centre, double radius) {
  results.insert(keys::kCircle, QVariantList{static_cast<double>(centre.x),
                                             static_cast<double>(centre.y), radius});
}

std::unique_ptr<FluorescenceResult> newFluorescenceResult(const cv::Mat& input) {
  auto record = std::make_unique<FluorescenceResult>();
  record->source = zq::QtCVUtils::cvMatToQPixmap(input, false);
  return record;
}

double similarityFromScore(double score, double limit) {
  return (limit - score) / limit * 0.4 + 0.6;
}
