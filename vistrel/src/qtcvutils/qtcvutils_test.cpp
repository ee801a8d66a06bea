#include "vistrel/qtcvutils.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <vector>

#include "vistrel/assert.h"

namespace {

using zq::QtCVUtils;

// What went to Qt's warning channel while collectWarnings was installed.
QStringList g_warnings;
void collectWarnings(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtWarningMsg) g_warnings.append(text);
}

// The colour-table indices of an indexed image, row by row.
std::vector<int> indices(const QImage& image) {
  std::vector<int> values;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) values.push_back(image.pixelIndex(x, y));
  return values;
}

// A small matrix whose pixel (r, c) is 10 * r + c, easy to recognise in any view.
cv::Mat rampGrey(int rows, int cols) {
  cv::Mat m(rows, cols, CV_8UC1);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) m.at<uchar>(r, c) = static_cast<uchar>(10 * r + c);
  return m;
}

TEST(QtCVUtils, GreyViewsBecomeIndexedWithGreyTableRowStepAndExactlyTheirOwnSize) {
  const cv::Mat parent = rampGrey(10, 12);
  // A view touching the parent's last row: its last full row step would reach past the
  // parent's buffer, which a copy must not read.
  const cv::Mat view = parent(cv::Rect(3, 7, 5, 3));
  for (bool copy : {false, true}) {
    const QImage image = QtCVUtils::cvMatToQImage(view, copy, true);
    ASSERT_EQ(image.format(), QImage::Format_Indexed8);
    EXPECT_EQ(image.size(), QSize(5, 3));
    EXPECT_EQ(image.bytesPerLine(), 12);
    EXPECT_EQ(indices(image),
              (std::vector<int>{73, 74, 75, 76, 77, 83, 84, 85, 86, 87, 93, 94, 95, 96, 97}));
    EXPECT_EQ(image.pixel(3, 1), qRgba(86, 86, 86, 255));
    EXPECT_EQ(image.colorTable(), QtCVUtils::greyColorTable());
    // Without a copy the image shows the matrix's own pixels; with one it has its own.
    EXPECT_EQ(image.constBits() == view.data, !copy);
  }
  const cv::Mat colourParent(6, 6, CV_8UC3, cv::Scalar(1, 2, 3));
  const QImage colour = QtCVUtils::cvMatToQImage(colourParent(cv::Rect(5, 4, 1, 2)), true, false);
  EXPECT_EQ(colour.size(), QSize(1, 2));
  EXPECT_EQ(colour.pixel(0, 1), qRgb(1, 2, 3));
}

TEST(QtCVUtils, ColourImagesAndPixmapsAreRgbOrRgbaAndSwapExchangesRedAndBlue) {
  const cv::Mat bgr(2, 3, CV_8UC3, cv::Scalar(10, 20, 30));  // blue 10, green 20, red 30
  const cv::Mat bgra(2, 2, CV_8UC4, cv::Scalar(10, 20, 30, 40));
  for (bool copy : {false, true}) {
    const QImage swapped = QtCVUtils::cvMatToQImage(bgr, copy, true);
    EXPECT_EQ(swapped.format(), QImage::Format_RGB888);
    EXPECT_EQ(swapped.pixel(2, 1), qRgb(30, 20, 10));
    EXPECT_EQ(QtCVUtils::cvMatToQPixmap(bgr, copy).toImage().pixel(2, 1), qRgb(30, 20, 10));
    const QImage plain = QtCVUtils::cvMatToQImage(bgr, copy, false);
    EXPECT_EQ(plain.format(), QImage::Format_RGB888);
    EXPECT_EQ(plain.pixel(0, 0), qRgb(10, 20, 30));
    EXPECT_EQ(plain.constBits() == bgr.data, !copy);

    const QImage swappedAlpha = QtCVUtils::cvMatToQImage(bgra, copy, true);
    EXPECT_EQ(swappedAlpha.format(), QImage::Format_RGBA8888);
    EXPECT_EQ(swappedAlpha.pixelColor(1, 1), QColor(30, 20, 10, 40));
    const QImage plainAlpha = QtCVUtils::cvMatToQImage(bgra, copy, false);
    EXPECT_EQ(plainAlpha.format(), QImage::Format_RGBA8888);
    EXPECT_EQ(plainAlpha.pixelColor(0, 1), QColor(10, 20, 30, 40));
  }
}

TEST(QtCVUtils, FloatImagesAreStretchedFromMinimumToMaximum) {
  // -1 .. 3: (v + 1) / 4 * 255 gives 0, 63.75 -> 64, 127.5 -> 128, 191.25 -> 191, 255.
  const cv::Mat values = (cv::Mat_<float>(1, 5) << -1.0f, 0.0f, 1.0f, 2.0f, 3.0f);
  for (bool copy : {false, true}) {
    const QImage image = QtCVUtils::cvMatToQImage(values, copy, false);
    ASSERT_EQ(image.format(), QImage::Format_Indexed8);
    EXPECT_EQ(image.size(), QSize(5, 1));
    EXPECT_EQ(indices(image), (std::vector<int>{0, 64, 128, 191, 255}));
  }
  // A view of a float image is read through its own step.
  const cv::Mat wide = (cv::Mat_<float>(2, 3) << 9, 2, 4, 9, 6, 9);
  const QImage view = QtCVUtils::cvMatToQImage(wide(cv::Rect(1, 0, 1, 2)), false, true);
  EXPECT_EQ(indices(view), (std::vector<int>{0, 255}));
  // A constant image is black, and outlives its source.
  const QImage black =
      QtCVUtils::cvMatToQImage(cv::Mat(3, 4, CV_32FC1, cv::Scalar(7.5)), false, true);
  EXPECT_EQ(black.size(), QSize(4, 3));
  EXPECT_EQ(indices(black), std::vector<int>(12, 0));
}

TEST(QtCVUtils, UnhandledMatricesGiveANullImageAndWarnWithTheirTypeNumber) {
  const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
  EXPECT_TRUE(
      QtCVUtils::cvMatToQImage(cv::Mat(4, 4, CV_16UC1, cv::Scalar(7)), true, true).isNull());
  EXPECT_TRUE(QtCVUtils::cvMatToQImage(cv::Mat(2, 2, CV_8UC2), false, true).isNull());
  EXPECT_TRUE(QtCVUtils::cvMatToQImage(cv::Mat(2, 2, CV_64FC1), false, true).isNull());
  qInstallMessageHandler(previous);
  const QString unhandled = "MQX::cvMatToQImage() - cv::Mat image type not handled in switch: ";
  EXPECT_EQ(g_warnings, QStringList({unhandled + "2", unhandled + "8", unhandled + "6"}));
  // Empty and many-dimensional matrices give a null image too, the latter with a report.
  vistrel::AssertCapture reports;
  EXPECT_TRUE(QtCVUtils::cvMatToQImage(cv::Mat(), true, true).isNull());
  EXPECT_TRUE(QtCVUtils::cvMatToQPixmap(cv::Mat(), true).isNull());
  EXPECT_TRUE(QtCVUtils::qPixmapToGreyMat(QPixmap()).empty());
  const int sizes[] = {2, 2, 2};
  EXPECT_TRUE(QtCVUtils::cvMatToQImage(cv::Mat(3, sizes, CV_8UC1), true, true).isNull());
  EXPECT_EQ(reports.messages(), std::vector<std::string>{"mat.dims <= 2 (3 vs 2)"});
}

// Grey pixmaps must come out exactly as Qt makes them from the indexed image: same format, same
// pixels. Widths around the sixteen-pixel blocks cover the tail; views have a step of their own.
class GreyPixmapWidth : public ::testing::TestWithParam<int> {};

TEST_P(GreyPixmapWidth, MatchesQtsConversionOfTheIndexedImageAndConvertsBack) {
  const int width = GetParam();
  cv::Mat parent(5, width + 3, CV_8UC1);
  cv::randu(parent, 0, 256);
  parent.at<uchar>(0, 0) = 0;
  parent.at<uchar>(1, width - 1) = 255;
  const cv::Mat view = parent(cv::Rect(0, 0, width, 5));
  for (const cv::Mat& grey : {parent, view}) {
    const QImage indexed = QtCVUtils::cvMatToQImage(grey, false, true);
    const QImage expected = QPixmap::fromImage(indexed).toImage();
    // QImage equality takes the format and the size too.
    EXPECT_EQ(QtCVUtils::cvMatToQPixmap(grey, false).toImage(), expected);
  }
  // The pixmap owns its pixels, and they convert back to the grey values.
  const cv::Mat want = view.clone();
  const QPixmap pixmap = QtCVUtils::cvMatToQPixmap(view, false);
  parent.setTo(0);
  EXPECT_EQ(cv::norm(QtCVUtils::qPixmapToGreyMat(pixmap), want, cv::NORM_INF), 0.0);
}

INSTANTIATE_TEST_SUITE_P(QtCVUtils, GreyPixmapWidth, ::testing::Values(1, 15, 16, 17, 33, 47));

}  // namespace
