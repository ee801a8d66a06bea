#include "background.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <opencv2/imgcodecs.hpp>

#include "objects/configobject.h"
#include "objects/imageobject.h"

namespace fluorescence {
namespace {

using wheelhost::ConfigObject;
using wheelhost::ImageObject;

// An image whose every pixel differs from its mirror image: (r, c) = 40 * r + 3 * c + 1.
cv::Mat asymmetric(int rows, int cols) {
  cv::Mat m(rows, cols, CV_8UC1);
  m.forEach<uchar>(
      [](uchar& v, const int* p) { v = static_cast<uchar>(40 * p[0] + 3 * p[1] + 1); });
  return m;
}

bool sameImage(const cv::Mat& a, const cv::Mat& b) {
  return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0.0;
}

// Two scratch folders: the process's current directory (for ".\user\background.png") and the
// host's configured directory; the current directory is restored afterwards.
class BackgroundFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(work_.isValid() && configured_.isValid());
    previous_ = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(work_.path()));
    BackgroundCache::instance().reset();
  }
  void TearDown() override {
    QDir::setCurrent(previous_);
    BackgroundCache::instance().reset();
  }

  static void write(const QTemporaryDir& folder, const char* name, const cv::Mat& image) {
    ASSERT_TRUE(QDir(folder.path()).mkpath("user"));
    ASSERT_TRUE(cv::imwrite((folder.path() + "/user/" + name).toStdString(), image));
  }

  // The configured directory the host's way, with backslashes; counts how often it is asked.
  QString askDirectory() {
    ++asked_;
    return QString(configured_.path()).replace(QLatin1Char('/'), QLatin1Char('\\'));
  }
  cv::Mat get(BackgroundCache& cache, bool reload) {
    return cache.get([this] { return askDirectory(); }, reload);
  }

  QTemporaryDir work_;
  QTemporaryDir configured_;
  QString previous_;
  int asked_ = 0;
};

TEST_F(BackgroundFiles, LocalFileWinsAndTheDirectoryIsAskedOnlyOnReload) {
  const cv::Mat local = asymmetric(6, 5), configured = local + 7;
  write(work_, "background.png", local);
  write(configured_, "background.png", configured);

  BackgroundCache cache;
  const cv::Mat first = get(cache, false);
  EXPECT_TRUE(sameImage(first, local));
  const cv::Mat again = get(cache, false);
  EXPECT_EQ(again.data, first.data);  // the cache itself, not a copy
  EXPECT_EQ(asked_, 0);

  EXPECT_TRUE(sameImage(get(cache, true), configured));
  EXPECT_EQ(asked_, 1);
  EXPECT_TRUE(sameImage(get(cache, false), configured));
  EXPECT_EQ(asked_, 1);
}

TEST_F(BackgroundFiles, WithoutAnyFileEveryCallTriesAgainThenTheMirroredFileCounts) {
  BackgroundCache cache;
  EXPECT_TRUE(get(cache, false).empty());
  EXPECT_TRUE(get(cache, true).empty());
  EXPECT_TRUE(get(cache, false).empty());
  EXPECT_EQ(asked_, 3);

  // A file that appears later is found by the next call; the mirrored one comes back mirrored
  // left to right.
  const cv::Mat stored = asymmetric(5, 5);
  write(configured_, "background_r.png", stored);
  cv::Mat expected;
  cv::flip(stored, expected, 1);
  EXPECT_TRUE(sameImage(get(cache, false), expected));
  EXPECT_EQ(asked_, 4);

  // A reload without "background.png" falls back to the mirrored file, read again.
  write(configured_, "background_r.png", stored + 3);
  cv::flip(stored + 3, expected, 1);
  EXPECT_TRUE(sameImage(get(cache, true), expected));
  EXPECT_EQ(asked_, 5);

  // Nothing left below the configured directory: the reload empties the cache, and the next
  // call starts over from the current directory. A reset also forgets a requested reload.
  QFile::remove(configured_.path() + "/user/background_r.png");
  const cv::Mat local = asymmetric(5, 5) + 9;
  write(work_, "background.png", local);
  EXPECT_TRUE(get(cache, true).empty());
  EXPECT_TRUE(sameImage(get(cache, false), local));
  cache.setReloadRequested(true);
  cache.reset();
  EXPECT_FALSE(cache.reloadRequested());
}

TEST(BackgroundPaths, ConfiguredDirectoryIsTheFirstFilepathValueOrEmpty) {
  ImageObject image(cv::Mat(1, 1, CV_8UC1, cv::Scalar(0)));
  EXPECT_EQ(configuredDirectory(&image), "");  // no configuration object
  ConfigObject none;
  image.setConfig(&none);
  EXPECT_EQ(configuredDirectory(&image), "");
  ConfigObject two({"C:\\first", "C:\\second"});
  image.setConfig(&two);
  EXPECT_EQ(configuredDirectory(&image), "C:\\first");
  EXPECT_EQ(configuredDirectory(nullptr), "");
}

TEST(SubtractBackground, SaturatesAtZeroAndScalesABackgroundOfAnotherSizeFirst) {
  const cv::Mat source = (cv::Mat_<uchar>(1, 4) << 40, 200, 60, 255);
  const cv::Mat background = (cv::Mat_<uchar>(1, 4) << 60, 60, 60, 0);
  const cv::Mat difference = subtractBackground(source, background);
  EXPECT_TRUE(sameImage(difference, (cv::Mat_<uchar>(1, 4) << 0, 140, 0, 255)));
  EXPECT_NE(difference.data, source.data);

  // A background of another size is scaled first. 100 x 100: left half 0, right half 100.
  // Bilinear scaling to 200 x 200 keeps both halves flat away from the seam.
  cv::Mat half(100, 100, CV_8UC1, cv::Scalar(0));
  half.colRange(50, 100).setTo(100);
  const cv::Mat scaled = subtractBackground(cv::Mat(200, 200, CV_8UC1, cv::Scalar(150)), half);
  ASSERT_EQ(scaled.size(), cv::Size(200, 200));
  EXPECT_EQ(cv::countNonZero(scaled.colRange(0, 98) != 150), 0);
  EXPECT_EQ(cv::countNonZero(scaled.colRange(102, 200) != 50), 0);
  EXPECT_EQ(half.size(), cv::Size(100, 100));  // the caller's background is untouched
}

}  // namespace
}  // namespace fluorescence
