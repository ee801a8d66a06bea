// Whole-detector timings on rendered scenes: a wheel (rim, spokes, bolt holes, noise) and a
// cluttered natural-looking scene, at the plug-in's working size and at full camera size.
// One thread, as the plug-in runs it.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>

#include "circleellipsedetector.h"
#include "quietstdout.h"
#include "scenes/scenes.h"

namespace {

cv::Mat wheel(cv::Size size) {
  scenes::WheelLayout shape;
  shape.size = size;
  shape.centre = {size.width * 0.51, size.height * 0.49};
  shape.radius = std::min(size.width, size.height) * 0.43;
  shape.noiseSigma = 5.0;
  return scenes::renderWheel(shape);
}

void run(benchmark::State& state, const cv::Mat& image) {
  cv::setNumThreads(1);
  QuietStdout quiet;
  int circles = 0, ellipses = 0;
  for (auto _ : state) {
    ced::CircleEllipseDetector d(image);
    circles = d.circleCount();
    ellipses = d.ellipseCount();
    benchmark::DoNotOptimize(circles);
  }
  state.counters["circles"] = circles;
  state.counters["ellipses"] = ellipses;
}

void BM_Wheel640x480(benchmark::State& state) {
  static const cv::Mat image = wheel({640, 480});
  run(state, image);
}
void BM_Wheel1224x1024(benchmark::State& state) {
  static const cv::Mat image = wheel({1224, 1024});
  run(state, image);
}
void BM_Clutter640x480(benchmark::State& state) {
  static const cv::Mat image = scenes::renderClutter({640, 480}, 2);
  run(state, image);
}
void BM_Clutter1224x1024(benchmark::State& state) {
  static const cv::Mat image = scenes::renderClutter({1224, 1024}, 2);
  run(state, image);
}

BENCHMARK(BM_Wheel640x480)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Wheel1224x1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Clutter640x480)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Clutter1224x1024)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
