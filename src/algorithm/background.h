#pragma once

#include <QString>
#include <functional>
#include <opencv2/core.hpp>

class IImageObject;

namespace fluorescence {

// The reference background: an image of the empty scene, subtracted from the delivered image
// before the wheel is searched for. Paths are written the host's way, with backslashes.

// Read relative to the process's current directory.
inline constexpr const char kLocalBackgroundPath[] = ".\\user\\background.png";
// Read below the host's configured directory.
inline constexpr const char kBackgroundFile[] = "\\user\\background.png";
// Read below the host's configured directory and mirrored left to right before use.
inline constexpr const char kMirroredBackgroundFile[] = "\\user\\background_r.png";

// `hostPath` as this machine's file system expects it. On Windows unchanged; elsewhere every
// backslash becomes a slash.
QString localFilePath(const QString& hostPath);

// Reads an image file as 8-bit grey (cv::IMREAD_GRAYSCALE; the path is passed in the local
// 8-bit encoding). A missing or unreadable file gives an empty matrix.
cv::Mat readGreyImage(const QString& hostPath);

// The host's configured directory: the first "filepath" value of the host's configuration,
// or "" when the host has no configuration object or no value.
QString configuredDirectory(IImageObject* image);

// The cached reference background and the reload flag. One process-wide instance serves all
// analysis objects (instance()); separate instances exist for tests. No lock is taken here:
// a caller that shares the instance between threads holds one lock around get() and the flag
// operations together, since they form one state.
class BackgroundCache {
 public:
  // Asked for the configured directory only when a directory-based file must be read.
  using DirectoryQuery = std::function<QString()>;

  static BackgroundCache& instance();

  // Returns the background; the result shares the cache's pixels and must not be written to.
  // - Cache empty: read ".\user\background.png"; if that fails, read
  //   <dir>\user\background_r.png and mirror it.
  // - Otherwise, with `reload`: read <dir>\user\background.png; if that fails, read
  //   <dir>\user\background_r.png and mirror it.
  // - Otherwise the cached image as it is.
  // A failed read leaves the cache empty, so the next call starts over from the first case.
  cv::Mat get(const DirectoryQuery& configuredDirectory, bool reload);

  // The reload flag: set when the delivered image and the background differ in size, so the
  // next call reads the background from the configured directory again.
  bool reloadRequested() const { return reload_; }
  void setReloadRequested(bool reload) { reload_ = reload; }

  // Back to the initial state: no cached image, reload flag clear.
  void reset();

 private:
  void readFromDirectory(const QString& directory, const char* file);

  cv::Mat cache_;
  bool reload_ = false;
};

// `source` minus `background`, element by element, saturating at 0 (8-bit cv::subtract). A
// background of another size is first scaled to the source's size (bilinear); the caller's
// background is not changed. Returns a new matrix.
cv::Mat subtractBackground(const cv::Mat& source, const cv::Mat& background);

}  // namespace fluorescence
