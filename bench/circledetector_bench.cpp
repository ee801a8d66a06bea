// CircleDetector::detect on wheel scenes as the wheel localisation runs it: started a few pixels
// off the wheel's centre, radius range from 0 (or a filter size) to the distance from the start
// centre to the nearest border less 50, on one OpenCV thread.
//
// Counters: the found circle's centre and radius errors against the scene's truth (pixels).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <opencv2/core.hpp>
#include <utility>

#include "scenes/scenes.h"
#include "vistrel/circledetector.h"

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

}  // namespace

BENCHMARK_MAIN();
