#include "wheelshots/wheelshots.h"

namespace wheelshots {

namespace {

// The renderer puts pixel centres at half-integers.
cv::Point2d toRenderer(cv::Point2d p) { return p + cv::Point2d(0.5, 0.5); }

// `look` with the grey values of its parts replaced.
scenes::WheelLayout withGreys(scenes::WheelLayout look, double background, double rim, double face,
                              double spoke, double hub, double hole) {
  look.background = background;
  look.rim = rim;
  look.face = face;
  look.spoke = spoke;
  look.hub = hub;
  look.hole = hole;
  return look;
}

}  // namespace

scenes::WheelLayout brightLook(cv::Size size, cv::Point2d centre, double radius,
                               scenes::Seed seed) {
  scenes::WheelLayout look;
  look.size = size;
  look.centre = toRenderer(centre);
  look.radius = radius;
  look.seed = seed;
  look.angleDeg = 7.0 * static_cast<double>(seed % 50);
  return look;
}

scenes::WheelLayout withDesign(scenes::WheelLayout look, int design) {
  if (design == 1) {
    look.spokes = 6;
    look.spokeWidth = 0.10;
    look.boltHoles = 4;
    look.hubRadius = 0.26;
  } else if (design == 2) {
    look.spokes = 0;
    look.boltHoles = 8;
    look.hubRadius = 0.40;
    look.rimWidth = 0.14;
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
  const cv::Mat composed = wheelF.mul(alpha) + behindF.mul(1.0f - alpha);
  composed.convertTo(out, CV_8U);
  return out;
}

cv::Mat dampedClutter(cv::Size size, double level, scenes::Seed seed) {
  cv::Mat clutter;
  scenes::renderClutter(size, seed).convertTo(clutter, CV_8U, 0.45, level - 0.45 * 128.0);
  return clutter;
}

namespace {

// The noise-free bright wheel of `look` in front of `behind`, with noise of 3 grey levels.
Shot wheelInFront(scenes::WheelLayout look, const cv::Mat& behind, scenes::Seed noiseSeed) {
  look.noiseSigma = 0.0;
  Shot s;
  s.image = inFront(scenes::renderWheel(look), behind, look.centre, look.radius);
  scenes::addGaussianNoise(s.image, 3.0, noiseSeed);
  s.centre = look.centre - cv::Point2d(0.5, 0.5);
  s.radius = look.radius;
  return s;
}

}  // namespace

RingLightShot ringLightShot(cv::Size size, cv::Point2d centre, double wheelRadius) {
  RingLightShot s;
  const cv::Point2d c = toRenderer(centre);
  s.ringOuter = wheelRadius * 410.0 / 330.0;
  const cv::Mat ring =
      scenes::renderRing(size, c, wheelRadius * 380.0 / 330.0, s.ringOuter, 250.0, 30.0);
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
  design.size = cv::Size(2 * radius, 2 * radius);
  design.centre = cv::Point2d(radius, radius);  // the square's centre in the renderer's frame
  design.radius = radius;
  design.angleDeg = 0.0;
  design.noiseSigma = 2.0;
  design.seed = 7;
  return scenes::renderWheel(design);
}

}  // namespace wheelshots
