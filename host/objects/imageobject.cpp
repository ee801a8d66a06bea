#include "objects/imageobject.h"

#include <cstring>
#include <stdexcept>

namespace wheelhost {

ImageObject::ImageObject(const cv::Mat& image, int stride) {
  if (image.type() != CV_8UC1 && image.type() != CV_8UC4) {
    throw std::invalid_argument("stand-in image object: needs an 8-bit grey or 4-channel image");
  }
  channels_ = image.channels();
  format_ = channels_ == 1 ? 1 : 4;
  width_ = image.cols;
  height_ = image.rows;
  const int rowBytes = width_ * channels_;
  stride_ = stride == 0 ? rowBytes : stride;
  if (stride_ < rowBytes) {
    throw std::invalid_argument("stand-in image object: stride shorter than a row");
  }
  buffer_.assign(static_cast<size_t>(stride_) * height_, kPaddingByte);
  for (int r = 0; r < height_; ++r) {
    std::memcpy(buffer_.data() + static_cast<size_t>(r) * stride_, image.ptr(r), rowBytes);
  }
}

ImageObject::~ImageObject() = default;

int ImageObject::GetImageFormat() {
  record("GetImageFormat");
  return format_;
}

unsigned char* ImageObject::GetImageData(int* width, int* height, int* reserved, int* stride) {
  record("GetImageData");
  if (width != nullptr) *width = width_;
  if (height != nullptr) *height = height_;
  if (reserved != nullptr) *reserved = channels_;
  if (stride != nullptr) *stride = stride_;
  return nullPixels_ ? nullptr : buffer_.data();
}

IHostConfig* ImageObject::GetConfig() {
  record("GetConfig");
  return config_;
}

void ImageObject::SetResults(QVariantMap& results) {
  record("SetResults");
  results_ = results;
  // The host owns the record from here on; a second delivery replaces the first.
  FluorescenceResult* delivered = fluorescenceResultOf(results);
  if (delivered != record_.get()) record_.reset(delivered);
}

QVariant* ImageObject::QueryParams() {
  record("QueryParams");
  return nullParameters_ ? nullptr : &parameters_;
}

}  // namespace wheelhost
