// Detection regions for Python: shapes in, mask, bounding rectangle and ROI image out, and the
// region files of the library (cv::FileStorage: YAML, XML or JSON by the file's extension).
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <zlib.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "arrays.h"
#include "vistrel/assert.h"
#include "vistrel/detectroi.h"

namespace vistrel_python {

namespace {

using vistrel::DetectRoi;
using Shape = DetectRoi::ShapeType;

// Adds a united or removed shape; refusals become ValueError with the library's own report.
template <bool unite>
void addShape(DetectRoi& roi, const py::object& points, Shape type,
              const std::optional<py::object>& mask) {
  const std::vector<cv::Point2f> pts = pointsFrom(points, "points");
  cv::Mat maskCopy;
  if (type == Shape::Mask) {
    if (!mask) throw py::value_error("a MASK shape needs its mask image");
    // The region keeps the mask's header, so it gets pixels of its own.
    maskCopy = imageView(*mask, "mask").clone();
  } else if (mask) {
    throw py::value_error("only a MASK shape takes a mask image");
  }
  vistrel::AssertCapture reports;
  const cv::Mat* maskArg = maskCopy.empty() ? nullptr : &maskCopy;
  const bool added = unite ? roi.addRoi(pts, type, maskArg) : roi.subRoi(pts, type, maskArg);
  if (!added) {
    const std::vector<std::string> why = reports.messages();
    throw py::value_error("shape not added" +
                          (why.empty() ? std::string(": too few points") : ": " + why.front()));
  }
}

// The storage key under which a region is saved: the caller's choice, "roi" by default.
constexpr const char* kDefaultKey = "roi";

void save(const DetectRoi& roi, const std::string& path, const std::string& key) {
  try {
    cv::FileStorage fs(path, cv::FileStorage::WRITE);
    if (!fs.isOpened()) throw py::value_error("cannot write " + path);
    fs << key << "{";
    roi.serialize(fs);
    fs << "}";
  } catch (const cv::Exception& e) {
    throw py::value_error("cannot write " + path + ": " + e.what());
  }
}

// One byte more than readText takes: a larger file is refused, not read whole.
constexpr std::size_t kTextLimit = DetectRoi::kMaxTextBytes + 1;

// The file's bytes, inflated when it is gzip-compressed (save writes ".gz" files so).
std::string fileText(const std::string& path) {
  const gzFile file = gzopen(path.c_str(), "rb");
  if (file == nullptr) throw py::value_error("cannot read " + path);
  std::string text;
  std::vector<char> buffer(std::size_t{1} << 16);
  int n = 0;
  while (text.size() < kTextLimit &&
         (n = gzread(file, buffer.data(), static_cast<unsigned>(buffer.size()))) > 0) {
    text.append(buffer.data(), static_cast<std::size_t>(n));
  }
  gzclose(file);
  if (n < 0) throw py::value_error("cannot read " + path);
  return text;
}

// Through DetectRoi::readText, which keeps text away from OpenCV's reader that would make it
// loop or read past the end: a hand-edited file must never hang or crash the interpreter.
DetectRoi load(const std::string& path, const std::string& key) {
  const std::string text = fileText(path);
  DetectRoi roi;
  vistrel::AssertCapture reports;
  if (!roi.readText(text, key)) {
    const std::vector<std::string> why = reports.messages();
    throw py::value_error("cannot read " + path + ": " +
                          (why.empty() ? std::string("region text refused") : why.front()));
  }
  // A missing key reads as an empty region; here it is an error. The text is known safe now.
  if (roi.empty() &&
      !cv::FileStorage(text, cv::FileStorage::READ | cv::FileStorage::MEMORY)[key].isMap()) {
    throw py::value_error(path + " holds no region under \"" + key + "\"");
  }
  return roi;
}

// A point mapped by one of the region's mappings (toImage or toRoi).
template <void (DetectRoi::*map)(double&, double&)>
std::tuple<double, double> mapPoint(DetectRoi& roi, double x, double y) {
  (roi.*map)(x, y);
  return {x, y};
}

std::tuple<int, int> shapeOf(const std::tuple<int, int>& imageShape) {
  if (std::get<0>(imageShape) <= 0 || std::get<1>(imageShape) <= 0) {
    throw py::value_error("image_shape must be (rows, cols), both above 0");
  }
  return imageShape;
}

}  // namespace

void bindRegions(py::module_& m) {
  py::class_<DetectRoi> cls(m, "DetectRoi",
                            "A region of a source image: united and removed shapes.");
  py::enum_<Shape>(cls, "ShapeType")
      .value("RECTANGLE", Shape::Rectangle, "4 corner points")
      .value("POLYGON", Shape::Polygon, "3 or more points")
      .value("CIRCLE", Shape::Circle, "centre, a point on the circle")
      .value("ANNULUS", Shape::Annulus, "centre, two points at the two radii")
      .value("ANNULUS_SECTOR", Shape::AnnulusSector, "centre, then 5 points")
      .value("ELLIPSE", Shape::Ellipse, "centre, end points of the two semi-axes")
      .value("MASK", Shape::Mask, "anchor, then 3 or more outline points; and a mask image");
  m.attr("ShapeType") = cls.attr("ShapeType");

  cls.def(py::init<>())
      .def("add_roi", &addShape<true>, py::arg("points"), py::arg("type"),
           py::arg("mask") = py::none(),
           "Unites a shape given by its points (an N x 2 array-like, source pixels).")
      .def("sub_roi", &addShape<false>, py::arg("points"), py::arg("type"),
           py::arg("mask") = py::none(), "Removes a shape from the region.")
      .def("clear", &DetectRoi::clear)
      .def("empty", &DetectRoi::empty)
      .def(
          "set_angle", [](DetectRoi& r, float degrees) { r.setAngle(degrees); }, py::arg("degrees"))
      .def(
          "set_scale",
          [](DetectRoi& r, float scale) {
            if (!(scale > 0)) throw py::value_error("scale must be above 0");
            r.setScale(scale);
          },
          py::arg("scale"))
      .def("set_reserve_size", &DetectRoi::setReserveSize, py::arg("pixels"))
      .def_property_readonly("angle", &DetectRoi::angle)
      .def_property_readonly("scale", &DetectRoi::scale)
      .def_property_readonly("reserve_size", &DetectRoi::reserveSize)
      .def(
          "bounding_rect",
          [](DetectRoi& r) {
            const cv::Rect b = r.getRoiRect();
            return std::make_tuple(b.x, b.y, b.width, b.height);
          },
          "(x, y, width, height) in the source image; (0, 0, 0, 0) for an invalid region.")
      .def(
          "mask",
          [](DetectRoi& r, const std::tuple<int, int>& imageShape) -> py::object {
            const auto [rows, cols] = shapeOf(imageShape);
            const cv::Mat mask = r.getMask(cv::Size(cols, rows));
            if (mask.empty()) return py::none();
            return arrayCopy(mask);
          },
          py::arg("image_shape"),
          "The mask of the ROI image (uint8, 255 inside), or None when every pixel is inside.")
      .def(
          "roi_image",
          [](DetectRoi& r, const py::object& image) {
            const cv::Mat view = imageView(image, "image", 4);
            cv::Mat mask;
            const cv::Mat roiImage = r.getRoiImage(view, &mask);
            return py::make_tuple(arrayCopy(roiImage),
                                  mask.empty() ? py::object(py::none()) : arrayCopy(mask));
          },
          py::arg("image"), "(ROI image, mask or None), both copies.")
      .def("to_image", &mapPoint<&DetectRoi::toImage>, py::arg("x"), py::arg("y"),
           "A point of the ROI image in source coordinates.")
      .def("to_roi", &mapPoint<&DetectRoi::toRoi>, py::arg("x"), py::arg("y"),
           "A source point in ROI image coordinates.")
      .def(
          "save",
          [](const DetectRoi& r, const std::string& path, const std::string& key) {
            save(r, path, key);
          },
          py::arg("path"), py::arg("key") = kDefaultKey,
          "Writes the region under `key` (.yml, .xml or .json).")
      .def_static(
          "load", &load, py::arg("path"), py::arg("key") = kDefaultKey,
          "Reads a region written by save, gzip-compressed or not. ValueError when the file "
          "cannot be read, is malformed or holds no region under key.");
}

}  // namespace vistrel_python
