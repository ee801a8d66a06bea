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

using fluorescence::AnalysisParameters;
using fluorescence::localiseWheel;
using fluorescence::localiseWheelWithBackground;
using fluorescence::readParameters;

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

}  // namespace wheelhost
