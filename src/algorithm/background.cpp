#include "background.h"

#include <QFileInfo>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "hostconfig.h"
#include "iimageobject.h"
#include "lazycodecs.h"

namespace fluorescence {

QString localFilePath(const QString& hostPath) {
#if defined(_WIN32)
  return hostPath;
#else
  // The host writes Windows paths. On a POSIX file system a backslash is an ordinary file-name
  // character, so ".\user\background.png" would name one odd file in the current directory;
  // reading it as a separator finds the same files the host means.
  QString path = hostPath;
  return path.replace(QLatin1Char('\\'), QLatin1Char('/'));
#endif
}

cv::Mat readGreyImage(const QString& hostPath) {
  const QString path = localFilePath(hostPath);
  // Without a background file every call tries again; asking first keeps OpenCV from logging
  // a warning for each of those tries.
  if (!QFileInfo(path).isFile()) return cv::Mat();
  try {
    return vistrel::codecs::imread(path.toLocal8Bit().toStdString(), cv::IMREAD_GRAYSCALE);
  } catch (const cv::Exception& e) {
    // Without OpenCV's codecs no file is readable: the outcome of an unreadable file.
    qWarning("%s", e.err.c_str());
    return cv::Mat();
  }
}

QString configuredDirectory(IImageObject* image) {
  IHostConfig* config = image != nullptr ? image->GetConfig() : nullptr;
  if (config == nullptr) return QString();
  const QStringList values = config->GetValues(QString::fromLatin1(kConfigFilePathKey));
  return values.isEmpty() ? QString() : values.first();
}

BackgroundCache& BackgroundCache::instance() {
  static BackgroundCache cache;
  return cache;
}

void BackgroundCache::readFromDirectory(const QString& directory, const char* file) {
  cache_ = readGreyImage(directory + QString::fromLatin1(file));
}

cv::Mat BackgroundCache::get(const DirectoryQuery& configuredDirectory, bool reload) {
  if (cache_.empty()) {
    cache_ = readGreyImage(QString::fromLatin1(kLocalBackgroundPath));
    if (cache_.empty()) {
      readFromDirectory(configuredDirectory(), kMirroredBackgroundFile);
      if (!cache_.empty()) cv::flip(cache_, cache_, 1);
    }
  } else if (reload) {
    const QString directory = configuredDirectory();
    readFromDirectory(directory, kBackgroundFile);
    if (cache_.empty()) {
      readFromDirectory(directory, kMirroredBackgroundFile);
      if (!cache_.empty()) cv::flip(cache_, cache_, 1);
    }
  }
  return cache_;
}

void BackgroundCache::reset() {
  cache_.release();
  reload_ = false;
}

cv::Mat subtractBackground(const cv::Mat& source, const cv::Mat& background) {
  cv::Mat scaled = background;
  if (scaled.size() != source.size()) {
    cv::resize(background, scaled, source.size(), 0.0, 0.0, cv::INTER_LINEAR);
  }
  cv::Mat difference;
  cv::subtract(source, scaled, difference);
  return difference;
}

}  // namespace fluorescence
