#pragma once

#include <QImage>
#include <QPixmap>
#include <opencv2/core.hpp>

#include "vistrel/export.h"

namespace zq {

// Conversions from OpenCV matrices to Qt images, for display and for handing images to Qt
// hosts. Bytes per line always come from the matrix's row step, so views into a larger image
// (sub-matrices) convert to exactly their own size.
class VISTREL_EXPORT QtCVUtils {
 public:
  // Converts `mat` to a QImage:
  //   CV_8UC1  -> Format_Indexed8 with an opaque grey colour table (entry i = grey i)
  //   CV_8UC3  -> Format_RGB888;   with `swapRgb` red and blue are exchanged (BGR -> RGB)
  //   CV_8UC4  -> Format_RGBA8888; with `swapRgb` red and blue are exchanged (BGRA -> RGBA)
  //   CV_32FC1 -> stretched linearly from [min, max] to [0, 255], then as CV_8UC1; a constant
  //               matrix gives 0 everywhere
  //   other    -> a null QImage, after a warning on Qt's warning channel naming the type
  // With `copyData` the image owns a copy of the pixels. Without it the image points at the
  // matrix's pixels (no copy), and the matrix must outlive the image and every shallow copy of
  // it; the swapped 3- and 4-channel images and the CV_32FC1 result always own their pixels.
  // An empty matrix gives a null QImage.
  static QImage cvMatToQImage(const cv::Mat& mat, bool copyData, bool swapRgb);

  // QPixmap::fromImage(cvMatToQImage(mat, copyData, true)). The pixmap owns its pixels, so it
  // does not depend on `mat` afterwards. Needs a running QGuiApplication.
  static QPixmap cvMatToQPixmap(const cv::Mat& mat, bool copyData);

  // The inverse for grey images: the grey pixels of a pixmap made from a grey matrix, as a new
  // CV_8UC1 matrix. The pixmap may hold them as indexed, grey or 32-bit colour pixels; for
  // colour, where the three channels of a grey image are equal, the blue one is taken. A null
  // pixmap gives an empty matrix. Needs a running QGuiApplication.
  static cv::Mat qPixmapToGreyMat(const QPixmap& pixmap);

  // The shared 256-entry opaque grey colour table of indexed images; built once per process.
  static const QVector<QRgb>& greyColorTable();
};

}  // namespace zq
