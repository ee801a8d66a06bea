#pragma once

#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "scenes/scenes.h"

// Hard wheel scenes with ground truth: part of the rim hidden behind bars (a fixture, a
// conveyor guide), objects of the rim's own grey touching and overlapping the rim, a lighting
// ramp and vignetting, noise and blur, both polarities, 640 x 480 to 2448 x 2048. Every pixel is
// deterministic.
namespace scenes {

struct HardSceneLayout {
  std::string name;      // e.g. "hard07_bright_1280x1024"
  WheelLayout wheel;     // renderer coordinates: pixel centres at half-integers
  bool darkRim = false;  // the rim darker than the belt: the outline's inside is darker
  // Bars crossing the rim, each a convex quadrilateral, and their grey.
  std::vector<std::vector<cv::Point2d>> occluders;
  std::vector<double> occluderGrey;
  double occludedShare = 0.0;  // share of the rim's circumference behind the bars
  // Objects of the rim's grey: behind the wheel, long ones lying along the rim that join its
  // outline (guides, belts); in front of it, small ones sitting on the outline.
  struct Blob {
    cv::Point2d centre;
    double along = 0.0, across = 0.0;  // semi-axes: along the rim, and towards the centre
    double angleDeg = 0.0;             // direction of the `along` axis
  };
  std::vector<Blob> clutterBehind, clutterInFront;
  // Rail segments hugging the rim from behind: (start angle, end angle in radians, outer
  // radius); their inner radius is inside the rim, so the outline there runs at the outer one.
  std::vector<cv::Vec3d> rails;
  double clutterGrey = 0.0;
  double rampGain = 0.0;      // the light rises by this share across the image...
  double rampAngleDeg = 0.0;  // ...in this direction
  double vignetting = 0.0;    // and falls by this share from the image centre to its corners
};

// The set's scenes, in a fixed order.
int hardSceneCount();
HardSceneLayout hardSceneLayout(int index);

struct HardScene {
  std::string name;
  cv::Mat image;        // CV_8UC1
  cv::Point2d centre;   // OpenCV pixel coordinates: the centre of pixel (col, row) is (col, row)
  double radius = 0.0;  // the rim's outer edge, in pixels
  bool darkRim = false;
  double occludedShare = 0.0;
};
HardScene renderHardScene(const HardSceneLayout& layout);
HardScene renderHardScene(int index);

}  // namespace scenes
