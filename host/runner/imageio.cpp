#include "runner/imageio.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "lazycodecs.h"

namespace wheelhost {

bool naturalLess(const QString& a, const QString& b) {
  int i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i].isDigit() && b[j].isDigit()) {
      int ei = i, ej = j;
      while (ei < a.size() && a[ei].isDigit()) ++ei;
      while (ej < b.size() && b[ej].isDigit()) ++ej;
      // Compare the numbers without their leading zeros: first by length, then digit by digit.
      int si = i, sj = j;
      while (si + 1 < ei && a[si] == '0') ++si;
      while (sj + 1 < ej && b[sj] == '0') ++sj;
      if (ei - si != ej - sj) return ei - si < ej - sj;
      const int c = QStringView(a).mid(si, ei - si).compare(QStringView(b).mid(sj, ej - sj));
      if (c != 0) return c < 0;
      i = ei;
      j = ej;
      continue;
    }
    const QChar ca = a[i].toLower(), cb = b[j].toLower();
    if (ca != cb) return ca < cb;
    ++i;
    ++j;
  }
  if ((a.size() - i) != (b.size() - j)) return (a.size() - i) < (b.size() - j);
  return a < b;  // equal but for case or leading zeros: any fixed order will do
}

bool isImageFileName(const QString& fileName) {
  static const QStringList suffixes = {"png", "jpg", "jpeg", "bmp", "dib", "tif", "tiff"};
  return suffixes.contains(QFileInfo(fileName).suffix().toLower());
}

cv::Mat readImageFile(const QString& path, QString* problem) {
  const QFileInfo info(path);
  if (!info.exists()) {
    if (problem) *problem = "no such file";
    return cv::Mat();
  }
  if (info.isDir()) {
    if (problem) *problem = "is a directory, not an image file";
    return cv::Mat();
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    if (problem) *problem = "cannot read: " + file.errorString();
    return cv::Mat();
  }
  const QByteArray bytes = file.readAll();
  if (bytes.isEmpty()) {
    if (problem) *problem = "the file is empty";
    return cv::Mat();
  }
  cv::Mat image;
  try {
    const cv::Mat raw(1, bytes.size(), CV_8UC1, const_cast<char*>(bytes.constData()));
    image = vistrel::codecs::imdecode(raw, cv::IMREAD_UNCHANGED);
  } catch (const cv::Exception& e) {
    if (problem) *problem = QString("cannot decode the image: %1").arg(e.what());
    return cv::Mat();
  }
  if (image.empty()) {
    if (problem) *problem = "not an image file wheelhost can read (PNG, JPEG, BMP, TIFF)";
    return cv::Mat();
  }
  if (image.depth() == CV_16U) {
    image.convertTo(image, CV_8U, 1.0 / 256.0);
  } else if (image.depth() != CV_8U) {
    if (problem) *problem = "unsupported pixel depth (only 8- and 16-bit images are read)";
    return cv::Mat();
  }
  if (image.channels() == 2) cv::extractChannel(image, image, 0);
  return image;
}

cv::Mat toDelivered(const cv::Mat& image) {
  if (image.channels() == 1 || image.channels() == 4) return image;
  cv::Mat out;
  cv::cvtColor(image, out, cv::COLOR_BGR2BGRA);
  return out;
}

cv::Mat analysedGrey(const cv::Mat& image) {
  if (image.channels() == 1) return image;
  cv::Mat grey;
  cv::extractChannel(image, grey, 0);
  return grey;
}

bool writeImageFile(const QString& path, const cv::Mat& image, QString* problem) {
  std::vector<uchar> bytes;
  try {
    const std::string ext = "." + QFileInfo(path).suffix().toLower().toStdString();
    if (!vistrel::codecs::imencode(ext, image, bytes)) {
      if (problem) *problem = "cannot encode the image";
      return false;
    }
  } catch (const cv::Exception& e) {
    if (problem) *problem = QString("cannot encode the image: %1").arg(e.what());
    return false;
  }
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) !=
          static_cast<qint64>(bytes.size()) ||
      !file.commit()) {
    if (problem) *problem = "cannot write: " + file.errorString();
    return false;
  }
  return true;
}

QStringList collectImageFiles(const QStringList& inputs, bool recursive, QStringList* problems) {
  QStringList files;
  for (const QString& input : inputs) {
    const QFileInfo info(input);
    if (!info.isDir()) {
      // Named explicitly: read whatever it is, and report it as failed when it is missing or
      // no image, so that it keeps its line in the results.
      files << input;
      continue;
    }
    QStringList found;
    // Unreadable files too: each keeps its line and fails with the reason, as when named.
    QDirIterator it(input, QDir::Files,
                    recursive ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
    while (it.hasNext()) {
      const QString path = it.next();
      if (isImageFileName(path)) found << path;
    }
    std::sort(found.begin(), found.end(), naturalLess);
    if (found.isEmpty() && problems) {
      *problems << QString("%1: no image files in this folder%2")
                       .arg(input, recursive ? "" : " (--recursive reads sub-folders)");
    }
    files << found;
  }
  return files;
}

}  // namespace wheelhost
