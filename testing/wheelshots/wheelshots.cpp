#include "wheelshots/wheelshots.h"

#include <tuple>

namespace wheelshots {

namespace {

// The renderer puts pixel centres at half-integers.
cv::Point2d toRenderer(cv::Point2d p) { return p + cv::Point2d(0.5, 0.5); }

// `look` with the grey values of its parts replaced.
scenes::WheelLayout withGreys(scenes::WheelLayout look, double background, double rim, double face,
                              double spoke, double hub, double hole) {
  std::tie(look.background, look.rim, look.face, look.spoke, look.hub, look.hole) =
      std::make_tuple(background, rim, face, spoke, hub, hole);
  return look;
}

// The noise-free wheel of `look` in front of `behind`, with noise of 3 grey levels.
Shot wheelInFront(scenes::WheelLayout look, const cv::Mat& behind, scenes::Seed noiseSeed) {
  look.noiseSigma = 0.0;
  Shot s = shotOf(look);
  s.image = inFront(s.image, behind, look.centre, look.radius);
  scenes::addGaussianNoise(s.image, 3.0, noiseSeed);
  return s;
}

}  // namespace

scenes::WheelLayout brightLook(cv::Size size, cv::Point2d centre, double radius,
                               scenes::Seed seed) {
  scenes::WheelLayout look;
  std::tie(look.size, look.centre, look.radius, look.seed) =
      std::make_tuple(size, toRenderer(centre), radius, seed);
  look.angleDeg = 7.0 * static_cast<double>(seed % 50);
  return look;
}

scenes::WheelLayout withDesign(scenes::WheelLayout look, int design) {
  if (design == 1) {
    std::tie(look.spokes, look.spokeWidth, look.boltHoles, look.hubRadius) =
        std::make_tuple(6, 0.10, 4, 0.26);
  } else if (design == 2) {
    std::tie(look.spokes, look.boltHoles, look.hubRadius, look.rimWidth) =
        std::make_tuple(0, 8, 0.40, 0.14);
  }
  return look;
}

Shot shotOf(const scenes::WheelLayout& look) {
  return {scenes::renderWheel(look), look.centre - cv::Point2d(0.5, 0.5), look.radius};
}

Shot brightWheel(cv::Size size, cv::Point2d centre, double radius, scenes::Seed seed) {
  return shotOf(brightLook(size, centre, radius, seed));
}

scenes::WheelLayout darkened(scenes::WheelLayout look) {
  return withGreys(look, 220.0, 40.0, 150.0, 60.0, 50.0, 240.0);
}

Shot darkWheel(cv::Size size, cv::Point2d centre, double radius, scenes::Seed seed) {
  return shotOf(darkened(brightLook(size, centre, radius, seed)));
}

Shot faintWheel(cv::Size size, cv::Point2d centre, double radius, scenes::Seed seed) {
  scenes::WheelLayout look =
      withGreys(brightLook(size, centre, radius, seed), 100.0, 118.0, 106.0, 114.0, 116.0, 98.0);
  look.noiseSigma = 1.5;
  return shotOf(look);
}

cv::Mat inFront(const cv::Mat& wheel, const cv::Mat& behind, cv::Point2d centre, double radius) {
  cv::Mat wheelF, alpha, behindF, out;
  wheel.convertTo(wheelF, CV_32F);
  scenes::renderDisc(wheel.size(), centre, radius, 255.0, 0.0)
      .convertTo(alpha, CV_32F, 1.0 / 255.0);
  behind.convertTo(behindF, CV_32F);
  cv::Mat(wheelF.mul(alpha) + behindF.mul(1.0f - alpha)).convertTo(out, CV_8U);
  return out;
}

cv::Mat dampedClutter(cv::Size size, double level, scenes::Seed seed) {
  cv::Mat clutter;
  scenes::renderClutter(size, seed).convertTo(clutter, CV_8U, 0.45, level - 0.45 * 128.0);
  return clutter;
}

RingLightShot ringLightShot(cv::Size size, cv::Point2d centre, double wheelRadius) {
  RingLightShot s;
  const cv::Mat ring = scenes::renderRing(size, toRenderer(centre), wheelRadius * 380.0 / 330.0,
                                          wheelRadius * 410.0 / 330.0, 250.0, 30.0);
  s.shot = wheelInFront(brightLook(size, centre, wheelRadius), ring, 11);
  s.emptyScene = ring.clone();
  scenes::addGaussianNoise(s.emptyScene, 3.0, 12);  // another exposure, other noise
  return s;
}

Shot clutteredWheel(cv::Size size, cv::Point2d centre, double radius, scenes::Seed seed) {
  return wheelInFront(brightLook(size, centre, radius, seed), dampedClutter(size, 70.0, seed),
                      seed + 100);
}

cv::Mat emptyBelt(cv::Size size, scenes::Seed seed) {
  cv::Mat belt(size, CV_8UC1, cv::Scalar(90));
  scenes::addGaussianNoise(belt, 3.0, seed);
  return belt;
}

cv::Mat wheelTemplate(scenes::WheelLayout design, int radius) {
  // The square's centre in the renderer's frame.
  std::tie(design.size, design.centre, design.radius) =
      std::make_tuple(cv::Size(2 * radius, 2 * radius), cv::Point2d(radius, radius), radius);
  design.angleDeg = 0.0;
  design.noiseSigma = 2.0;
  design.seed = 7;
  return scenes::renderWheel(design);
}

}  // namespace wheelshots
