#include "lazycodecs.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <cstdio>
#include <fstream>
#include <opencv2/imgcodecs.hpp>  // flag values only: this test does not link the codecs

namespace {

cv::Mat pattern(int type) {
  cv::Mat image(23, 31, type);
  cv::randu(image, 0, 256);
  return image;
}

bool same(const cv::Mat& a, const cv::Mat& b) {
  return a.type() == b.type() && a.size() == b.size() && cv::norm(a, b, cv::NORM_INF) == 0;
}

// The program starts without the codecs and reads common PNG files without them; the first
// call that needs them loads them and then behaves as OpenCV.
TEST(LazyCodecs, LoadedAtFirstNeedThenOpenCVsOwnBehaviour) {
  QImage grey(17, 5, QImage::Format_Grayscale8);
  for (int y = 0; y < grey.height(); ++y)
    for (int x = 0; x < grey.width(); ++x) grey.scanLine(y)[x] = uchar(13 * x + 29 * y);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(grey.save(&buffer, "PNG"));
  const cv::Mat expected(grey.height(), grey.width(), CV_8UC1, grey.bits(),
                         static_cast<std::size_t>(grey.bytesPerLine()));
  const std::string pngPath = testing::TempDir() + "lazycodecs_test.png";
  std::ofstream(pngPath, std::ios::binary).write(png.constData(), png.size());
  EXPECT_TRUE(
      same(vistrel::codecs::imdecode(cv::Mat(1, png.size(), CV_8U, png.data()), -1), expected));
  EXPECT_TRUE(same(vistrel::codecs::imread(pngPath, cv::IMREAD_GRAYSCALE), expected));
  std::remove(pngPath.c_str());
#if defined(VISTREL_LAZY_IMGCODECS)
  EXPECT_FALSE(vistrel::codecs::codecsLoaded());
#endif

  // A 16-bit PNG is OpenCV's to write and read.
  const cv::Mat deep = pattern(CV_16UC1);
  std::vector<uchar> deepPng;
  ASSERT_TRUE(vistrel::codecs::imencode(".png", deep, deepPng));
  EXPECT_TRUE(vistrel::codecs::codecsLoaded());
  EXPECT_TRUE(same(vistrel::codecs::imdecode(cv::Mat(deepPng), cv::IMREAD_UNCHANGED), deep));

  // imread with its flags, through a file.
  const cv::Mat colour = pattern(CV_8UC3);
  std::vector<uchar> bmp;
  ASSERT_TRUE(vistrel::codecs::imencode(".bmp", colour, bmp));
  const std::string path = testing::TempDir() + "lazycodecs_test.bmp";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bmp.data()), std::streamsize(bmp.size()));
  EXPECT_TRUE(same(vistrel::codecs::imread(path, cv::IMREAD_COLOR), colour));
  EXPECT_EQ(vistrel::codecs::imread(path, cv::IMREAD_GRAYSCALE).type(), CV_8UC1);
  std::remove(path.c_str());

  // OpenCV's answers to bad input stand: empty matrices, and its exception for an unknown
  // format.
  EXPECT_TRUE(vistrel::codecs::imread(path, cv::IMREAD_GRAYSCALE).empty());
  EXPECT_TRUE(vistrel::codecs::imdecode(cv::Mat(1, 5, CV_8U, cv::Scalar(7)), -1).empty());
  std::vector<uchar> none;
  EXPECT_THROW(vistrel::codecs::imencode(".nope", colour, none), cv::Exception);
}

}  // namespace
