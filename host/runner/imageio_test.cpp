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
  // Writes `image` as the file `name` and reads it back as the runner does.
  cv::Mat roundTrip(const QString& name, const cv::Mat& image) {
    EXPECT_TRUE(cv::imwrite(path(name).toStdString(), image));
    QString problem;
    return wheelhost::readImageFile(path(name), &problem);
  }
  QTemporaryDir dir_;
};

TEST_F(ImageFiles, ReadsEveryDepthAndLayoutAsEightBit) {
  const cv::Mat g16 = roundTrip("g16.png", cv::Mat(4, 5, CV_16UC1, cv::Scalar(0x1234)));
  ASSERT_EQ(g16.type(), CV_8UC1);
  EXPECT_EQ(g16.at<uchar>(2, 3), 0x12);  // 0x1234 / 256, truncated
  const cv::Mat bgra = roundTrip("bgra.png", cv::Mat(4, 5, CV_8UC4, cv::Scalar(10, 20, 30, 40)));
  EXPECT_EQ(bgra.type(), CV_8UC4);
  EXPECT_EQ(wheelhost::toDelivered(bgra).data, bgra.data);  // already deliverable: shared
  const cv::Mat bgr = roundTrip("bgr.bmp", cv::Mat(3, 7, CV_8UC3, cv::Scalar(11, 22, 33)));
  ASSERT_EQ(bgr.type(), CV_8UC3);
  const cv::Mat delivered = wheelhost::toDelivered(bgr);
  ASSERT_EQ(delivered.type(), CV_8UC4);
  EXPECT_EQ(delivered.at<cv::Vec4b>(2, 6), cv::Vec4b(11, 22, 33, 255));
  EXPECT_EQ(roundTrip("grey.tif", cv::Mat(3, 3, CV_8UC1, cv::Scalar(77))).at<uchar>(1, 1), 77);
}

TEST_F(ImageFiles, ProblemsAreNamed) {
  writeTextFile(path("text.png"), "hello");
  writeTextFile(path("empty.png"), "");
  QDir(dir_.path()).mkpath("folder.png");
  for (const auto& [name, expected] : std::initializer_list<std::pair<const char*, const char*>>{
           {"missing.png", "no such file"},
           {"text.png", "not an image file wheelhost can read (PNG, JPEG, BMP, TIFF)"},
           {"empty.png", "the file is empty"},
           {"folder.png", "is a directory, not an image file"}}) {
    QString problem;
    EXPECT_TRUE(wheelhost::readImageFile(path(name), &problem).empty());
    EXPECT_EQ(problem, expected);
  }
}

TEST_F(ImageFiles, FoldersExpandToTheirImagesInNaturalOrder) {
  QDir(dir_.path()).mkpath("in/sub");
  QDir(dir_.path()).mkpath("none");
  for (const char* name : {"in/p10.png", "in/p9.JPG", "in/notes.txt", "in/sub/deep.tiff"}) {
    writeTextFile(path(name), "x");
  }
  QStringList problems;
  const QStringList flat = wheelhost::collectImageFiles(
      {path("in"), path("missing.png"), path("none")}, false, &problems);
  EXPECT_EQ(flat, QStringList({path("in/p9.JPG"), path("in/p10.png"), path("missing.png")}));
  EXPECT_EQ(problems,
            QStringList{path("none") +
                        ": no image files in this folder (--recursive reads sub-folders)"});
  const QStringList deep = wheelhost::collectImageFiles({path("in")}, true, nullptr);
  EXPECT_EQ(deep.size(), 3);
  EXPECT_TRUE(deep.contains(path("in/sub/deep.tiff")));
}

// A folder lists every image file, readable or not: one that cannot be read keeps its line and
// fails with the reason, as it does when named directly.
TEST_F(ImageFiles, FoldersListUnreadableImagesToo) {
  QDir(dir_.path()).mkpath("in");
  writeTextFile(path("in/a.png"), "x");
  writeTextFile(path("in/b.png"), "x");
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
