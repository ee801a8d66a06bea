// Reading image files: common PNG files decoded with libpng directly (vistrel/src/codecs)
// against cv::imdecode on the same bytes, interleaved call by call in one process.
//
//   BM_DecodePng/kind   kind 0: a 2448 x 2048 grey cluttered wheel shot; kind 1: the same shot
//                       at 1280 x 1024 in colour (BGR). Written by cv::imencode with its
//                       default settings. ms = our decoding; x_opencv = ours / cv::imdecode.
//
// One thread: run pinned to one core, medians of repetitions, for instance
//   taskset -c 0 imagefile_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only
#include <benchmark/benchmark.h>

#include <ctime>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "commonpng.h"
#include "scenes/scenes.h"
#include "wheelshots/wheelshots.h"

namespace {

double threadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

std::vector<uchar> pngOf(int kind) {
  const cv::Size size = kind == 0 ? cv::Size(2448, 2048) : cv::Size(1280, 1024);
  const wheelshots::Shot shot = wheelshots::clutteredWheel(
      size, cv::Point2d(size.width * 0.5, size.height * 0.5), size.height * 0.3, scenes::Seed(3));
  cv::Mat image = shot.image;
  if (kind == 1) {
    // A colour frame: the grey shot tinted differently in each channel.
    cv::Mat channels[3] = {image, image * 0.8, 255 - image};
    cv::merge(channels, 3, image);
  }
  std::vector<uchar> bytes;
  cv::imencode(".png", image, bytes);
  return bytes;
}

void BM_DecodePng(benchmark::State& state) {
  cv::setNumThreads(1);
  const std::vector<uchar> png = pngOf(static_cast<int>(state.range(0)));
  double ours = 0.0, theirs = 0.0;
  for (auto _ : state) {
    cv::Mat a, b;
    double t0 = threadSeconds();
    const auto outcome =
        vistrel::codecs::decodeCommonPng(png.data(), png.size(), cv::IMREAD_UNCHANGED, a);
    const double t = threadSeconds() - t0;
    t0 = threadSeconds();
    b = cv::imdecode(png, cv::IMREAD_UNCHANGED);
    theirs += threadSeconds() - t0;
    ours += t;
    state.SetIterationTime(t);
    if (outcome != vistrel::codecs::PngOutcome::Decoded || a.size() != b.size()) {
      state.SkipWithError("not decoded as OpenCV decodes it");
      break;
    }
  }
  state.counters["ms"] = 1e3 * ours / static_cast<double>(state.iterations());
  state.counters["x_opencv"] = ours / theirs;
}
BENCHMARK(BM_DecodePng)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
