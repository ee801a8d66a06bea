#include "modelidentification.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "vistrel/ellipsedetector.h"

namespace {

constexpr double kTolerance = 15.0;
constexpr double kNoScore = -1.0;
constexpr int kCropSize = 220;

}  // namespace

int countSmallCircles(const cv::Mat& crop) {
  const std::vector<ced::mCircle> circles = ced::detectCirclesAndEllipses(crop).circles;
  float maxR = 0.0f;
  for (const ced::mCircle& c : circles) maxR = std::max(maxR, static_cast<float>(c.r));
  // The lower bound is 0.038 of 0.038 of the largest radius, as the check has always used it.
  const double upper = 0.072 * maxR;
  const double lower = 0.038 * (0.038 * maxR);
  int n = 0;
  for (const ced::mCircle& c : circles) {
    if (c.r < upper && c.r > lower) ++n;
  }
  return n;
}

QString identifyModel(const WheelModelMap* catalogue, const ModelQuery& query, double* scores,
                      int length) {
  double best = std::numeric_limits<double>::max();
  QString bestName;
  int accepted = 0;
  if (catalogue == nullptr) return QString();

  // One entry per catalogue model. A list that names a model twice scores it twice; the
  // array then grows instead of running past its end, and the extra entries take part in the
  // sort like any other.
  std::vector<double> own(static_cast<size_t>(catalogue->size()), 0.0);
  size_t index = 0;
  for (const QString& name : query.names) {
    auto it = catalogue->constFind(name);
    if (it == catalogue->constEnd()) continue;
    if (index >= own.size()) own.resize(index + 1, 0.0);
    own[index] = std::numeric_limits<double>::max();
    IWheelModel* model = it.value();
    if (model == nullptr) break;
    if (query.useDiameter && std::fabs(query.diameter - model->Diameter()) >= kTolerance) {
      ++index;
      continue;
    }
    if (query.useThickness && std::fabs(query.thickness - model->Thickness()) >= kTolerance) {
      ++index;
      continue;
    }
    if (query.ratioType == 1) {
      const double lo = model->RatioMin(), hi = model->RatioMax();
      if (query.ratio > 0 && lo > 0 && hi > 0 && (query.ratio < lo || query.ratio > hi)) {
        ++index;
        continue;
      }
    }
    IModelMatcher* matcher = model->Matcher();
    // A model without a matcher cannot be scored: it is passed over like one without a template.
    if (matcher == nullptr || matcher->TemplateImage().empty()) {
      ++index;
      continue;
    }
    matcher->Prepare(0);
    const double score = matcher->Match(query.image.clone(), 0, 1, true, 0, 0.0, 0.0);
    const double limit = matcher->AcceptLimit();
    if (score < limit) ++accepted;
    own[index] = score;
    if (score < best && score != kNoScore) {
      best = score;
      bestName = name;
    }
    ++index;
  }

  if (scores != nullptr) scores[0] = best;
  if (scores != nullptr && length > 1) {
    std::sort(own.begin(), own.end());
    std::copy_n(own.begin(), std::min<size_t>(static_cast<size_t>(length), own.size()), scores);
  }
  if (accepted == 0) return bestName;

  const cv::Rect centre(static_cast<int>(query.image.cols / 2.0 - 110.0),
                        static_cast<int>(query.image.rows / 2.0 - 110.0), kCropSize, kCropSize);
  const int n = countSmallCircles(cv::Mat(query.image, centre).clone());
  const QString upper = bestName.toUpper();
  if (upper == kLookAlikeFewHoles) {
    if (n > 1 && query.names.contains(kLookAlikeManyHoles, Qt::CaseSensitive)) {
      bestName = kLookAlikeManyHoles;
    }
  } else if (upper == kLookAlikeManyHoles) {
    if (n < 2 && query.names.contains(kLookAlikeFewHoles, Qt::CaseSensitive)) {
      bestName = kLookAlikeFewHoles;
    }
  }
  return bestName;
}
