#pragma once

// Wheel images shared by the matcher tests.

#include <opencv2/core.hpp>

#include "scenes/scenes.h"

namespace matchertest {

// A wheel centred in a square of `side` px, its rim touching the square's edges.
inline cv::Mat wheelSquare(int side, int spokes, int boltHoles, double angleDeg,
                           scenes::Seed seed = 1) {
  scenes::WheelLayout look;
  look.size = {side, side};
  look.centre = {side / 2.0, side / 2.0};
  look.radius = side / 2.0;
  look.spokes = spokes;
  look.boltHoles = boltHoles;
  look.angleDeg = angleDeg;
  look.seed = seed;
  return scenes::renderWheel(look);
}

}  // namespace matchertest
