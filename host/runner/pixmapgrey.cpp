#include "runner/pixmapgrey.h"

#include <QImage>
#include <cstring>

namespace wheelhost {

cv::Mat greyFromPixmap(const QPixmap& pixmap) {
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

}  // namespace wheelhost
