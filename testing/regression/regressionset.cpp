#include "regressionset.h"

#include <QPixmap>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <opencv2/imgproc.hpp>
#include <sstream>
#include <stdexcept>

#include "algorithmfluorescence.h"
#include "debuglog/debuglog.h"
#include "fluorescenceresult.h"
#include "matcher/templatematcher.h"
#include "objects/imageobject.h"
#include "objects/parameterbuilder.h"
#include "objects/wheelmodel.h"
#include "scenes/scenes.h"
#include "vistrel/circledetector.h"
#include "vistrel/ellipsedetector.h"
#include "wheelshots/wheelshots.h"

namespace regression {

namespace {

const cv::Size kSmall(640, 480), kMedium(1280, 1024), kLarge(2448, 2048);
constexpr double kD2h = 0.5;
constexpr int kThickness = 180;
const char* const kModelNames[] = {"WHEEL-5", "WHEEL-6", "WHEEL-0"};

struct ShotSettings {
  cv::Size size;
  cv::Point2d centre;  // pixel centres at integer positions
  double radius;
  // One of three designs the catalogue's template matchers tell apart: five spokes, six
  // spokes, a solid face with eight bolt holes.
  int design = 0;
  bool dark = false;
  scenes::Seed seed = 1;
};

// A bar over the image: from `from` to `to`, `width` pixels wide, of grey `grey`.
struct Bar {
  cv::Point2d from, to;
  double width, grey;
};

void occlude(cv::Mat& image, const Bar& bar) {
  const cv::Point2d d = (bar.to - bar.from) / cv::norm(bar.to - bar.from);
  const cv::Point2d n(-d.y * bar.width / 2.0, d.x * bar.width / 2.0);
  const cv::Point2d corners[] = {bar.from + n, bar.to + n, bar.to - n, bar.from - n};
  std::vector<cv::Point> polygon;
  for (const cv::Point2d& c : corners) {
    polygon.emplace_back(cvRound(c.x * 16.0), cvRound(c.y * 16.0));
  }
  cv::fillConvexPoly(image, polygon, cv::Scalar(bar.grey), cv::LINE_AA, 4);
}

// A scene rendered by `render`, analysed with the default settings but `filterSize`. Without a
// wheel, its centre and radius are where the guided detector is told to look.
Scene scene(const std::string& name, cv::Point2d centre, double radius, int filterSize,
            bool hasWheel, std::function<cv::Mat()> render) {
  return Scene{name, std::move(render), hasWheel, centre, radius, 1, filterSize};
}

// The wheel of `w` in front of damped clutter around grey `clutterLevel` (0: a plain
// background), then `bars` over both.
Scene wheel(const std::string& name, const ShotSettings& w, int filterSize,
            double clutterLevel = 0.0, std::vector<Bar> bars = {}) {
  auto render = [w, clutterLevel, bars = std::move(bars)] {
    scenes::WheelLayout look = wheelshots::withDesign(
        wheelshots::brightLook(w.size, w.centre, w.radius, w.seed), w.design);
    cv::Mat image = scenes::renderWheel(w.dark ? wheelshots::darkened(look) : look);
    if (clutterLevel > 0.0) {
      image =
          wheelshots::inFront(image, wheelshots::dampedClutter(w.size, clutterLevel, w.seed + 100),
                              w.centre + cv::Point2d(0.5, 0.5), w.radius);
    }
    for (const Bar& bar : bars) occlude(image, bar);
    return image;
  };
  return Scene{name, render, true, w.centre, w.radius, w.dark ? 0 : 1, filterSize};
}

std::vector<Scene> buildScenes() {
  std::vector<Scene> list;
  // Clean wheels of the three designs, both polarities and a faint one, at the three sizes.
  list.push_back(wheel("small-bright", {kSmall, {320.3, 240.7}, 180.0, 0, false, 1}, 100));
  list.push_back(wheel("small-bright-six", {kSmall, {280.5, 250.25}, 150.0, 1, false, 2}, 80));
  list.push_back(wheel("small-dark", {kSmall, {330.0, 235.0}, 170.0, 0, true, 3}, 100));
  list.push_back(wheel("small-dark-solid", {kSmall, {300.6, 230.1}, 160.0, 2, true, 4}, 90));
  list.push_back(wheel("small-solid", {kSmall, {340.2, 244.9}, 190.0, 2, false, 5}, 100));
  list.push_back(wheel("small-little", {kSmall, {200.4, 300.8}, 60.0, 0, false, 6}, 30));
  list.push_back(wheel("medium-bright", {kMedium, {600.5, 520.5}, 380.0, 0, false, 5}, 200));
  list.push_back(wheel("medium-six", {kMedium, {650.2, 500.7}, 420.0, 1, false, 7}, 200));
  list.push_back(wheel("medium-dark-solid", {kMedium, {640.0, 512.0}, 400.0, 2, true, 8}, 200));
  list.push_back(wheel("medium-filling", {kMedium, {641.3, 511.6}, 500.0, 0, false, 9}, 250));
  list.push_back(wheel("large-bright", {kLarge, {1300.5, 1000.5}, 760.0, 0, false, 5}, 200));
  list.push_back(wheel("large-dark-six", {kLarge, {1200.3, 1050.8}, 800.0, 1, true, 10}, 400));
  list.push_back(wheel("large-solid", {kLarge, {1224.0, 1024.0}, 700.0, 2, false, 11}, 400));

  // Faint wheels: every grey value within 20 levels.
  list.push_back(scene("small-faint", {318.0, 242.0}, 175.0, 100, true, [] {
    return wheelshots::faintWheel(kSmall, {318.0, 242.0}, 175.0, 12).image;
  }));
  list.push_back(scene("medium-faint", {630.7, 515.2}, 390.0, 200, true, [] {
    return wheelshots::faintWheel(kMedium, {630.7, 515.2}, 390.0, 13).image;
  }));
  // A ring light whose outer edge is a stronger circle than the wheel's outline.
  list.push_back(scene("medium-ring-light", {640.0, 512.0}, 300.0, 150, true, [] {
    return wheelshots::ringLightShot(kMedium, {640.0, 512.0}, 300.0).shot.image;
  }));
  // Wheels on cluttered belts, and bars hiding part of the rim.
  list.push_back(wheel("small-clutter", {kSmall, {322.4, 238.9}, 170.0, 0, false, 14}, 100, 60.0));
  list.push_back(
      wheel("small-clutter-dark", {kSmall, {310.1, 250.3}, 165.0, 1, true, 15}, 100, 170.0));
  list.push_back(
      wheel("medium-clutter", {kMedium, {612.8, 530.3}, 400.0, 1, false, 16}, 200, 70.0));
  list.push_back(wheel("large-clutter", {kLarge, {1250.2, 990.7}, 780.0, 0, false, 17}, 400, 70.0));
  list.push_back(
      wheel("large-clutter-dark", {kLarge, {1180.6, 1030.4}, 720.0, 2, true, 18}, 400, 160.0));
  list.push_back(wheel("small-occluded", {kSmall, {318.7, 241.3}, 175.0, 0, false, 19}, 100, 0.0,
                       {{{480.0, 0.0}, {520.0, 480.0}, 40.0, 120.0}}));
  list.push_back(wheel("medium-occluded", {kMedium, {640.4, 505.9}, 410.0, 1, false, 20}, 200, 0.0,
                       {{{0.0, 180.0}, {1280.0, 260.0}, 60.0, 200.0},
                        {{900.0, 1024.0}, {1100.0, 600.0}, 50.0, 90.0}}));
  list.push_back(wheel("large-occluded-clutter", {kLarge, {1230.1, 1010.6}, 790.0, 2, true, 21},
                       400, 170.0, {{{300.0, 2048.0}, {700.0, 0.0}, 90.0, 35.0}}));
  // A wheel partly outside the image.
  list.push_back(wheel("small-at-border", {kSmall, {560.2, 250.6}, 150.0, 0, false, 22}, 80));
  // The right settings for another polarity, equalisation, a wide edge and a high threshold.
  list.push_back(wheel("small-wrong-polarity", {kSmall, {320.3, 240.7}, 180.0, 0, false, 23}, 100));
  list.back().polarity = 0;
  list.push_back(wheel("medium-equalised", {kMedium, {600.5, 520.5}, 380.0, 0, false, 24}, 200));
  list.back().equalize = true;
  list.push_back(wheel("medium-wide-edge", {kMedium, {655.5, 498.2}, 395.0, 2, false, 25}, 200));
  list.back().edgeWidth = 6;
  list.back().acceptance = 20;
  // No wheel: an empty belt, clutter, an ellipse and a thin ring.
  list.push_back(scene("small-empty-belt", {320.0, 240.0}, 150.0, 80, false,
                       [] { return wheelshots::emptyBelt(kSmall, 26); }));
  list.push_back(scene("small-ellipse", {320.0, 240.0}, 150.0, 80, false, [] {
    return scenes::renderEllipse(kSmall, {330.5, 230.5}, 200.0, 120.0, 25.0, 190.0, 40.0, 1.0, 4.0,
                                 27);
  }));
  list.push_back(scene("small-ring", {320.0, 240.0}, 150.0, 80, false, [] {
    return scenes::renderRing(kSmall, {300.5, 250.5}, 140.0, 150.0, 210.0, 50.0, 1.0, 4.0, 28);
  }));
  list.push_back(scene("medium-clutter-only", {640.0, 512.0}, 350.0, 200, false,
                       [] { return scenes::renderClutter(kMedium, 29); }));
  return list;
}

std::string format(const char* fmt, ...) {
  char buffer[512];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(buffer, sizeof buffer, fmt, args);
  va_end(args);
  return buffer;
}

// The host's catalogue: the three designs, each with a real template matcher.
struct Catalogue {
  Catalogue() {
    for (int i = 0; i < 3; ++i) {
      scenes::WheelLayout design = wheelshots::withDesign(scenes::WheelLayout(), i);
      matchers.push_back(
          std::make_unique<wheelhost::TemplateMatcher>(wheelshots::wheelTemplate(design, 200)));
      models.push_back(
          std::make_unique<wheelhost::ScriptedWheelModel>(0.0, 0.0, matchers.back().get()));
      map.insert(kModelNames[i], models.back().get());
      names << kModelNames[i];
    }
  }
  std::vector<std::unique_ptr<wheelhost::TemplateMatcher>> matchers;
  std::vector<std::unique_ptr<wheelhost::ScriptedWheelModel>> models;
  WheelModelMap map;
  QStringList names;
};

void detectorOutputs(const cv::Mat& image, std::vector<std::string>& out) {
  const ced::CircleEllipseResults found = ced::detectCirclesAndEllipses(image);
  out.push_back(format("detector %d %d", static_cast<int>(found.circles.size()),
                       static_cast<int>(found.ellipses.size())));
  for (const ced::mCircle& c : found.circles) {
    out.push_back(format("circle %.17g %.17g %.17g", c.center.x, c.center.y, c.r));
  }
  for (const ced::mEllipse& e : found.ellipses) {
    out.push_back(format("ellipse %.17g %.17g %d %d %.17g", e.center.x, e.center.y, e.axes.width,
                         e.axes.height, e.theta));
  }
}

void guidedOutputs(const Scene& scene, const cv::Mat& image, std::vector<std::string>& out) {
  vistrel::CircleDetector detector;
  detector.setPolarity(scene.polarity == 0 ? vistrel::Polarity::Black2White
                                           : vistrel::Polarity::White2Black);
  detector.setRadiusRange(static_cast<int>(scene.radius * 0.85),
                          static_cast<int>(scene.radius * 1.15));
  // A start a few pixels off, as the coarse stage gives it.
  const cv::Point2f start(static_cast<float>(scene.centre.x + 2.5),
                          static_cast<float>(scene.centre.y - 1.5));
  cv::Vec3f circle(0, 0, 0);
  const float score = detector.detect(image, start, circle);
  out.push_back(format("guided %.9g %.9g %.9g %.9g", score, circle[0], circle[1], circle[2]));

  std::vector<cv::Vec3f> circles;
  std::vector<float> scores;
  const int found = detector.detectMany(image, start, &circles, &scores, nullptr, 0, 3);
  out.push_back(format("guided-many %d", found));
  for (size_t i = 0; i < circles.size() && i < scores.size(); ++i) {
    out.push_back(format("guided-many-circle %.9g %.9g %.9g %.9g", scores[i], circles[i][0],
                         circles[i][1], circles[i][2]));
  }
}

void analysisOutputs(const Scene& scene, const cv::Mat& image, std::vector<std::string>& out) {
  static Catalogue catalogue;
  wheelhost::ParameterBuilder p;
  p.modelMap(&catalogue.map)
      .defectList(&catalogue.names)
      .d2h(kD2h)
      .thickness(kThickness)
      .filterSize(scene.filterSize)
      .circlePolarity(scene.polarity)
      .circleAcceptance(scene.acceptance)
      .circleEdgeWidth(scene.edgeWidth)
      .equalize(scene.equalize);
  wheelhost::ImageObject host(image);
  host.setParameters(p.map());
  CAlgorithmFluorescence algorithm;
  int returned = 0;
  {
    testlog::DebugLog log;
    returned = algorithm.IImageAnalysis(&host, nullptr, nullptr);
    std::string joined;
    for (const std::string& line : log.lines()) joined += (joined.empty() ? "" : " | ") + line;
    out.push_back("log " + joined);
  }
  QStringList keys = host.results().keys();
  keys.sort();
  out.push_back(format("analysis %d %s", returned,
                       keys.isEmpty() ? "-" : keys.join(',').toStdString().c_str()));
  const FluorescenceResult* record = host.result();
  if (record == nullptr) return;
  const std::string model = record->model.isEmpty() ? "-" : record->model.toStdString();
  out.push_back(format("record %.17g %.17g %s %.17g %.17g %d %d %d %d", record->diameter,
                       record->thickness, model.c_str(), record->score, record->similarity,
                       record->image.width(), record->image.height(), record->source.width(),
                       record->source.height()));
}

bool isNumber(const std::string& word, double& value) {
  if (word.empty()) return false;
  char* end = nullptr;
  value = std::strtod(word.c_str(), &end);
  return end == word.c_str() + word.size();
}

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

}  // namespace

const std::vector<Scene>& scenes() {
  static const std::vector<Scene> list = buildScenes();
  return list;
}

std::vector<std::string> outputsOf(const Scene& scene) {
  const cv::Mat image = scene.render();
  std::vector<std::string> out;
  detectorOutputs(image, out);
  guidedOutputs(scene, image, out);
  analysisOutputs(scene, image, out);
  return out;
}

Golden readGolden(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read the golden file " + path);
  Golden golden;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      golden.emplace_back(line.substr(1, line.size() - 2), std::vector<std::string>());
    } else if (!golden.empty()) {
      golden.back().second.push_back(line);
    } else {
      throw std::runtime_error("golden file " + path + ": a line before the first scene");
    }
  }
  return golden;
}

void writeGolden(const std::string& path, const Golden& golden) {
  std::ofstream out(path);
  if (!out) throw std::runtime_error("cannot write the golden file " + path);
  out << "# Every output of the regression set (testing/regression). Written by\n"
         "# scripts/regen-golden; a change here is a change of behaviour: review it.\n";
  for (const auto& scene : golden) {
    out << '[' << scene.first << "]\n";
    for (const std::string& line : scene.second) out << line << '\n';
  }
  if (!out) throw std::runtime_error("cannot write the golden file " + path);
}

std::string compareLine(const std::string& expected, const std::string& actual) {
  const std::vector<std::string> e = words(expected), a = words(actual);
  if (e.size() != a.size()) return "different number of values";
  for (size_t i = 0; i < e.size(); ++i) {
    double x = 0.0, y = 0.0;
    // Integers (signs and digits only; any other such word is no number) compare exactly.
    if (e[i].find_first_not_of("+-0123456789") == std::string::npos || !isNumber(e[i], x) ||
        !isNumber(a[i], y)) {
      if (e[i] != a[i]) return "value " + std::to_string(i) + ": " + e[i] + " vs " + a[i];
      continue;
    }
    const double scale = std::max({1.0, std::fabs(x), std::fabs(y)});
    if (std::isnan(x) && std::isnan(y)) continue;
    if (!(std::fabs(x - y) <= 1e-9 * scale)) {
      return "value " + std::to_string(i) + ": " + e[i] + " vs " + a[i];
    }
  }
  return "";
}

}  // namespace regression
