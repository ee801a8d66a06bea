#pragma once

#include <functional>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

// The regression set: rendered scenes whose every detector and analysis output is pinned in a
// golden file. A change that alters any of them is either a bug or a deliberate change of
// behaviour, and the latter rewrites the golden file in a commit of its own.
namespace regression {

// One scene and how it is analysed.
struct Scene {
  std::string name;
  std::function<cv::Mat()> render;  // CV_8UC1, deterministic
  bool hasWheel = true;
  cv::Point2d centre;     // the wheel's centre (pixel centres at integer positions)
  double radius = 0.0;    // the wheel's outline radius
  int polarity = 1;       // "Circle_Polarity": 1 when the rim is brighter than the belt
  int filterSize = 0;     // "filterSize"
  bool equalize = false;  // "bEqual"
  int edgeWidth = 3;      // "Circle_EdgeWidth"
  int acceptance = 3;     // "Circle_ACThres"
};

// The scenes, in the order of the golden file.
const std::vector<Scene>& scenes();

// Every output of `scene`, one record per line ("<kind> <values...>"): the circle and ellipse
// detector's circles and ellipses on the image, the guided detector's circle and score (one
// circle, and up to three), and the analysis record of one IImageAnalysis call. Needs a
// running QGuiApplication (the record holds pixmaps).
std::vector<std::string> outputsOf(const Scene& scene);

// The golden file: "[scene name]" heads each scene's lines.
using Golden = std::vector<std::pair<std::string, std::vector<std::string>>>;
Golden readGolden(const std::string& path);
void writeGolden(const std::string& path, const Golden& golden);

// Compares two output lines: the same words, integers and words exactly, other numbers to a
// relative 1e-9 (absolute below 1). Returns "" when they agree, else what differs.
std::string compareLine(const std::string& expected, const std::string& actual);

}  // namespace regression
