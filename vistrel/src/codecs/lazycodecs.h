#pragma once

#include <opencv2/core.hpp>
#include <string>
#include <vector>

namespace vistrel::codecs {

// OpenCV's image file functions, with OpenCV's own results, but without OpenCV's codec module
// in the process until a file needs it.
//
// Debian's libopencv_imgcodecs pulls in about a hundred libraries (GDAL, DICOM, PDF, HDF5, ...):
// linked at start-up they cost a run about 45 MB of resident memory and 80 ms before main. So
// the common PNG files (see commonpng.h) are decoded with libpng directly, as OpenCV would
// decode them, and the codec module is loaded at the first call that needs it.
//
// All three throw cv::Exception (code cv::Error::StsError, naming the library) when the codec
// module is needed but cannot be loaded, and otherwise give exactly what cv::imread,
// cv::imdecode and cv::imencode give. Thread-safe.
cv::Mat imread(const std::string& path, int flags);
cv::Mat imdecode(const cv::Mat& bytes, int flags);
bool imencode(const std::string& ext, const cv::Mat& image, std::vector<uchar>& bytes,
              const std::vector<int>& params = {});

// True once the codec module is in the process: loaded by one of the calls above, or linked.
bool codecsLoaded();

}  // namespace vistrel::codecs
