#pragma once

#include <opencv2/core.hpp>

#include "scenes/scenes.h"

// Camera shots of wheels with known geometry, for the analysis tests and benchmark. Built on
// the shared scene renderer; every pixel is deterministic. Coordinates are the analysis' own:
// the centre of pixel (column j, row i) is at (j, i).
namespace wheelshots {

struct Shot {
  cv::Mat image;        // CV_8UC1
  cv::Point2d centre;   // the wheel's true centre
  double radius = 0.0;  // the true radius of its outline (the rim's outer edge)
};

// The default look of the renderer: a bright rim (200) on a dark belt (30), 12 % of the
// radius wide, five spokes and five bolt holes; blur 1 px, noise 5 grey levels.
scenes::WheelLayout brightLook(cv::Size size, cv::Point2d centre, double radius,
                               scenes::Seed seed = 1);

// `look` in one of three designs a template matcher tells apart: 0 keeps it (five spokes, five
// bolt holes), 1 has six narrower spokes, four bolt holes and a smaller hub, 2 a solid face with
// eight bolt holes, a larger hub and a wider rim.
scenes::WheelLayout withDesign(scenes::WheelLayout look, int design);

// A wheel of `look` as the camera delivers it.
Shot shotOf(const scenes::WheelLayout& look);

// A bright-rimmed wheel (brightLook).
Shot brightWheel(cv::Size size, cv::Point2d centre, double radius, scenes::Seed seed = 1);

// `look` with its grey values turned over: a dark rim (40) on a bright belt (220), so that its
// outline has the darker side inside.
scenes::WheelLayout darkened(scenes::WheelLayout look);

// A dark-rimmed wheel (darkened brightLook).
Shot darkWheel(cv::Size size, cv::Point2d centre, double radius, scenes::Seed seed = 1);

// A faint wheel: every grey value between 98 and 118, noise 1.5.
Shot faintWheel(cv::Size size, cv::Point2d centre, double radius, scenes::Seed seed = 1);

// A wheel standing inside a bright ring light (250 on 30, from 380/330 to 410/330 of the
// wheel's radius) that the camera sees in every shot, and the empty scene (the ring light
// alone, with noise of its own). On the shot, the ring light's outer edge is a stronger circle
// than the wheel's outline; subtracting the empty scene leaves the wheel alone.
struct RingLightShot {
  Shot shot;
  cv::Mat emptyScene;  // CV_8UC1, the shot's size
};
RingLightShot ringLightShot(cv::Size size, cv::Point2d centre, double wheelRadius);

// A bright-rimmed wheel (brightLook, without its noise) standing on a cluttered floor: the
// scene renderer's clutter, its contrast damped to 45 % around grey 70, everywhere outside the
// wheel's outline, blended by area coverage, then noise of 3 grey levels over the whole shot.
Shot clutteredWheel(cv::Size size, cv::Point2d centre, double radius, scenes::Seed seed = 1);

// `wheel` inside the circle of `radius` around `centre` (the renderer's frame: pixel centres at
// half-integers), `behind` outside it, blended by area coverage; CV_8UC1 images of one size.
cv::Mat inFront(const cv::Mat& wheel, const cv::Mat& behind, cv::Point2d centre, double radius);

// The scene renderer's clutter with its contrast damped to 45 % around grey `level`, so that a
// rim in front of it still stands out.
cv::Mat dampedClutter(cv::Size size, double level, scenes::Seed seed);

// A flat belt with noise and nothing on it.
cv::Mat emptyBelt(cv::Size size, scenes::Seed seed = 1);

// The template a host keeps for a design: the square of side 2 * radius around the wheel,
// rim touching the edges, light noise.
cv::Mat wheelTemplate(scenes::WheelLayout design, int radius);

}  // namespace wheelshots
