#pragma once

#include <QHash>
#include <QString>
#include <memory>
#include <opencv2/core.hpp>
#include <optional>

namespace wheelhost {

// What a truth file says about one image.
struct TruthEntry {
  QString model;  // empty: the image shows no wheel
  std::optional<cv::Point2d> centre;
  std::optional<double> radius;
};

// The truth file samplegen writes:
//   {"images": [{"file": "images/a.png", "model": "WM405-5" | null,
//                "centre": [x, y], "radius": r}, ...]}
// with files relative to the truth file and coordinates in OpenCV pixels.
class TruthTable {
 public:
  // Returns null and sets `error` (naming the file and the entry) when the file is unusable.
  static std::unique_ptr<TruthTable> load(const QString& path, QString* error);

  // The entry for an image path (matched by its absolute, cleaned path; failing that by its
  // file name when exactly one entry has that name), or null.
  const TruthEntry* find(const QString& imagePath) const;

  int size() const { return static_cast<int>(entries_.size()); }

 private:
  QHash<QString, TruthEntry> entries_;  // by absolute path
  QHash<QString, QString> byName_;      // file name -> absolute path; empty when ambiguous
};

}  // namespace wheelhost
