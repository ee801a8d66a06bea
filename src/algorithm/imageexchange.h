#pragma once

#include <opencv2/core.hpp>

class IImageObject;

namespace fluorescence {

// Fetches the delivered image through the host's image object (GetImageFormat, then
// GetImageData) as an 8-bit grey matrix of the host's width and height, read at the host's row
// stride. Format 1 gives a view that shares the host's buffer (valid only during the call:
// copy it before keeping it); any other format is taken as four 8-bit channels, and the
// result is a new matrix holding channel 0. Throws std::invalid_argument for a null image
// object, a null pixel pointer, a size below 1 x 1 or a stride shorter than a row.
cv::Mat fetchDeliveredImage(IImageObject* image);

}  // namespace fluorescence
