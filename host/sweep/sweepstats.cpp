#include "sweep/sweepstats.h"

#include <algorithm>
#include <cmath>

namespace wheelhost {

namespace {

double median(std::vector<double> v) {
  if (v.empty()) return -1.0;
  const size_t mid = v.size() / 2;
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(mid), v.end());
  if (v.size() % 2 == 1) return v[mid];
  const double upper = v[mid];
  return 0.5 * (upper + *std::max_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(mid)));
}

}  // namespace

bool isLocated(const Localisation& found, const LabelledImage& truth) {
  if (!found.found) return false;
  const double tolerance = 0.01 * truth.radius;
  return cv::norm(found.centre - truth.centre) <= tolerance &&
         std::abs(found.radius - truth.radius) <= tolerance;
}

SettingStats summarise(const std::vector<LabelledImage>& images,
                       const std::vector<Localisation>& results) {
  SettingStats s;
  s.images = static_cast<int>(images.size());
  std::vector<double> centres, radii;
  double seconds = 0.0;
  for (size_t i = 0; i < images.size() && i < results.size(); ++i) {
    const Localisation& r = results[i];
    seconds += r.seconds;
    if (!r.found) continue;
    ++s.found;
    const double e = cv::norm(r.centre - images[i].centre);
    s.centreWorst = std::max(s.centreWorst, e);
    if (!isLocated(r, images[i])) continue;
    ++s.located;
    centres.push_back(e);
    radii.push_back(std::abs(r.radius - images[i].radius));
  }
  if (s.images > 0) {
    s.locatedShare = static_cast<double>(s.located) / s.images;
    s.secondsPerImage = seconds / s.images;
  }
  s.centreMedian = median(centres);
  s.radiusMedian = median(radii);
  return s;
}

int bestSetting(const std::vector<SettingStats>& stats) {
  // Centre medians a thousandth of a pixel apart and times within a tenth are the same: the
  // earlier setting (the one as given comes first) stays, rather than one that won by noise.
  const auto median = [](const SettingStats& s) {
    return s.centreMedian < 0 ? 1e300 : std::round(s.centreMedian * 1000.0);
  };
  int best = stats.empty() ? -1 : 0;
  for (int i = 1; i < static_cast<int>(stats.size()); ++i) {
    const SettingStats &a = stats[static_cast<size_t>(i)], &b = stats[static_cast<size_t>(best)];
    if (a.located != b.located) {
      if (a.located > b.located) best = i;
    } else if (median(a) != median(b)) {
      if (median(a) < median(b)) best = i;
    } else if (a.secondsPerImage < 0.9 * b.secondsPerImage) {
      best = i;
    }
  }
  return best;
}

}  // namespace wheelhost
