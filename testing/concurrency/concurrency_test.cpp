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
#include <vector>

#include "analysiskeys.h"
#include "ialgorithm.h"
#include "objects/configobject.h"
#include "objects/imageobject.h"
#include "objects/parameterbuilder.h"
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

// What one analysis call delivered.
struct Delivered {
  int status = -1;
  QStringList keys;
  double diameter = 0;
};

Delivered analyse(IAlgorithm& algorithm, const cv::Mat& pixels, bool useBackground,
                  wheelhost::ConfigObject& config) {
  wheelhost::ImageObject image(pixels);
  image.setParameters(wheelhost::ParameterBuilder()
                          .d2h(0.5)
                          .filterSize(40)
                          .circlePolarity(1)
                          .useBackground(useBackground)
                          .map());
  image.setConfig(&config);
  Delivered d;
  d.status = algorithm.IImageAnalysis(&image, nullptr, nullptr);
  d.keys = image.results().keys();
  if (image.result() != nullptr) d.diameter = image.result()->diameter;
  return d;
}

// Eight objects on eight threads share the background cache and its reload flag: half of the
// calls bring an image of the background's size, half one of another size, which sets the
// flag so that another call reloads the background while the rest use it. Every call gives
// the answer it gives on one thread.
TEST(Concurrency, EightObjectsShareTheBackgroundCacheAndItsReload) {
  cv::setNumThreads(0);  // OpenCV's own pool is not what is tested here
  const cv::Size size(320, 256);
  const wheelshots::RingLightShot scene = wheelshots::ringLightShot(size, {160.0, 128.0}, 60.0);
  const cv::Mat other = wheelshots::brightWheel({256, 200}, {128.0, 100.0}, 70.0, 4).image;
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkpath("user"));
  const cv::Mat& background = scene.emptyScene;
  ASSERT_TRUE(cv::imwrite((dir.path() + "/user/background.png").toStdString(), background));
  ASSERT_TRUE(cv::imwrite((dir.path() + "/user/background_r.png").toStdString(), background));
  const QString hostDir = QString(dir.path()).replace(QLatin1Char('/'), QLatin1Char('\\'));

  Delivered match, mismatch;
  {
    IAlgorithm* one = Algorithm_Create(nullptr);
    wheelhost::ConfigObject config({hostDir});
    mismatch = analyse(*one, other, true, config);  // loads the background, then flags it
    match = analyse(*one, scene.shot.image, true, config);
    Algorithm_Delete(one);
  }
  ASSERT_EQ(match.status, 1) << match.keys.join(",").toStdString();
  ASSERT_EQ(mismatch.status, 0);
  ASSERT_EQ(mismatch.keys, QStringList({algorithmkeys::kError, algorithmkeys::kRatioVal}));

  std::vector<std::vector<Delivered>> got(kThreads);
  onThreads([&](int t) {
    IAlgorithm* own = Algorithm_Create(nullptr);
    wheelhost::ConfigObject config({hostDir});
    for (int call = 0; call < 3; ++call) {
      const bool same = (t + call) % 2 == 0;
      got[t].push_back(analyse(*own, same ? scene.shot.image : other, true, config));
    }
    Algorithm_Delete(own);
  });
  for (int t = 0; t < kThreads; ++t) {
    for (int call = 0; call < 3; ++call) {
      const Delivered& want = (t + call) % 2 == 0 ? match : mismatch;
      EXPECT_EQ(got[t][call].status, want.status) << t << " " << call;
      EXPECT_EQ(got[t][call].keys, want.keys) << t << " " << call;
      EXPECT_EQ(got[t][call].diameter, want.diameter) << t << " " << call;
    }
  }
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
