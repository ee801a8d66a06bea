#include "runner/imageio.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <opencv2/imgcodecs.hpp>

#include "runner/testing/qtprinters.h"
#include "runner/testing/textfile.h"

namespace {

using wheelhost::naturalLess;

TEST(ImageIo, NaturalOrderOfFileNames) {
  // Case and leading zeros do not matter ("img02" sits where "img2" would).
  QStringList names = {"img10.png", "IMG3.png",  "img1.png", "b.png",
                       "A.png",     "img02.png", "img2b.png"};
  std::sort(names.begin(), names.end(), naturalLess);
  EXPECT_EQ(names, QStringList({"A.png", "b.png", "img1.png", "img02.png", "img2b.png", "IMG3.png",
                                "img10.png"}));
  EXPECT_FALSE(naturalLess("x", "x"));
  EXPECT_TRUE(naturalLess("x", "x1"));
}

class ImageFiles : public ::testing::Test {
 protected:
  QString path(const QString& name) const { return dir_.filePath(name); }
  void writeBytes(const QString& name, const QByteArray& bytes) {
    writeTextFile(path(name), bytes);
  }
  QTemporaryDir dir_;
};

TEST_F(ImageFiles, ReadsEveryDepthAndLayoutAsEightBit) {
  ASSERT_TRUE(
      cv::imwrite(path("g16.png").toStdString(), cv::Mat(4, 5, CV_16UC1, cv::Scalar(0x1234))));
  ASSERT_TRUE(cv::imwrite(path("bgra.png").toStdString(),
                          cv::Mat(4, 5, CV_8UC4, cv::Scalar(10, 20, 30, 40))));
  ASSERT_TRUE(
      cv::imwrite(path("bgr.bmp").toStdString(), cv::Mat(3, 7, CV_8UC3, cv::Scalar(11, 22, 33))));
  ASSERT_TRUE(cv::imwrite(path("grey.tif").toStdString(), cv::Mat(3, 3, CV_8UC1, cv::Scalar(77))));
  QString problem;
  const cv::Mat g16 = wheelhost::readImageFile(path("g16.png"), &problem);
  ASSERT_EQ(g16.type(), CV_8UC1);
  EXPECT_EQ(g16.at<uchar>(2, 3), 0x12);  // 0x1234 / 256, truncated
  const cv::Mat bgra = wheelhost::readImageFile(path("bgra.png"), &problem);
  EXPECT_EQ(bgra.type(), CV_8UC4);
  EXPECT_EQ(wheelhost::toDelivered(bgra).data, bgra.data);  // already deliverable: shared
  EXPECT_EQ(wheelhost::analysedGrey(bgra).at<uchar>(0, 0), 10);

  const cv::Mat bgr = wheelhost::readImageFile(path("bgr.bmp"), &problem);
  ASSERT_EQ(bgr.type(), CV_8UC3);
  const cv::Mat delivered = wheelhost::toDelivered(bgr);
  ASSERT_EQ(delivered.type(), CV_8UC4);
  EXPECT_EQ(delivered.at<cv::Vec4b>(2, 6), cv::Vec4b(11, 22, 33, 255));
  EXPECT_EQ(wheelhost::readImageFile(path("grey.tif"), &problem).at<uchar>(1, 1), 77);
}

TEST_F(ImageFiles, ProblemsAreNamed) {
  writeBytes("text.png", "hello");
  writeBytes("empty.png", "");
  QDir(dir_.path()).mkpath("folder.png");
  const struct {
    const char* name;
    const char* problem;
  } cases[] = {
      {"missing.png", "no such file"},
      {"text.png", "not an image file wheelhost can read (PNG, JPEG, BMP, TIFF)"},
      {"empty.png", "the file is empty"},
      {"folder.png", "is a directory, not an image file"},
  };
  for (const auto& c : cases) {
    QString problem;
    EXPECT_TRUE(wheelhost::readImageFile(path(c.name), &problem).empty());
    EXPECT_EQ(problem, c.problem);
  }
}

TEST_F(ImageFiles, FoldersExpandToTheirImagesInNaturalOrder) {
  QDir(dir_.path()).mkpath("in/sub");
  for (const char* name : {"in/p10.png", "in/p9.JPG", "in/notes.txt", "in/sub/deep.tiff"}) {
    writeBytes(name, "x");
  }
  QDir(dir_.path()).mkpath("none");
  QStringList problems;
  const QStringList flat = wheelhost::collectImageFiles(
      {path("in"), path("missing.png"), path("none")}, false, &problems);
  EXPECT_EQ(flat, QStringList({path("in/p9.JPG"), path("in/p10.png"), path("missing.png")}));
  ASSERT_EQ(problems.size(), 1);
  EXPECT_EQ(problems[0],
            path("none") + ": no image files in this folder (--recursive reads sub-folders)");
  const QStringList deep = wheelhost::collectImageFiles({path("in")}, true, nullptr);
  EXPECT_EQ(deep.size(), 3);
  EXPECT_TRUE(deep.contains(path("in/sub/deep.tiff")));
}

// A folder lists every image file, readable or not: one that cannot be read keeps its line and
// fails with the reason, as it does when named directly.
TEST_F(ImageFiles, FoldersListUnreadableImagesToo) {
  QDir(dir_.path()).mkpath("in");
  writeBytes("in/a.png", "x");
  writeBytes("in/b.png", "x");
  QFile::setPermissions(path("in/b.png"), QFileDevice::Permissions());
  const QStringList expected{path("in/a.png"), path("in/b.png")};
  EXPECT_EQ(wheelhost::collectImageFiles({path("in")}, false, nullptr), expected);
  if (geteuid() == 0) {
    // Root reads every file: list the folder again as an unprivileged user, for whom b.png
    // really is unreadable.
    const auto open = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther |
                      QFileDevice::ExeOther;
    QFile::setPermissions(dir_.path(), open);
    QFile::setPermissions(path("in"), open);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const bool same = setgid(65534) == 0 && setuid(65534) == 0 &&
                        wheelhost::collectImageFiles({path("in")}, false, nullptr) == expected;
      _exit(same ? 0 : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  QFile::setPermissions(path("in/b.png"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST_F(ImageFiles, WritesByExtension) {
  const cv::Mat img(6, 9, CV_8UC3, cv::Scalar(1, 2, 3));
  QString problem;
  ASSERT_TRUE(wheelhost::writeImageFile(path("o.png"), img, &problem));
  EXPECT_EQ(cv::norm(cv::imread(path("o.png").toStdString()), img, cv::NORM_INF), 0.0);
  EXPECT_FALSE(wheelhost::writeImageFile(path("o.unknown"), img, &problem));
  EXPECT_FALSE(wheelhost::writeImageFile(path("nodir/o.png"), img, &problem));
  EXPECT_TRUE(problem.startsWith("cannot write"));
}

}  // namespace
