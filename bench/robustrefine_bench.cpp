// The cost of "RobustRefine": one localisation (coarse stage, refinement, cut-out) with the key
// off and on, on a clean wheel shot and on hard scenes of both cameras, on one OpenCV thread.
// The ratio of the two times per scene is the key's cost per call; BM_Reference (a Gaussian
// blur of sigma 3 on a 1280 x 1024 image) anchors the absolute times on this machine.
//
// Run pinned, with the median over repetitions:
//   taskset -c 0 robustrefine_bench --benchmark_repetitions=7
//       --benchmark_report_aggregates_only=true | grep -v "zvk: here!"
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "scenes/hardscenes.h"
#include "wheellocalisation.h"
#include "wheelshots/wheelshots.h"

namespace fluorescence {
namespace {

struct Case {
  cv::Mat image;
  CircleParams params;
};

// 0: a clean bright wheel, 1280 x 1024; 1, 2: hard scenes of 1280 x 1024 (the detector
// drifts on the first) and 2448 x 2048.
const Case& scene(int index) {
  static const Case cases[] = {
      [] {
        Case c{wheelshots::brightWheel({1280, 1024}, {640.3, 511.7}, 380.0).image, {}};
        c.params.polarity = 1;
        c.params.minSize = 200;
        return c;
      }(),
      [] {
        const scenes::HardScene s = scenes::renderHardScene(26);
        Case c{s.image, {}};
        c.params.polarity = s.darkRim ? 0 : 1;
        c.params.minSize = 100;
        return c;
      }(),
      [] {
        const scenes::HardScene s = scenes::renderHardScene(7);
        Case c{s.image, {}};
        c.params.polarity = s.darkRim ? 0 : 1;
        c.params.minSize = 100;
        return c;
      }(),
  };
  return cases[index];
}

void BM_Localise(benchmark::State& state) {
  cv::setNumThreads(1);
  const Case& c = scene(static_cast<int>(state.range(0)));
  CircleParams params = c.params;
  params.robust = state.range(1) != 0;
  for (auto _ : state) {
    cv::Point2f centre;
    double radius = 0;
    benchmark::DoNotOptimize(localiseWheel(c.image, false, params.minSize, params, centre, radius));
  }
}
BENCHMARK(BM_Localise)
    ->ArgNames({"scene", "robust"})
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

void BM_Reference(benchmark::State& state) {
  cv::setNumThreads(1);
  const cv::Mat image = scene(0).image;
  cv::Mat out;
  for (auto _ : state) {
    cv::GaussianBlur(image, out, cv::Size(0, 0), 3.0);
    benchmark::DoNotOptimize(out.data);
  }
}
BENCHMARK(BM_Reference)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace fluorescence

BENCHMARK_MAIN();
