// The Python module `vistrel`: the parameter-free circle and ellipse detector, the guided
// CircleDetector and detection regions, on NumPy arrays. Results are the C++ results, value for
// value; detections run without the interpreter lock.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cfloat>
#include <cmath>
#include <optional>
#include <string>
#include <tuple>

#include "arrays.h"
#include "vistrel/circledetector.h"
#include "vistrel/ellipsedetector.h"

namespace vistrel_python {

void bindRegions(py::module_& m);

namespace {

using CircleTuple = std::tuple<double, double, double>;
using Found = std::tuple<double, std::optional<CircleTuple>>;

CircleTuple toTuple(const cv::Vec3f& c) { return {c[0], c[1], c[2]}; }

py::tuple detectCirclesAndEllipses(const py::object& image) {
  const cv::Mat view = imageView(image, "image");
  ced::CircleEllipseResults found;
  {
    py::gil_scoped_release unlocked;
    found = ced::detectCirclesAndEllipses(view);
  }
  py::array_t<double> circles({static_cast<py::ssize_t>(found.circles.size()), py::ssize_t{3}});
  auto c = circles.mutable_unchecked<2>();
  for (std::size_t i = 0; i < found.circles.size(); ++i) {
    c(i, 0) = found.circles[i].center.x;
    c(i, 1) = found.circles[i].center.y;
    c(i, 2) = found.circles[i].r;
  }
  py::array_t<double> ellipses({static_cast<py::ssize_t>(found.ellipses.size()), py::ssize_t{5}});
  auto e = ellipses.mutable_unchecked<2>();
  for (std::size_t i = 0; i < found.ellipses.size(); ++i) {
    e(i, 0) = found.ellipses[i].center.x;
    e(i, 1) = found.ellipses[i].center.y;
    e(i, 2) = found.ellipses[i].axes.width;
    e(i, 3) = found.ellipses[i].axes.height;
    e(i, 4) = found.ellipses[i].theta;
  }
  return py::make_tuple(circles, ellipses);
}

// The optional mask of the in-region forms: None, or a 2-D uint8 array of the image's size.
cv::Mat maskView(const std::optional<py::object>& mask, const cv::Mat& image) {
  if (!mask) return {};
  const cv::Mat view = imageView(*mask, "mask");
  if (view.size() != image.size()) {
    throw py::value_error("mask must have the region image's shape");
  }
  return view;
}

cv::Point2f centreFrom(const std::tuple<float, float>& centre) {
  return {std::get<0>(centre), std::get<1>(centre)};
}

Found detectOne(const vistrel::CircleDetector& d, const py::object& image,
                const std::tuple<float, float>& centre) {
  const cv::Mat view = imageView(image, "image", 4);
  cv::Vec3f circle(0, 0, 0);
  float score = 0;
  {
    py::gil_scoped_release unlocked;
    score = d.detect(view, centreFrom(centre), circle);
  }
  if (std::fabs(score) <= FLT_EPSILON) return {score, std::nullopt};
  return {score, toTuple(circle)};
}

Found detectOneInRoi(const vistrel::CircleDetector& d, const py::object& image,
                     const std::optional<py::object>& mask) {
  const cv::Mat view = imageView(image, "roi_image", 4);
  const cv::Mat maskMat = maskView(mask, view);
  cv::Vec3f circle(0, 0, 0);
  float score = 0;
  {
    py::gil_scoped_release unlocked;
    score = d.detectInRoi(view, circle, nullptr, maskMat);
  }
  if (std::fabs(score) <= FLT_EPSILON) return {score, std::nullopt};
  return {score, toTuple(circle)};
}

std::vector<std::tuple<double, CircleTuple>> pairUp(const std::vector<cv::Vec3f>& circles,
                                                    const std::vector<float>& scores) {
  std::vector<std::tuple<double, CircleTuple>> out;
  for (std::size_t i = 0; i < circles.size() && i < scores.size(); ++i) {
    out.emplace_back(scores[i], toTuple(circles[i]));
  }
  return out;
}

int checkedCount(int maxCount) {
  if (maxCount < 1) throw py::value_error("max_count must be at least 1");
  return maxCount;
}

void bindCircleDetector(py::module_& m) {
  using vistrel::CircleDetector;
  py::enum_<vistrel::Polarity>(m, "Polarity", "Which edge direction counts.")
      .value("BLACK2WHITE", vistrel::Polarity::Black2White, "the inside is darker")
      .value("WHITE2BLACK", vistrel::Polarity::White2Black, "the inside is brighter")
      .value("EITHER", vistrel::Polarity::Either);
  py::enum_<vistrel::FindBy>(m, "FindBy", "Which radius peaks are reported, in what order.")
      .value("BEST", vistrel::FindBy::Best)
      .value("INNERMOST", vistrel::FindBy::Innermost)
      .value("OUTERMOST", vistrel::FindBy::Outermost)
      .value("ALL", vistrel::FindBy::All);

  py::class_<CircleDetector>(m, "CircleDetector",
                             "Finds circles around a given centre within a radius range.")
      .def(py::init<>())
      .def("set_polarity", &CircleDetector::setPolarity, py::arg("polarity"))
      .def("set_find_by", &CircleDetector::setFindBy, py::arg("find_by"))
      .def(
          "set_accept_threshold",
          [](CircleDetector& d, int percent) {
            if (percent < 0 || percent > 100) {
              throw py::value_error("accept threshold must be 0..100 percent");
            }
            d.setAcceptThreshold(percent);
          },
          py::arg("percent"))
      .def("set_edge_width", &CircleDetector::setEdgeWidth, py::arg("pixels"))
      .def(
          "set_radius_range",
          [](CircleDetector& d, int a, int b) {
            if (a < 0 || b < 0) throw py::value_error("radii must not be negative");
            d.setRadiusRange(a, b);
          },
          py::arg("a"), py::arg("b"))
      .def(
          "set_precision_preset",
          [](CircleDetector& d, int preset) {
            if (preset < -1 || preset > 3) throw py::value_error("precision preset must be -1..3");
            d.setPrecisionPreset(preset);
          },
          py::arg("preset"))
      .def("set_fixed_magnitude_scale", &CircleDetector::setFixedMagnitudeScale, py::arg("on"))
      .def_property_readonly("polarity", &CircleDetector::polarity)
      .def_property_readonly("find_by", &CircleDetector::findBy)
      .def_property_readonly("accept_threshold", &CircleDetector::acceptThreshold)
      .def_property_readonly("edge_width", &CircleDetector::edgeWidth)
      .def_property_readonly(
          "radius_range",
          [](const CircleDetector& d) { return std::make_tuple(d.minRadius(), d.maxRadius()); })
      .def_property_readonly("precision_preset", &CircleDetector::precisionPreset)
      .def_property_readonly("fixed_magnitude_scale", &CircleDetector::fixedMagnitudeScale)
      .def("detect", &detectOne, py::arg("image"), py::arg("center"),
           "The best circle around `center` (x, y): (score, (x, y, r)), or (0.0, None).")
      .def("detect_in_roi", &detectOneInRoi, py::arg("roi_image"), py::arg("mask") = py::none(),
           "detect on a cut-out region image centred on the rough centre, with its mask.")
      .def(
          "detect_many",
          [](const CircleDetector& d, const py::object& image, const std::tuple<float, float>& c,
             int maxCount) {
            const cv::Mat view = imageView(image, "image", 4);
            const int count = checkedCount(maxCount);
            std::vector<cv::Vec3f> circles;
            std::vector<float> scores;
            {
              py::gil_scoped_release unlocked;
              d.detectMany(view, centreFrom(c), &circles, &scores, nullptr, 0, count);
            }
            return pairUp(circles, scores);
          },
          py::arg("image"), py::arg("center"), py::arg("max_count") = 1,
          "Up to `max_count` circles around `center`: a list of (score, (x, y, r)).")
      .def(
          "detect_many_in_roi",
          [](const CircleDetector& d, const py::object& image, const std::optional<py::object>& mask,
             int maxCount) {
            const cv::Mat view = imageView(image, "roi_image", 4);
            const cv::Mat maskMat = maskView(mask, view);
            const int count = checkedCount(maxCount);
            std::vector<cv::Vec3f> circles;
            std::vector<float> scores;
            {
              py::gil_scoped_release unlocked;
              d.detectManyInRoi(view, &circles, &scores, nullptr, 0, count, maskMat);
            }
            return pairUp(circles, scores);
          },
          py::arg("roi_image"), py::arg("mask") = py::none(), py::arg("max_count") = 1);
}

}  // namespace
}  // namespace vistrel_python

PYBIND11_MODULE(vistrel, m) {
  namespace vp = vistrel_python;
  m.doc() = "Circle and ellipse detection and detection regions of the vistrel library.";
  m.def("detect_circles_and_ellipses", &vp::detectCirclesAndEllipses, vp::py::arg("image"),
        "Parameter-free detection in an 8-bit grey image (2-D uint8 array). Returns (circles, "
        "ellipses): float64 arrays of rows (x, y, r) and (x, y, width, height, theta), largest "
        "first; theta in radians.");
  vp::bindCircleDetector(m);
  vp::bindRegions(m);
}
