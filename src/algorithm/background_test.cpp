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
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) m.at<uchar>(r, c) = static_cast<uchar>(40 * r + 3 * c + 1);
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

  static void write(const QString& folder, const char* name, const cv::Mat& image) {
    ASSERT_TRUE(QDir(folder).mkpath("user"));
    ASSERT_TRUE(cv::imwrite((folder + "/user/" + name).toStdString(), image));
  }
  void writeLocal(const cv::Mat& image) { write(work_.path(), "background.png", image); }
  void writeConfigured(const char* name, const cv::Mat& image) {
    write(configured_.path(), name, image);
  }
  void removeConfigured(const char* name) { QFile::remove(configured_.path() + "/user/" + name); }

  // The configured directory written the host's way, with backslashes.
  QString hostDirectory() const {
    return QString(configured_.path()).replace(QLatin1Char('/'), QLatin1Char('\\'));
  }
  // A directory query that counts how often it is asked.
  BackgroundCache::DirectoryQuery countingQuery() {
    return [this] {
      ++asked_;
      return hostDirectory();
    };
  }

  QTemporaryDir work_;
  QTemporaryDir configured_;
  QString previous_;
  int asked_ = 0;
};

TEST_F(BackgroundFiles, LocalFileWinsAndTheDirectoryIsAskedOnlyOnReload) {
  const cv::Mat local = asymmetric(6, 5);
  const cv::Mat configured = asymmetric(6, 5) + 7;
  writeLocal(local);
  writeConfigured("background.png", configured);

  BackgroundCache cache;
  const cv::Mat first = cache.get(countingQuery(), false);
  EXPECT_TRUE(sameImage(first, local));
  const cv::Mat again = cache.get(countingQuery(), false);
  EXPECT_EQ(again.data, first.data);  // the cache itself, not a copy
  EXPECT_EQ(asked_, 0);

  EXPECT_TRUE(sameImage(cache.get(countingQuery(), true), configured));
  EXPECT_EQ(asked_, 1);
  EXPECT_TRUE(sameImage(cache.get(countingQuery(), false), configured));
  EXPECT_EQ(asked_, 1);
}

TEST_F(BackgroundFiles, WithoutAnyFileEveryCallTriesAgainThenTheMirroredFileCounts) {
  BackgroundCache cache;
  EXPECT_TRUE(cache.get(countingQuery(), false).empty());
  EXPECT_TRUE(cache.get(countingQuery(), true).empty());
  EXPECT_TRUE(cache.get(countingQuery(), false).empty());
  EXPECT_EQ(asked_, 3);

  // A file that appears later is found by the next call; the mirrored one comes back mirrored
  // left to right.
  const cv::Mat stored = asymmetric(5, 5);
  writeConfigured("background_r.png", stored);
  cv::Mat expected;
  cv::flip(stored, expected, 1);
  EXPECT_TRUE(sameImage(cache.get(countingQuery(), false), expected));
  EXPECT_EQ(asked_, 4);

  // A reload without "background.png" falls back to the mirrored file, read again.
  writeConfigured("background_r.png", stored + 3);
  cv::flip(stored + 3, expected, 1);
  EXPECT_TRUE(sameImage(cache.get(countingQuery(), true), expected));
  EXPECT_EQ(asked_, 5);

  // Nothing left below the configured directory: the reload empties the cache, and the next
  // call starts over from the current directory. A reset also forgets a requested reload.
  removeConfigured("background_r.png");
  const cv::Mat local = asymmetric(5, 5) + 9;
  writeLocal(local);
  EXPECT_TRUE(cache.get(countingQuery(), true).empty());
  EXPECT_TRUE(sameImage(cache.get(countingQuery(), false), local));
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

TEST(SubtractBackground, SaturatesAtZero) {
  const cv::Mat source = (cv::Mat_<uchar>(1, 4) << 40, 200, 60, 255);
  const cv::Mat background = (cv::Mat_<uchar>(1, 4) << 60, 60, 60, 0);
  const cv::Mat difference = subtractBackground(source, background);
  EXPECT_TRUE(sameImage(difference, (cv::Mat_<uchar>(1, 4) << 0, 140, 0, 255)));
  EXPECT_NE(difference.data, source.data);
}

TEST(SubtractBackground, ScalesABackgroundOfAnotherSizeFirst) {
  // 100 x 100: left half 0, right half 100. Bilinear scaling to 200 x 200 keeps both halves
  // flat away from the seam.
  cv::Mat background(100, 100, CV_8UC1, cv::Scalar(0));
  background.colRange(50, 100).setTo(100);
  const cv::Mat source(200, 200, CV_8UC1, cv::Scalar(150));
  const cv::Mat difference = subtractBackground(source, background);
  ASSERT_EQ(difference.size(), cv::Size(200, 200));
  EXPECT_EQ(difference.at<uchar>(10, 10), 150);
  EXPECT_EQ(difference.at<uchar>(190, 97), 150);
  EXPECT_EQ(difference.at<uchar>(5, 103), 50);
  EXPECT_EQ(difference.at<uchar>(199, 199), 50);
  EXPECT_EQ(background.size(), cv::Size(100, 100));  // the caller's background is untouched
}

}  // namespace
}  // namespace fluorescence
