// Several threads at once on what a host or a library user may share between threads: analysis
// objects with their shared background cache, and shared named detectors. (The registry and the
// assertion handler have threaded tests of their own.) Each test checks what must hold whatever
// the interleaving; ThreadSanitizer (scripts/tsan) checks that no interleaving races.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <atomic>
#include <memory>
#include <opencv2/imgcodecs.hpp>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "analysiskeys.h"
#include "ialgorithm.h"
#include "objects/configobject.h"
#include "objects/imageobject.h"
#include "vistrel/circledetector.h"
#include "wheelshots/wheelshots.h"

namespace {

constexpr int kThreads = 8;

// Runs `body(t)` on kThreads threads at once and waits for all.
template <class Body>
void onThreads(Body body) {
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back([&body, t] { body(t); });
  for (std::thread& thread : threads) thread.join();
}

// What one analysis call delivered: status, result keys, diameter (0 without a record).
using Delivered = std::tuple<int, QStringList, double>;

Delivered analyse(IAlgorithm& algorithm, const cv::Mat& pixels, wheelhost::ConfigObject& config) {
  wheelhost::ImageObject image(pixels);
  image.setParameters(QVariantMap{
      {"d2h", 0.5}, {"filterSize", 40}, {"Circle_Polarity", 1}, {"useBackground", true}});
  image.setConfig(&config);
  const int status = algorithm.IImageAnalysis(&image, nullptr, nullptr);
  return {status, image.results().keys(), image.result() ? image.result()->diameter : 0.0};
}

// Eight objects on eight threads share the background cache and its reload flag: half of the
// calls bring an image of the background's size, half one of another size, which sets the
// flag so that another call reloads the background while the rest use it. Every call gives
// the answer it gives on one thread.
TEST(Concurrency, EightObjectsShareTheBackgroundCacheAndItsReload) {
  cv::setNumThreads(0);  // OpenCV's own pool is not what is tested here
  const wheelshots::RingLightShot scene =
      wheelshots::ringLightShot({320, 256}, {160.0, 128.0}, 60.0);
  const cv::Mat other = wheelshots::brightWheel({256, 200}, {128.0, 100.0}, 70.0, 4).image;
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkpath("user"));
  for (const char* name : {"/user/background.png", "/user/background_r.png"})
    ASSERT_TRUE(cv::imwrite((dir.path() + name).toStdString(), scene.emptyScene));
  const QString hostDir = QString(dir.path()).replace(QLatin1Char('/'), QLatin1Char('\\'));
  // One object's calls: of the background's size when `t + call` is even, else of another.
  const auto calls = [&](int t) {
    IAlgorithm* own = Algorithm_Create(nullptr);
    wheelhost::ConfigObject config({hostDir});
    std::vector<Delivered> got;
    for (int call = 0; call < 3; ++call)
      got.push_back(analyse(*own, (t + call) % 2 == 0 ? scene.shot.image : other, config));
    Algorithm_Delete(own);
    return got;
  };

  // On one thread: the first call loads the background, then flags it for its size, so that
  // the second reloads it and finds the wheel.
  const std::vector<Delivered> odd = calls(1), even{odd[1], odd[0], odd[1]};
  ASSERT_EQ(std::get<0>(odd[1]), 1) << std::get<1>(odd[1]).join(",").toStdString();
  ASSERT_EQ(odd[0], Delivered(0, {algorithmkeys::kError, algorithmkeys::kRatioVal}, 0.0));

  std::vector<std::vector<Delivered>> got(kThreads);
  onThreads([&](int t) { got[t] = calls(t); });
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(got[t], t % 2 == 0 ? even : odd) << t;
}

// Shared named detectors are used on some threads while others replace and release them under
// the same name: a holder's instance stays whole and gives the one-thread score.
TEST(Concurrency, SharedNamedInstancesAreReplacedWhileUsed) {
  cv::setNumThreads(0);
  const wheelshots::Shot shot = wheelshots::brightWheel({160, 128}, {80.0, 64.0}, 45.0, 6);
  auto configured = [] {
    auto d = std::make_shared<vistrel::CircleDetector>();
    d->setRadiusRange(30, 60);
    d->setPolarity(vistrel::Polarity::White2Black);
    return d;
  };
  cv::Vec3f expectedCircle(0, 0, 0);
  const float expected = configured()->detect(shot.image, {80, 64}, expectedCircle);
  ASSERT_NE(expected, 0.f);
  ASSERT_TRUE(vistrel::CircleDetector::setInstance("shared", configured()));

  std::atomic<int> mismatches{0};
  onThreads([&](int t) {
    for (int i = 0; i < 12; ++i) {
      if (t % 4 == 0) {
        vistrel::CircleDetector::setInstance("shared", configured());
      } else if (t % 4 == 1) {
        vistrel::CircleDetector::releaseInstance("shared");
      } else {
        // getInstance makes a fresh default instance when the name was just released.
        const std::shared_ptr<vistrel::CircleDetector> d =
            vistrel::CircleDetector::getInstance("shared");
        if (d == nullptr || d->maxRadius() == 0) continue;
        cv::Vec3f circle(0, 0, 0);
        if (d->detect(shot.image, {80, 64}, circle) != expected || circle != expectedCircle) {
          ++mismatches;
        }
      }
    }
  });
  EXPECT_EQ(mismatches, 0);
  vistrel::CircleDetector::releaseInstance("shared");
}

}  // namespace
