#include "vistrel/qtcvutils.h"

#include <QDebug>
#include <QGuiApplication>
#include <QtGlobal>
#include <cstring>
#include <opencv2/core/hal/intrin.hpp>

#include "pixelmemory.h"
#include "vistrel/assert.h"

namespace zq {
namespace {

void freeBuffer(void* buffer) { delete[] static_cast<uchar*>(buffer); }

// A QImage over `mat`'s pixels with bytes per line = the matrix's row step: either pointing at
// them or, with `copyData`, at a private copy that the image frees when its last user goes.
QImage wrapMat(const cv::Mat& mat, QImage::Format format, bool copyData) {
  const int bytesPerLine = static_cast<int>(mat.step[0]);
  if (!copyData) return QImage(mat.data, mat.cols, mat.rows, bytesPerLine, format);

  // Copied row by row: for a view into a larger image the last row's full step may reach past
  // the end of the parent's buffer, so only each row's own pixels are read.
  const size_t rowBytes = mat.cols * mat.elemSize();
  uchar* buffer = new uchar[mat.step[0] * mat.rows]();
  for (int r = 0; r < mat.rows; ++r) std::memcpy(buffer + r * mat.step[0], mat.ptr(r), rowBytes);
  QImage image(buffer, mat.cols, mat.rows, bytesPerLine, format, freeBuffer, buffer);
  if (image.isNull()) freeBuffer(buffer);  // Qt drops the clean-up of an image it refused
  return image;
}

// Colour images: the swapped image is a new image anyway, so the pixels are copied only once.
QImage colourImage(const cv::Mat& mat, QImage::Format format, bool copyData, bool swapRgb) {
  if (swapRgb) return wrapMat(mat, format, false).rgbSwapped();
  return wrapMat(mat, format, copyData);
}

// Writes the opaque 32-bit pixel qRgb(g, g, g) of each of the `n` grey values.
void expandGreyRow(const uchar* grey, QRgb* out, int n) {
  int x = 0;
#if CV_SIMD128 && Q_BYTE_ORDER == Q_LITTLE_ENDIAN
  // Sixteen at a time: the bytes of qRgb(g, g, g) in memory are g, g, g, 255.
  const cv::v_uint8x16 opaque = cv::v_setall_u8(255);
  for (; x + 16 <= n; x += 16) {
    const cv::v_uint8x16 g = cv::v_load(grey + x);
    cv::v_store_interleave(reinterpret_cast<uchar*>(out + x), g, g, g, opaque);
  }
#endif
  for (; x < n; ++x) out[x] = qRgb(grey[x], grey[x], grey[x]);
}

// The format a pixmap takes for an indexed grey image on this platform (32-bit RGB on a
// 32-bit screen). Asked each time: it costs a one-pixel pixmap, and the screen may change.
QImage::Format pixmapFormatOfGrey() {
  QImage probe(1, 1, QImage::Format_Indexed8);
  probe.setColorTable(QtCVUtils::greyColorTable());
  probe.setPixel(0, 0, 0);
  return QPixmap::fromImage(std::move(probe)).toImage().format();
}

}  // namespace

const QVector<QRgb>& QtCVUtils::greyColorTable() {
  static const QVector<QRgb> table = [] {
    QVector<QRgb> grey(256);
    for (int i = 0; i < 256; ++i) grey[i] = qRgba(i, i, i, 255);
    return grey;
  }();
  return table;
}

QImage QtCVUtils::cvMatToQImage(const cv::Mat& mat, bool copyData, bool swapRgb) {
  if (!VISTREL_CHECK_LE(mat.dims, 2) || mat.empty()) return QImage();

  switch (mat.type()) {
    case CV_8UC1: {
      QImage image = wrapMat(mat, QImage::Format_Indexed8, copyData);
      image.setColorTable(greyColorTable());
      return image;
    }
    case CV_8UC3:
      return colourImage(mat, QImage::Format_RGB888, copyData, swapRgb);
    case CV_8UC4:
      return colourImage(mat, QImage::Format_RGBA8888, copyData, swapRgb);
    case CV_32FC1: {
      double minimum = 0.0;
      double maximum = 0.0;
      cv::minMaxIdx(mat, &minimum, &maximum);
      // The 8-bit intermediate would die with this call, so the image always gets pixels of
      // its own (whatever `copyData` says): the stretch is written straight into them.
      QImage image(mat.cols, mat.rows, QImage::Format_Indexed8);
      image.setColorTable(greyColorTable());
      cv::Mat grey(mat.rows, mat.cols, CV_8UC1, image.bits(),
                   static_cast<size_t>(image.bytesPerLine()));
      if (maximum > minimum) {
        cv::Mat stretched = (mat - minimum) / (maximum - minimum) * 255.0;
        stretched.convertTo(grey, CV_8U, 1.0, 0.0);
      } else {
        // A constant matrix has no range to stretch. Every pixel sits at the minimum, which
        // the stretch maps to 0, so it becomes black rather than dividing zero by zero.
        grey.setTo(0);
      }
      return image;
    }
    default:
      qWarning() << "MQX::cvMatToQImage() - cv::Mat image type not handled in switch:"
                 << mat.type();
      return QImage();
  }
}

QPixmap QtCVUtils::cvMatToQPixmap(const cv::Mat& mat, bool copyData) {
  // A grey matrix that the pixmap would turn into 32-bit RGB anyway is expanded straight into
  // an image of that format, which the pixmap then takes over: one pass instead of an indexed
  // image plus Qt's conversion, with the same pixels.
  // Without a GUI application there is no pixmap to make; Qt's own path says so.
  if (mat.type() == CV_8UC1 && mat.dims <= 2 && !mat.empty() &&
      qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr &&
      pixmapFormatOfGrey() == QImage::Format_RGB32) {
    const int bytesPerLine = 4 * mat.cols;
    PixelBlock* block = allocatePixels(static_cast<size_t>(bytesPerLine) * mat.rows);
    if (block == nullptr) return QPixmap();  // out of memory: what the conversion would give
    QImage image(block->pixels, mat.cols, mat.rows, bytesPerLine, QImage::Format_RGB32,
                 releasePixels, block);
    if (image.isNull()) {
      releasePixels(block);  // Qt drops the clean-up of an image it refused
      return QPixmap();
    }
    for (int r = 0; r < mat.rows; ++r) {
      expandGreyRow(mat.ptr<uchar>(r), reinterpret_cast<QRgb*>(image.scanLine(r)), mat.cols);
    }
    return QPixmap::fromImage(std::move(image));
  }
  return QPixmap::fromImage(cvMatToQImage(mat, copyData, true));
}

cv::Mat QtCVUtils::qPixmapToGreyMat(const QPixmap& pixmap) {
  if (pixmap.isNull()) return cv::Mat();
  QImage image = pixmap.toImage();
  cv::Mat out(image.height(), image.width(), CV_8UC1);
  if (image.format() == QImage::Format_Grayscale8) {
    for (int y = 0; y < out.rows; ++y) std::memcpy(out.ptr(y), image.constScanLine(y), out.cols);
    return out;
  }
  image = image.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < out.rows; ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    uchar* dst = out.ptr(y);
    for (int x = 0; x < out.cols; ++x) dst[x] = static_cast<uchar>(qBlue(row[x]));
  }
  return out;
}

}  // namespace zq
