#include "arrays.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

namespace vistrel_python {

cv::Mat imageView(const py::object& object, const char* what, int maxChannels) {
  const std::string name(what);
  if (!py::isinstance<py::array>(object)) {
    throw py::type_error(name + " must be a NumPy array of dtype uint8, not " +
                         py::str(py::type::of(object).attr("__name__")).cast<std::string>());
  }
  const auto array = py::reinterpret_borrow<py::array>(object);
  if (!array.dtype().equal(py::dtype::of<std::uint8_t>())) {
    throw py::type_error(name + " must be an array of dtype uint8, not " +
                         py::str(array.dtype()).cast<std::string>());
  }
  const bool colourAllowed = maxChannels >= 3;
  if (array.ndim() != 2 && !(colourAllowed && array.ndim() == 3)) {
    throw py::value_error(
        name +
        (colourAllowed ? " must be 2-D (grey) or 3-D (colour)" : " must be a 2-D grey image") +
        ", not " + std::to_string(array.ndim()) + "-D");
  }
  if (array.size() == 0) throw py::value_error(name + " is empty");
  const int channels = array.ndim() == 3 ? static_cast<int>(array.shape(2)) : 1;
  if (channels != 1 && channels != 3 && channels != 4) {
    throw py::value_error(name + " must have 1, 3 or 4 channels, not " + std::to_string(channels));
  }
  if (!(array.flags() & py::array::c_style)) {
    throw py::value_error(name + " must be C-contiguous (use numpy.ascontiguousarray)");
  }
  if (array.shape(0) > INT32_MAX || array.shape(1) > INT32_MAX) {
    throw py::value_error(name + " is too large");
  }
  // The matrix never writes through this pointer: every operation takes its image as const.
  return cv::Mat(static_cast<int>(array.shape(0)), static_cast<int>(array.shape(1)),
                 CV_8UC(channels), const_cast<void*>(array.data()));
}

std::vector<cv::Point2f> pointsFrom(const py::object& points, const char* what) {
  const auto a = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(points);
  if (!a) throw py::type_error(std::string(what) + " must be an N x 2 array of numbers");
  if (a.ndim() != 2 || a.shape(1) != 2) {
    throw py::value_error(std::string(what) + " must have shape (N, 2)");
  }
  std::vector<cv::Point2f> out;
  out.reserve(static_cast<std::size_t>(a.shape(0)));
  const auto r = a.unchecked<2>();
  for (py::ssize_t i = 0; i < r.shape(0); ++i) {
    out.emplace_back(static_cast<float>(r(i, 0)), static_cast<float>(r(i, 1)));
  }
  return out;
}

py::array_t<std::uint8_t> arrayCopy(const cv::Mat& mat) {
  CV_Assert(mat.depth() == CV_8U);
  std::vector<py::ssize_t> shape = {mat.rows, mat.cols};
  if (mat.channels() > 1) shape.push_back(mat.channels());
  py::array_t<std::uint8_t> out(shape);
  const std::size_t rowBytes = mat.cols * mat.elemSize();
  auto* dst = static_cast<std::uint8_t*>(out.mutable_data());
  for (int y = 0; y < mat.rows; ++y) std::memcpy(dst + y * rowBytes, mat.ptr(y), rowBytes);
  return out;
}

}  // namespace vistrel_python
