// One whole analysis call (CAlgorithmFluorescence::IImageAnalysis) on wheel shots of the two
// cameras, 1280 x 1024 and 2448 x 2048, with a catalogue of three models whose matchers compare
// templates for real (the host's rotation-invariant TemplateMatcher), on one OpenCV thread.
//
// BM_AnalysisCall times the call as the host makes it. BM_AnalysisStages runs the same steps
// by calling the analysis' internal functions in sequence and reports, per call, the time of
// each stage in ms and its share of their sum in percent:
//   copy      fetching the delivered image and copying it
//   coarse    shrinking, sharpening and the circle and ellipse detector (start centre)
//   refine    the guided circle detector around the start centre, and the cut-out
//   identify  preparing the query (halving a large cut-out, deep copy) and model
//             identification: three template matches and the look-alike circle count
//   pixmaps   the source and cut-out pixmaps of the result record
//
// Run with the median over repetitions, for instance:
//   analysis_bench --benchmark_repetitions=7 --benchmark_report_aggregates_only=true
// (each construction of the circle and ellipse detector writes a line to standard output;
// filter it with grep -v "zvk: here!").
#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <utility>
#include <vector>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "algorithmfluorescence.h"
#include "benchhost.h"
#include "fluorescenceresult.h"
#include "modelidentification.h"
#include "objects/imageobject.h"
#include "vistrel/qtcvutils.h"
#include "wheellocalisation.h"
#include "wheelshots/wheelshots.h"

namespace fluorescence {
namespace {

using benchhost::kD2h;
using benchhost::kFilterSize;

const wheelshots::Shot& shot(int width) {
  static std::map<int, wheelshots::Shot> shots;
  auto it = shots.find(width);
  if (it != shots.end()) return it->second;
  const bool big = width > 2000;
  scenes::WheelLayout look = benchhost::design(0);
  look.size = big ? cv::Size(2448, 2048) : cv::Size(1280, 1024);
  look.centre = big ? cv::Point2d(1300.5, 1000.5) : cv::Point2d(600.5, 520.5);
  look.radius = big ? 760.0 : 380.0;
  look.angleDeg = 23.0;
  look.seed = 5;
  return shots.emplace(width, wheelshots::shotOf(look)).first->second;
}

// What the process needs before the first call, done once.
void prepareProcess() {
  static const bool prepared = [] {
#if defined(__GLIBC__)
    // A call allocates and frees images of several MB (copies, pixmaps). By default glibc
    // maps each afresh and hands it back to the system on free, and on a virtual machine the
    // page faults of touching new memory then cost more than the work and vary from run to
    // run. Keeping freed memory in the process, as a long-running host's heap does, measures
    // the analysis instead; set ANALYSIS_BENCH_FRESH_MEMORY=1 to measure glibc's defaults
    // (throughput_bench measures them always).
    if (qEnvironmentVariableIsEmpty("ANALYSIS_BENCH_FRESH_MEMORY")) {
      mallopt(M_MMAP_THRESHOLD, 256 << 20);
      mallopt(M_TRIM_THRESHOLD, 1024 << 20);
    }
#endif
    benchhost::prepareQt("analysis_bench");
    return true;
  }();
  (void)prepared;
}

void BM_AnalysisCall(benchmark::State& state) {
  prepareProcess();
  cv::setNumThreads(1);
  const wheelshots::Shot& s = shot(static_cast<int>(state.range(0)));
  wheelhost::ImageObject image(s.image);
  image.setParameters(benchhost::parameters().map());
  CAlgorithmFluorescence algorithm;
  for (auto _ : state) {
    benchmark::DoNotOptimize(algorithm.IImageAnalysis(&image, nullptr, nullptr));
  }
  const FluorescenceResult* record = image.result();
  if (record == nullptr || record->model != "WHEEL-5") {
    state.SkipWithError("the wheel was not found or not named WHEEL-5");
    return;
  }
  // The radius found, for a glance at the accuracy: diameter = d2h x 2 x radius (halved
  // for cut-outs of 900 px or more).
  state.counters["radius_px"] = record->diameter / (2.0 * kD2h);
  state.counters["score"] = record->score;
}

void BM_AnalysisStages(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  prepareProcess();
  cv::setNumThreads(1);
  const wheelshots::Shot& s = shot(static_cast<int>(state.range(0)));
  wheelhost::ImageObject image(s.image);
  CircleParams params;
  params.polarity = 1;
  params.minSize = kFilterSize;
  enum { kCopy, kCoarse, kRefine, kIdentify, kPixmaps, kStages };
  double seconds[kStages] = {};
  QString model;

  for (auto _ : state) {
    Clock::time_point t[kStages + 1];
    t[0] = Clock::now();
    const cv::Mat input = CAlgorithmFluorescence::fetchImage(&image).clone();
    t[1] = Clock::now();
    cv::Point2f centre = coarseWheelCentre(input, false, kFilterSize, true, false);
    t[2] = Clock::now();
    double radius = 0.0;
    cv::Mat working = refineWheel(input, cv::Mat(), centre, radius, false, params);
    t[3] = Clock::now();
    if (working.cols >= 900 || working.rows >= 900) {
      cv::Mat half;
      cv::resize(working, half, cv::Size(working.cols / 2, working.rows / 2), 0, 0,
                 cv::INTER_LINEAR);
      working = half;
      radius /= 2;
    }
    ModelQuery query;
    query.image = working.clone();
    query.diameter = static_cast<int>(kD2h * radius * 2.0);
    query.useDiameter = false;
    query.useThickness = false;
    query.names = *benchhost::catalogueNames();
    std::vector<double> scores(static_cast<size_t>(benchhost::catalogueModels()->size()), 0.0);
    model = identifyModel(benchhost::catalogueModels(), query, scores.data(),
                          static_cast<int>(scores.size()));
    t[4] = Clock::now();
    const QPixmap source = zq::QtCVUtils::cvMatToQPixmap(input, false);
    const QPixmap cut = zq::QtCVUtils::cvMatToQPixmap(working, false);
    benchmark::DoNotOptimize(source.cacheKey() + cut.cacheKey());
    t[5] = Clock::now();
    for (int i = 0; i < kStages; ++i) {
      seconds[i] += std::chrono::duration<double>(t[i + 1] - t[i]).count();
    }
  }
  if (model != "WHEEL-5") {
    state.SkipWithError("the wheel was not named WHEEL-5");
    return;
  }
  const char* names[kStages] = {"copy", "coarse", "refine", "identify", "pixmaps"};
  double total = 0.0;
  for (double v : seconds) total += v;
  const double calls = static_cast<double>(state.iterations());
  for (int i = 0; i < kStages; ++i) {
    state.counters[std::string(names[i]) + "_ms"] = 1e3 * seconds[i] / calls;
    state.counters[std::string(names[i]) + "_%"] = 100.0 * seconds[i] / total;
  }
}

BENCHMARK(BM_AnalysisCall)->Arg(1280)->Arg(2448)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnalysisStages)->Arg(1280)->Arg(2448)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace fluorescence

BENCHMARK_MAIN();
