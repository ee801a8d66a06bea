#pragma once

#include <opencv2/core.hpp>

namespace fluorescence {

// Contrast enhancement of 8-bit grey images before the wheel's rim is searched for.

// Histogram equalisation of `source` into `destination` (which may be `source`). Without a
// mask exactly cv::equalizeHist. With a mask (8-bit, same size, non-zero inside) the histogram
// is taken over the pixels inside the mask, only those pixels are remapped, and the pixels
// outside keep their source values. Throws cv::Exception for a non-grey source or a mask of
// another size.
void equalizeImage(const cv::Mat& source, cv::Mat& destination, const cv::Mat& mask = cv::Mat());

// Unsharp masking with radius 3 (Gaussian sigma 3.0), amount 1.5 and contrast threshold 5:
// 2.5 * source - 1.5 * blurred, saturated to 0..255, except where source and blurred differ by
// less than 5, which keep their source values (flat areas and noise are left alone). Returns a
// new matrix; an empty source gives an empty matrix. Throws cv::Exception for a non-grey source.
cv::Mat unsharpMask(const cv::Mat& source);

}  // namespace fluorescence
