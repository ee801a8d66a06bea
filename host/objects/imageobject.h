#pragma once

#include <QVariant>
#include <QVariantMap>
#include <memory>
#include <opencv2/core.hpp>
#include <vector>

#include "fluorescenceresult.h"
#include "iimageobject.h"
#include "objects/callrecorder.h"

namespace wheelhost {

// The host's image object for one analysis call, over a pixel buffer of its own. Records every
// call, keeps what SetResults delivers, and owns the delivered result record until a caller
// takes it (so a test that only looks at the map leaks nothing).
class ImageObject : public IImageObject, public CallRecorder {
 public:
  // The padding bytes at the end of each row when the stride is wider than the row, so that a
  // reader that ignores the stride shows up in its output.
  static constexpr unsigned char kPaddingByte = 0xEE;

  // Copies `image` into the buffer: CV_8UC1 is delivered as format 1, CV_8UC4 as format 4.
  // `stride` is the row distance in bytes; 0 packs the rows. Throws std::invalid_argument for
  // other types or a stride shorter than a row.
  explicit ImageObject(const cv::Mat& image, int stride = 0);
  ~ImageObject() override;
  ImageObject(const ImageObject&) = delete;
  ImageObject& operator=(const ImageObject&) = delete;

  // --- IImageObject ---
  int GetImageFormat() override;
  // Writes width, height, stride and, into `reserved`, the number of channels.
  unsigned char* GetImageData(int* width, int* height, int* reserved, int* stride) override;
  IHostConfig* GetConfig() override;
  void SetResults(QVariantMap& results) override;
  QVariant* QueryParams() override;

  // --- Script ---
  // The format number GetImageFormat reports (1 grey, anything else four-channel), whatever
  // the buffer holds.
  void setFormat(int format) { format_ = format; }
  // The configuration GetConfig returns (not owned; null by default).
  void setConfig(IHostConfig* config) { config_ = config; }
  // The parameter map QueryParams hands out (see ParameterBuilder).
  void setParameters(const QVariantMap& parameters) { parameters_ = QVariant(parameters); }
  void setParameters(const QVariant& parameters) { parameters_ = parameters; }
  // Makes QueryParams return null, which the host interface does not allow.
  void setNullParameters(bool null) { nullParameters_ = null; }
  // Makes GetImageData return a null pixel pointer (the sizes are still written).
  void setNullPixels(bool null) { nullPixels_ = null; }

  // --- What happened ---
  int setResultsCount() const { return count("SetResults"); }
  // The last map delivered with SetResults (empty before).
  const QVariantMap& results() const { return results_; }
  // The record delivered under "result", or null; it stays owned by this object.
  FluorescenceResult* result() const { return record_.get(); }
  // Hands the delivered record to the caller.
  std::unique_ptr<FluorescenceResult> takeResult() { return std::move(record_); }
  // The pixel buffer (rows `stride` bytes apart).
  const std::vector<unsigned char>& buffer() const { return buffer_; }

 private:
  int format_;
  int width_;
  int height_;
  int stride_;
  int channels_;
  std::vector<unsigned char> buffer_;
  IHostConfig* config_ = nullptr;
  QVariant parameters_;
  bool nullParameters_ = false;
  bool nullPixels_ = false;
  QVariantMap results_;
  std::unique_ptr<FluorescenceResult> record_;
};

}  // namespace wheelhost
