#pragma once

#include <cstdint>
#include <opencv2/core.hpp>
#include <vector>

// Synthetic grey scenes with known geometry, for tests, benchmarks and the sample generator.
// Edges are anti-aliased by area coverage (16 x 16 sub-samples in every pixel a boundary
// crosses), so a rendered circle's true centre and radius are known to a few thousandths of a
// pixel. Pixel (i, j) covers [j, j + 1) x [i, i + 1): its centre is (j + 0.5, i + 0.5).
// Every function is deterministic: the same arguments give the same pixels on every machine.
namespace scenes {

using Seed = std::uint64_t;

// A disc of grey value `inside` on `outside`, then an optional Gaussian blur (sigma in pixels,
// 0 = none) and additive Gaussian noise (sigma in grey levels, 0 = none). Returns CV_8UC1.
cv::Mat renderDisc(cv::Size size, cv::Point2d centre, double radius, double inside, double outside,
                   double blurSigma = 0.0, double noiseSigma = 0.0, Seed seed = 1);

// A ring between `innerRadius` and `outerRadius` of value `ring` on `background`.
cv::Mat renderRing(cv::Size size, cv::Point2d centre, double innerRadius, double outerRadius,
                   double ring, double background, double blurSigma = 0.0, double noiseSigma = 0.0,
                   Seed seed = 1);

// A filled ellipse with semi-axes `a` (along the direction `angleDeg`, measured from +x toward
// +y) and `b`.
cv::Mat renderEllipse(cv::Size size, cv::Point2d centre, double a, double b, double angleDeg,
                      double inside, double outside, double blurSigma = 0.0,
                      double noiseSigma = 0.0, Seed seed = 1);

// A wheel seen from the front. Lengths other than `radius` are fractions of `radius`.
struct WheelLayout {
  cv::Size size{1280, 1024};
  cv::Point2d centre{640.0, 512.0};
  double radius = 400.0;     // outer edge of the rim, in pixels
  double rimWidth = 0.12;    // width of the bright rim
  double hubRadius = 0.30;   // the central hub disc
  int spokes = 5;            // spokes from the hub to the rim (0: a solid face)
  double spokeWidth = 0.12;  // full width of a spoke
  int boltHoles = 5;         // holes on the bolt circle (0: none)
  double boltCircle = 0.20;  // radius of the bolt circle
  double boltRadius = 0.030;
  double boreRadius = 0.07;  // the central bore
  double angleDeg = 0.0;     // rotation of spokes and bolt holes about the centre
  double background = 30.0, rim = 200.0, face = 70.0, spoke = 170.0, hub = 185.0, hole = 15.0;
  double blurSigma = 1.0;
  double noiseSigma = 5.0;
  Seed seed = 1;
};
cv::Mat renderWheel(const WheelLayout& wheel);

// A natural-looking textured scene: smooth shading, blobs, bars and fine texture at several
// scales, with no dominant circle.
cv::Mat renderClutter(cv::Size size, Seed seed = 1);

// Adds zero-mean Gaussian noise of `sigma` grey levels to an 8-bit image, saturating.
void addGaussianNoise(cv::Mat& image, double sigma, Seed seed);

// A layered scene: each layer paints one shape with a value over the layers before it.
// Exposed so that tests can compose scenes the helpers above do not cover.
class Scene {
 public:
  explicit Scene(cv::Size size, double background);
  void disc(cv::Point2d centre, double radius, double value);
  void ellipse(cv::Point2d centre, double a, double b, double angleDeg, double value);
  // A convex polygon (vertices in order, either orientation).
  void polygon(const std::vector<cv::Point2d>& vertices, double value);
  // Renders, blurs, adds noise and converts to CV_8UC1 (rounded, saturated).
  cv::Mat render(double blurSigma = 0.0, double noiseSigma = 0.0, Seed seed = 1) const;
  // The layers painted, before blur and noise: CV_32FC1, grey values unrounded.
  cv::Mat canvas() const;

 private:
  struct Layer;
  cv::Size size_;
  double background_;
  std::vector<Layer> layers_;

 public:
  ~Scene();
  Scene(const Scene&);
  Scene& operator=(const Scene&);
};

// Paints the layers of renderWheel's wheel into `scene` (size, blur, noise and seed of `wheel`
// are not used), so that a caller can put layers behind and in front of it.
void addWheel(Scene& scene, const WheelLayout& wheel);

// What Scene::render does after painting: blurs a CV_32FC1 canvas, adds noise and converts it
// to CV_8UC1 (rounded, saturated).
cv::Mat finishCanvas(const cv::Mat& canvas, double blurSigma, double noiseSigma, Seed seed);

}  // namespace scenes
