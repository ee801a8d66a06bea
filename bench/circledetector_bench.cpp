// CircleDetector::detect on wheel scenes as the wheel localisation runs it: started a few pixels
// off the wheel's centre, radius range from 0 (or a filter size) to the distance from the start
// centre to the nearest border less 50, on one OpenCV thread.
//
// Counters: the found circle's centre and radius errors against the scene's truth (pixels).
//
// refineCluttered/W runs the detector as the analysis' refinement does, on four cluttered
// shots of width W in turn (start a few pixels off the wheel's centre, radii from 200 to the
// distance to the nearest border less 50, white-to-black, edge width 3). Counter blurs = the
// detector's thread CPU time / that of one sigma 3 GaussianBlur of the same shot.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <utility>
#include <vector>

#include "scenes/scenes.h"
#include "vistrel/circledetector.h"
#include "wheelshots/wheelshots.h"

namespace {

struct WheelScene {
  cv::Mat image;
  cv::Point2d centre;  // truth, pixel centres at integer coordinates
  double radius;
};

// A wheel filling most of the frame, centred a little off the image centre.
const WheelScene& wheel(int width, int height) {
  static std::map<std::pair<int, int>, WheelScene> cache;
  auto it = cache.find({width, height});
  if (it != cache.end()) return it->second;
  scenes::WheelLayout shape;
  shape.size = {width, height};
  shape.centre = {width * 0.5 + 11.3, height * 0.5 - 7.6};
  shape.radius = height * 0.39;
  WheelScene s{scenes::renderWheel(shape), shape.centre - cv::Point2d(0.5, 0.5), shape.radius};
  return cache.emplace(std::make_pair(width, height), std::move(s)).first->second;
}

void detectWheel(benchmark::State& state) {
  cv::setNumThreads(1);
  const WheelScene& s = wheel(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  const int minRadius = static_cast<int>(state.range(2));
  const cv::Point2f start(static_cast<float>(s.centre.x + 4.0),
                          static_cast<float>(s.centre.y - 3.0));
  const int toBorder = static_cast<int>(
      std::min({start.x, start.y, s.image.cols - start.x, s.image.rows - start.y}));
  vistrel::CircleDetector det;
  det.setMethod(vistrel::PeakCircle);
  det.setEdgeWidth(3);
  det.setPolarity(vistrel::Polarity::White2Black);  // the bright rim on the dark background
  det.setFindBy(vistrel::FindBy::Best);
  det.setRadiusRange(minRadius, std::abs(toBorder - 50));
  cv::Vec3f circle(0, 0, 0);
  for (auto _ : state) {
    circle = cv::Vec3f(0, 0, 0);
    benchmark::DoNotOptimize(det.detect(s.image, start, circle));
  }
  state.counters["centre_err"] = std::hypot(circle[0] - s.centre.x, circle[1] - s.centre.y);
  state.counters["radius_err"] = std::fabs(circle[2] - s.radius);
}

BENCHMARK(detectWheel)
    ->ArgNames({"width", "height", "minRadius"})
    ->Args({2448, 2048, 0})
    ->Args({2448, 2048, 200})
    ->Args({1224, 1024, 0})
    ->Args({1224, 1024, 100})
    ->Unit(benchmark::kMillisecond);

// The thread's CPU time: unlike the wall clock, it leaves out the time other processes hold
// the core.
double threadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

void refineCluttered(benchmark::State& state) {
  cv::setNumThreads(1);
  const cv::Size size = state.range(0) > 2000 ? cv::Size(2448, 2048) : cv::Size(1280, 1024);
  static std::map<int, std::vector<wheelshots::Shot>> cache;
  std::vector<wheelshots::Shot>& shots = cache[size.width];
  for (int k = static_cast<int>(shots.size()); k < 4; ++k) {
    const double h = size.height;
    const cv::Point2d centre(size.width * (0.48 + 0.015 * k), h * (0.51 - 0.01 * k));
    shots.push_back(
        wheelshots::clutteredWheel(size, centre, h * (0.30 + 0.015 * k), scenes::Seed(k + 1)));
  }
  vistrel::CircleDetector det;
  det.setMethod(vistrel::PeakCircle);
  det.setEdgeWidth(3);
  det.setPolarity(vistrel::Polarity::White2Black);
  det.setFindBy(vistrel::FindBy::Best);
  det.setAcceptThreshold(3);
  double detectSum = 0, blurSum = 0, radiusErr = 0;
  size_t k = 0;
  cv::Mat blurred;
  std::vector<float> profile;
  for (auto _ : state) {
    const wheelshots::Shot& s = shots[k++ % shots.size()];
    const cv::Point2f start(static_cast<float>(s.centre.x + 4.0),
                            static_cast<float>(s.centre.y - 3.0));
    const int toBorder = static_cast<int>(
        std::min({start.x, start.y, s.image.cols - start.x, s.image.rows - start.y}));
    det.setRadiusRange(200, std::abs(toBorder - 50));
    cv::Vec3f circle(0, 0, 0);
    const double t0 = threadSeconds();
    benchmark::DoNotOptimize(det.detect(s.image, start, circle, &profile));
    const double t1 = threadSeconds();
    cv::GaussianBlur(s.image, blurred, cv::Size(0, 0), 3.0);
    const double t2 = threadSeconds();
    detectSum += t1 - t0;
    blurSum += t2 - t1;
    radiusErr = std::max(radiusErr, static_cast<double>(std::fabs(circle[2] - s.radius)));
  }
  const double calls = static_cast<double>(state.iterations());
  state.counters["ms_per_call"] = 1e3 * detectSum / calls;
  state.counters["blurs"] = detectSum / blurSum;
  state.counters["max_radius_err"] = radiusErr;
}

BENCHMARK(refineCluttered)->Arg(2448)->Arg(1280)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
