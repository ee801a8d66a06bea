// What the analysis costs against work of a known price, measured in the same process and
// interleaved call by call, so that the load of a shared machine falls on both alike:
//
//   BM_CallSequence/W/Q whole IImageAnalysis calls on a sequence of four different cluttered
//                       wheel shots (W x H) through one analysis object, with glibc's default
//                       allocator settings (large blocks go back to the system on free), with
//                       "CoarseQuarter" Q (0 or 1). ms_per_call; blurs = call / one sigma 3
//                       GaussianBlur of the half frame.
//   BM_HoughAlt/W       the same frames through GaussianBlur sigma 3 and cv::HoughCircles
//                       (HOUGH_GRADIENT_ALT, dp 1.5, param1 150, param2 0.6, the analysis' radius
//                       range); x_call = HoughCircles / our call on the same frame, x_quarter
//                       the same against the call with "CoarseQuarter".
//   BM_Detector/scene   the circle and ellipse detector on the 640 x 480 wheel (0) and clutter
//                       (1) scenes; blurs = detector / one sigma 3 blur of that image.
//   BM_CallSize/W       whole calls on cluttered shots from 640 x 480 to 2448 x 2048;
//                       ns_per_pixel and blurs of the half frame, to show how cost grows.
//
// Times are the thread's CPU time. One thread: run pinned to one core, medians of
// repetitions, for instance
//   taskset -c 0 throughput_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only
// (the "Time" column is the call, or the detector, alone).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <map>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "algorithmfluorescence.h"
#include "benchhost.h"
#include "fluorescenceresult.h"
#include "objects/imageobject.h"
#include "quietstdout.h"
#include "scenes/scenes.h"
#include "vistrel/ellipsedetector.h"
#include "wheelshots/wheelshots.h"

namespace {

// The thread's CPU time (user and system, so page faults count): unlike the wall clock, it
// leaves out the time other processes hold the core.
double threadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

template <class F>
double secondsOf(F&& work) {
  const double t0 = threadSeconds();
  work();
  return threadSeconds() - t0;
}

// The reference: one sigma 3 GaussianBlur of `image`, as the analysis' sharpening makes it.
double blurSeconds(const cv::Mat& image) {
  static cv::Mat blurred;
  return secondsOf([&] { cv::GaussianBlur(image, blurred, cv::Size(0, 0), 3.0); });
}

// Four different cluttered shots of one size: the wheel's place, size, turn and the clutter
// behind it change from shot to shot. The wheel stays 50 px or more inside the frame (the
// refinement searches radii up to the distance to the border less 50).
const std::vector<wheelshots::Shot>& sequence(cv::Size size, int count = 4) {
  static std::map<int, std::vector<wheelshots::Shot>> cache;
  std::vector<wheelshots::Shot>& shots = cache[size.width];
  for (int k = static_cast<int>(shots.size()); k < count; ++k) {
    const double h = size.height;
    const cv::Point2d centre(size.width * (0.48 + 0.015 * k), h * (0.51 - 0.01 * k));
    shots.push_back(
        wheelshots::clutteredWheel(size, centre, h * (0.30 + 0.015 * k), scenes::Seed(k + 1)));
  }
  return shots;
}

cv::Size frameOf(int width) {
  switch (width) {
    case 640:
      return {640, 480};
    case 1280:
      return {1280, 1024};
    case 1632:
      return {1632, 1224};
    default:
      return {2448, 2048};
  }
}

// Runs whole calls over `shots` in turn through one object; returns the call and reference
// seconds summed over the iterations.
class CallRunner {
 public:
  explicit CallRunner(bool quarter = false)
      : params_(benchhost::parameters().set("CoarseQuarter", quarter).map()) {
    benchhost::prepareQt("throughput_bench");
    cv::setNumThreads(1);
  }
  // One call on shot k; counts it as found when the wheel came out within 3 % of its radius.
  double call(const wheelshots::Shot& shot) {
    wheelhost::ImageObject image(shot.image);
    image.setParameters(params_);
    const double t = secondsOf([&] { algorithm_.IImageAnalysis(&image, nullptr, nullptr); });
    const FluorescenceResult* record = image.result();
    // The diameter is d2h x 2 x radius, of the halved cut-out when it is 900 px or more.
    if (record != nullptr) {
      const double radius = record->diameter / (2.0 * benchhost::kD2h);
      const double expected = shot.radius >= 450.0 ? shot.radius / 2.0 : shot.radius;
      if (std::abs(radius - expected) < 0.03 * expected) ++found_;
    }
    ++calls_;
    return t;
  }
  double foundShare() const { return calls_ > 0 ? static_cast<double>(found_) / calls_ : 0.0; }

 private:
  QVariantMap params_;
  CAlgorithmFluorescence algorithm_;
  int found_ = 0;
  int calls_ = 0;
};

void wholeCalls(benchmark::State& state, cv::Size size, bool quarter = false) {
  const std::vector<wheelshots::Shot>& shots = sequence(size);
  std::vector<cv::Mat> halves;
  for (const wheelshots::Shot& s : shots) {
    cv::Mat half;
    cv::resize(s.image, half, cv::Size(size.width / 2, size.height / 2));
    halves.push_back(half);
  }
  CallRunner runner(quarter);
  double callSum = 0.0, blurSum = 0.0;
  size_t k = 0;
  for (auto _ : state) {
    const double t = runner.call(shots[k]);
    blurSum += blurSeconds(halves[k]);
    callSum += t;
    state.SetIterationTime(t);
    k = (k + 1) % shots.size();
  }
  const double calls = static_cast<double>(state.iterations());
  state.counters["ms_per_call"] = 1e3 * callSum / calls;
  state.counters["blurs"] = callSum / blurSum;
  state.counters["ns_per_pixel"] = 1e9 * callSum / calls / (size.area());
  state.counters["found"] = runner.foundShare();
}

void BM_CallSequence(benchmark::State& state) {
  wholeCalls(state, frameOf(static_cast<int>(state.range(0))), state.range(1) != 0);
}

void BM_CallSize(benchmark::State& state) {
  wholeCalls(state, frameOf(static_cast<int>(state.range(0))));
}

void BM_HoughAlt(benchmark::State& state) {
  const cv::Size size = frameOf(static_cast<int>(state.range(0)));
  const std::vector<wheelshots::Shot>& shots = sequence(size);
  CallRunner runner, quarterRunner(true);
  // The radius range the analysis derives: the filter size's radius up to the distance from
  // the frame's centre to its nearest border less 50.
  const int minRadius = benchhost::kFilterSize / 2;
  const int maxRadius = std::min(size.width, size.height) / 2 - 50;
  double houghSum = 0.0, callSum = 0.0, quarterSum = 0.0;
  size_t k = 0;
  for (auto _ : state) {
    const cv::Mat& image = shots[k].image;
    std::vector<cv::Vec3f> circles;
    const double t = secondsOf([&] {
      cv::Mat blurred;
      cv::GaussianBlur(image, blurred, cv::Size(0, 0), 3.0);
      cv::HoughCircles(blurred, circles, cv::HOUGH_GRADIENT_ALT, 1.5, size.height / 4.0, 150.0, 0.6,
                       minRadius, maxRadius);
    });
    callSum += runner.call(shots[k]);
    quarterSum += quarterRunner.call(shots[k]);
    houghSum += t;
    state.SetIterationTime(t);
    k = (k + 1) % shots.size();
  }
  state.counters["x_call"] = houghSum / callSum;
  state.counters["x_quarter"] = houghSum / quarterSum;
}

const cv::Mat& detectorScene(int which) {
  static const cv::Mat wheel = [] {
    scenes::WheelLayout shape;
    shape.size = {640, 480};
    shape.centre = {640 * 0.51, 480 * 0.49};
    shape.radius = 480 * 0.43;
    return scenes::renderWheel(shape);
  }();
  static const cv::Mat clutter = scenes::renderClutter({640, 480}, 2);
  return which == 0 ? wheel : clutter;
}

void BM_Detector(benchmark::State& state) {
  cv::setNumThreads(1);
  const cv::Mat& image = detectorScene(static_cast<int>(state.range(0)));
  QuietStdout quiet;
  double detectorSum = 0.0, blurSum = 0.0;
  int circles = 0;
  for (auto _ : state) {
    const double t = secondsOf(
        [&] { circles = static_cast<int>(ced::detectCirclesAndEllipses(image).circles.size()); });
    blurSum += blurSeconds(image);
    detectorSum += t;
    state.SetIterationTime(t);
  }
  state.counters["blurs"] = detectorSum / blurSum;
  state.counters["circles"] = circles;
}

BENCHMARK(BM_CallSequence)
    ->ArgsProduct({{2448, 1280}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HoughAlt)
    ->Arg(2448)
    ->Arg(1280)
    ->UseManualTime()
    ->Iterations(8)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Detector)
    ->ArgName("scene")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CallSize)
    ->Arg(640)
    ->Arg(1280)
    ->Arg(1632)
    ->Arg(2448)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
