// Edge tracing alone (EdgeDrawing) and with the a-contrario validation (ValidatedEdgeDrawing)
// on rendered scenes: a wheel with noise and a natural-looking textured scene, at the
// plug-in's working size (640 x 480) and at full camera size (1224 x 1024). One thread, as
// the plug-in runs it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <opencv2/core.hpp>

#include "edgedrawing.h"
#include "scenes/scenes.h"
#include "validatededgedrawing.h"

namespace {

cv::Mat wheel(cv::Size size) {
  // Size, centre and radius; the renderer's defaults for the rest (blur 1, noise 5).
  return scenes::renderWheel(
      {size, {size.width * 0.51, size.height * 0.49}, std::min(size.width, size.height) * 0.43});
}

const cv::Mat& scene(int which) {
  static const cv::Mat scenes[] = {wheel({640, 480}), wheel({1224, 1024}),
                                   scenes::renderClutter({640, 480}, 1),
                                   scenes::renderClutter({1224, 1024}, 1)};
  return scenes[which];
}

template <class Detector>
void run(benchmark::State& state) {
  cv::setNumThreads(1);
  const cv::Mat& image = scene(static_cast<int>(state.range(0)));
  int segments = 0;
  long pixels = 0;
  for (auto _ : state) {
    Detector d(image);
    segments = d.segmentCount();
    benchmark::DoNotOptimize(segments);
  }
  const Detector d(image);
  for (const auto& s : d.segments()) pixels += static_cast<long>(s.size());
  state.counters["segments"] = segments;
  state.counters["pixels"] = static_cast<double>(pixels);
}

void sceneArgs(benchmark::internal::Benchmark* b) {
  b->ArgName("scene")->Unit(benchmark::kMillisecond);
  // 0: wheel 640x480, 1: wheel 1224x1024, 2: clutter 640x480, 3: clutter 1224x1024.
  for (int i = 0; i < 4; ++i) b->Arg(i);
}

void BM_EdgeDrawing(benchmark::State& state) { run<ced::EdgeDrawing>(state); }
void BM_ValidatedEdgeDrawing(benchmark::State& state) { run<ced::ValidatedEdgeDrawing>(state); }

BENCHMARK(BM_EdgeDrawing)->Apply(sceneArgs);
BENCHMARK(BM_ValidatedEdgeDrawing)->Apply(sceneArgs);

}  // namespace

BENCHMARK_MAIN();
