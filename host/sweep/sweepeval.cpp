#include "sweep/sweepeval.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <opencv2/core/utility.hpp>
#include <thread>

#include "parameters.h"
#include "wheellocalisation.h"

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

// Holds OpenCV to one thread while it lives.
class SingleThreadedOpenCv {
 public:
  SingleThreadedOpenCv() : previous_(cv::getNumThreads()) { cv::setNumThreads(1); }
  ~SingleThreadedOpenCv() { cv::setNumThreads(previous_); }

 private:
  int previous_;
};

}  // namespace

Localisation localiseWithParameters(const cv::Mat& grey, const cv::Mat& background,
                                    const QVariantMap& params) {
  const AnalysisParameters p = readParameters(params);
  Localisation out;
  const auto t0 = std::chrono::steady_clock::now();
  cv::Point2f centre(0.0f, 0.0f);
  double radius = 0.0;
  cv::Mat cut;
  try {
    if (!p.useBackground) {
      cut = localiseWheel(grey, p.equalize, p.filterSize, p.circle, centre, radius);
    } else if (background.size() == grey.size()) {
      cut = localiseWheelWithBackground(grey, background, p.equalize, p.filterSize, p.circle,
                                        centre, radius);
    }
  } catch (const cv::Exception&) {
    cut = cv::Mat();  // a cut-out past the border: the analysis ends its call, nothing found
  }
  out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  out.found = !cut.empty();
  if (out.found) {
    out.centre = cv::Point2d(centre.x, centre.y);
    out.radius = radius;
  }
  return out;
}

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

std::vector<SettingStats> runSweep(const std::vector<LabelledImage>& images,
                                   const cv::Mat& background,
                                   const std::vector<QVariantMap>& settings, int jobs,
                                   const std::function<void(int, int)>& progress,
                                   std::vector<Localisation>* allResults) {
  const int perSetting = static_cast<int>(images.size());
  const int total = perSetting * static_cast<int>(settings.size());
  std::vector<Localisation> results(static_cast<size_t>(total));
  std::atomic<int> next{0}, done{0};
  std::mutex progressMutex;
  const SingleThreadedOpenCv oneThread;
  const auto work = [&] {
    for (int k = next++; k < total; k = next++) {
      const LabelledImage& image = images[static_cast<size_t>(k % perSetting)];
      const QVariantMap& setting = settings[static_cast<size_t>(k / perSetting)];
      QVariantMap params = image.params;
      for (auto it = setting.begin(); it != setting.end(); ++it)
        params.insert(it.key(), it.value());
      results[static_cast<size_t>(k)] = localiseWithParameters(image.grey, background, params);
      const int d = ++done;
      if (progress) {
        std::lock_guard<std::mutex> lock(progressMutex);
        progress(d, total);
      }
    }
  };
  std::vector<std::thread> threads;
  for (int j = 1; j < std::max(1, jobs); ++j) threads.emplace_back(work);
  work();
  for (std::thread& t : threads) t.join();

  std::vector<SettingStats> stats;
  for (size_t s = 0; s < settings.size(); ++s) {
    const auto first = results.begin() + static_cast<std::ptrdiff_t>(s * perSetting);
    stats.push_back(summarise(images, std::vector<Localisation>(first, first + perSetting)));
  }
  if (allResults) *allResults = std::move(results);
  return stats;
}

int bestSetting(const std::vector<SettingStats>& stats) {
  int best = -1;
  for (int i = 0; i < static_cast<int>(stats.size()); ++i) {
    if (best < 0) {
      best = i;
      continue;
    }
    const SettingStats &a = stats[static_cast<size_t>(i)], &b = stats[static_cast<size_t>(best)];
    // An empty median (-1) ranks after any real one.
    const double am = a.centreMedian < 0 ? 1e300 : a.centreMedian;
    const double bm = b.centreMedian < 0 ? 1e300 : b.centreMedian;
    if (a.located != b.located) {
      if (a.located > b.located) best = i;
    } else if (am != bm) {
      if (am < bm) best = i;
    } else if (a.secondsPerImage < b.secondsPerImage) {
      best = i;
    }
  }
  return best;
}

}  // namespace wheelhost
