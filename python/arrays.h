#pragma once

// NumPy arrays in and out of the Python module. An image argument is checked before any work:
// a wrong dtype raises TypeError; a wrong number of dimensions or channels, a non-contiguous or
// an empty array raises ValueError. Accepted arrays are wrapped, not copied.

#include <pybind11/numpy.h>

#include <cstdint>
#include <opencv2/core.hpp>
#include <vector>

namespace vistrel_python {

namespace py = pybind11;

// An 8-bit image from a NumPy array: 2-D (grey), or 3-D with 3 or 4 channels (rows x columns x
// channels) when `maxChannels` is 3 or more. The matrix shares the array's pixels; `what` names
// the argument in error messages. The caller keeps `object` alive while the matrix is used.
cv::Mat imageView(const py::object& object, const char* what, int maxChannels = 1);

// Points from an N x 2 array-like of numbers (any real dtype, converted).
std::vector<cv::Point2f> pointsFrom(const py::object& points, const char* what);

// A copy of `mat` (8-bit, any channel count) as a new NumPy array that owns its pixels.
py::array_t<std::uint8_t> arrayCopy(const cv::Mat& mat);

}  // namespace vistrel_python
