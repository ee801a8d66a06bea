#include "imageexchange.h"

#include <cstdint>
#include <stdexcept>
#include <string>

#include "iimageobject.h"

namespace fluorescence {

cv::Mat fetchDeliveredImage(IImageObject* image) {
  if (image == nullptr) throw std::invalid_argument("delivered image: no image object");
  const int format = image->GetImageFormat();
  int width = 0;
  int height = 0;
  int reserved = 0;
  int stride = 0;
  unsigned char* pixels = image->GetImageData(&width, &height, &reserved, &stride);

  const int channels = format == 1 ? 1 : 4;
  if (pixels == nullptr || width < 1 || height < 1 ||
      static_cast<std::int64_t>(stride) < static_cast<std::int64_t>(width) * channels) {
    throw std::invalid_argument("delivered image: unusable buffer (width " + std::to_string(width) +
                                ", height " + std::to_string(height) + ", stride " +
                                std::to_string(stride) + ", format " + std::to_string(format) +
                                ")");
  }
  const cv::Mat wrapped(height, width, CV_MAKETYPE(CV_8U, channels), pixels,
                        static_cast<size_t>(stride));
  if (channels == 1) return wrapped;

  // Only the first channel is analysed; extracting it alone gives the same plane as splitting
  // all four, without allocating the three that would be thrown away.
  cv::Mat first;
  cv::extractChannel(wrapped, first, 0);
  return first;
}

}  // namespace fluorescence
