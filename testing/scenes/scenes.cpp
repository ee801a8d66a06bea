#include "scenes.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <random>

namespace scenes {
namespace {

constexpr int kSubSamples = 16;

// Uniform (0, 1] and standard normal draws from a fully defined generator, so that noise is the
// same with every standard library.
class Noise {
 public:
  explicit Noise(Seed seed) : gen_(seed) {}
  double uniform() { return (static_cast<double>(gen_() >> 11) + 1.0) * 0x1.0p-53; }
  double normal() {
    if (hasSpare_) {
      hasSpare_ = false;
      return spare_;
    }
    const double u1 = uniform(), u2 = uniform();
    const double m = std::sqrt(-2.0 * std::log(u1));
    spare_ = m * std::sin(2.0 * CV_PI * u2);
    hasSpare_ = true;
    return m * std::cos(2.0 * CV_PI * u2);
  }

 private:
  std::mt19937_64 gen_;
  bool hasSpare_ = false;
  double spare_ = 0.0;
};

}  // namespace

cv::Mat finishCanvas(const cv::Mat& canvas, double blurSigma, double noiseSigma, Seed seed) {
  cv::Mat work = canvas;
  if (blurSigma > 0.0) {
    cv::GaussianBlur(canvas, work, cv::Size(0, 0), blurSigma, blurSigma, cv::BORDER_REPLICATE);
  }
  if (noiseSigma > 0.0) {
    if (work.data == canvas.data) work = canvas.clone();
    Noise noise(seed);
    for (int i = 0; i < work.rows; ++i) {
      float* row = work.ptr<float>(i);
      for (int j = 0; j < work.cols; ++j) row[j] += static_cast<float>(noiseSigma * noise.normal());
    }
  }
  cv::Mat out;
  work.convertTo(out, CV_8U);  // rounds and saturates
  return out;
}

struct Scene::Layer {
  enum Kind { kEllipse, kPolygon } kind;
  double value;
  // Ellipse: centre, semi-axes, direction cosines of the first axis.
  cv::Point2d centre;
  double a = 0, b = 0, cosA = 1, sinA = 0;
  // Convex polygon as half-planes n.p <= d.
  std::vector<cv::Point3d> halfPlanes;
  cv::Rect2d bounds;

  bool contains(double x, double y) const {
    if (kind == kEllipse) {
      const double dx = x - centre.x, dy = y - centre.y;
      const double u = dx * cosA + dy * sinA, v = -dx * sinA + dy * cosA;
      return (u * u) / (a * a) + (v * v) / (b * b) <= 1.0;
    }
    for (const cv::Point3d& h : halfPlanes) {
      if (h.x * x + h.y * y > h.z) return false;
    }
    return true;
  }
};

Scene::Scene(cv::Size size, double background) : size_(size), background_(background) {}
Scene::~Scene() = default;
Scene::Scene(const Scene&) = default;
Scene& Scene::operator=(const Scene&) = default;

void Scene::disc(cv::Point2d centre, double radius, double value) {
  ellipse(centre, radius, radius, 0.0, value);
}

void Scene::ellipse(cv::Point2d centre, double a, double b, double angleDeg, double value) {
  if (a <= 0.0 || b <= 0.0) return;
  Layer layer;
  layer.kind = Layer::kEllipse;
  layer.value = value;
  layer.centre = centre;
  layer.a = a;
  layer.b = b;
  layer.cosA = std::cos(angleDeg * CV_PI / 180.0);
  layer.sinA = std::sin(angleDeg * CV_PI / 180.0);
  const double m = std::max(a, b);
  layer.bounds = cv::Rect2d(centre.x - m, centre.y - m, 2 * m, 2 * m);
  layers_.push_back(layer);
}

void Scene::polygon(const std::vector<cv::Point2d>& v, double value) {
  if (v.size() < 3) return;
  Layer layer;
  layer.kind = Layer::kPolygon;
  layer.value = value;
  // Orientation decides which side of each edge is inside.
  double area2 = 0.0;
  for (size_t i = 0; i < v.size(); ++i) {
    const cv::Point2d& p = v[i];
    const cv::Point2d& q = v[(i + 1) % v.size()];
    area2 += p.x * q.y - q.x * p.y;
  }
  const double s = area2 >= 0 ? 1.0 : -1.0;
  double x0 = v[0].x, x1 = v[0].x, y0 = v[0].y, y1 = v[0].y;
  for (size_t i = 0; i < v.size(); ++i) {
    const cv::Point2d& p = v[i];
    const cv::Point2d& q = v[(i + 1) % v.size()];
    // Inside is to the left of p->q for counter-clockwise (area2 > 0 in y-down coordinates
    // means clockwise on screen, which only flips the sign).
    const cv::Point2d n(s * (q.y - p.y), -s * (q.x - p.x));
    layer.halfPlanes.emplace_back(n.x, n.y, n.x * p.x + n.y * p.y);
    x0 = std::min(x0, p.x), x1 = std::max(x1, p.x), y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
  }
  layer.bounds = cv::Rect2d(x0, y0, x1 - x0, y1 - y0);
  layers_.push_back(layer);
}

cv::Mat Scene::render(double blurSigma, double noiseSigma, Seed seed) const {
  return finishCanvas(canvas(), blurSigma, noiseSigma, seed);
}

cv::Mat Scene::canvas() const {
  cv::Mat canvas(size_, CV_32F, cv::Scalar(background_));
  std::vector<unsigned char> corners;
  for (const Layer& layer : layers_) {
    const int c0 = std::max(0, static_cast<int>(std::floor(layer.bounds.x)) - 1);
    const int r0 = std::max(0, static_cast<int>(std::floor(layer.bounds.y)) - 1);
    const int c1 = std::min(size_.width, static_cast<int>(std::ceil(layer.bounds.br().x)) + 1);
    const int r1 = std::min(size_.height, static_cast<int>(std::ceil(layer.bounds.br().y)) + 1);
    if (c0 >= c1 || r0 >= r1) continue;
    const int w = c1 - c0 + 1;
    corners.assign(static_cast<size_t>(w) * (r1 - r0 + 1), 0);
    for (int i = r0; i <= r1; ++i) {
      for (int j = c0; j <= c1; ++j) {
        corners[static_cast<size_t>(i - r0) * w + (j - c0)] = layer.contains(j, i) ? 1 : 0;
      }
    }
    for (int i = r0; i < r1; ++i) {
      float* row = canvas.ptr<float>(i);
      const unsigned char* top = &corners[static_cast<size_t>(i - r0) * w];
      const unsigned char* bottom = top + w;
      for (int j = c0; j < c1; ++j) {
        const int k = j - c0;
        const int sum = top[k] + top[k + 1] + bottom[k] + bottom[k + 1] +
                        (layer.contains(j + 0.5, i + 0.5) ? 1 : 0);
        double coverage;
        if (sum == 0) {
          continue;
        } else if (sum == 5) {
          coverage = 1.0;
        } else {
          int inside = 0;
          for (int sy = 0; sy < kSubSamples; ++sy) {
            const double y = i + (sy + 0.5) / kSubSamples;
            for (int sx = 0; sx < kSubSamples; ++sx) {
              inside += layer.contains(j + (sx + 0.5) / kSubSamples, y) ? 1 : 0;
            }
          }
          coverage = static_cast<double>(inside) / (kSubSamples * kSubSamples);
        }
        row[j] = static_cast<float>(row[j] * (1.0 - coverage) + layer.value * coverage);
      }
    }
  }
  return canvas;
}

cv::Mat renderDisc(cv::Size size, cv::Point2d centre, double radius, double inside, double outside,
                   double blurSigma, double noiseSigma, Seed seed) {
  Scene scene(size, outside);
  scene.disc(centre, radius, inside);
  return scene.render(blurSigma, noiseSigma, seed);
}

cv::Mat renderRing(cv::Size size, cv::Point2d centre, double innerRadius, double outerRadius,
                   double ring, double background, double blurSigma, double noiseSigma, Seed seed) {
  Scene scene(size, background);
  scene.disc(centre, outerRadius, ring);
  scene.disc(centre, innerRadius, background);
  return scene.render(blurSigma, noiseSigma, seed);
}

cv::Mat renderEllipse(cv::Size size, cv::Point2d centre, double a, double b, double angleDeg,
                      double inside, double outside, double blurSigma, double noiseSigma,
                      Seed seed) {
  Scene scene(size, outside);
  scene.ellipse(centre, a, b, angleDeg, inside);
  return scene.render(blurSigma, noiseSigma, seed);
}

void addWheel(Scene& scene, const WheelLayout& s) {
  const double R = s.radius;
  scene.disc(s.centre, R, s.rim);
  const double inner = R * (1.0 - s.rimWidth);
  scene.disc(s.centre, inner, s.spokes > 0 ? s.face : s.rim * 0.8);
  const double rad = s.angleDeg * CV_PI / 180.0;
  for (int k = 0; k < s.spokes; ++k) {
    const double t = rad + 2.0 * CV_PI * k / s.spokes;
    const cv::Point2d d(std::cos(t), std::sin(t)), n(-d.y, d.x);
    const double hw = 0.5 * s.spokeWidth * R;
    const double r0 = R * s.hubRadius * 0.5, r1 = inner + 1.0;
    scene.polygon({s.centre + d * r0 + n * hw, s.centre + d * r1 + n * hw,
                   s.centre + d * r1 - n * hw, s.centre + d * r0 - n * hw},
                  s.spoke);
  }
  scene.disc(s.centre, R * s.hubRadius, s.hub);
  for (int k = 0; k < s.boltHoles; ++k) {
    const double t = rad + 2.0 * CV_PI * (k + 0.5) / s.boltHoles;
    const cv::Point2d p = s.centre + cv::Point2d(std::cos(t), std::sin(t)) * (R * s.boltCircle);
    scene.disc(p, R * s.boltRadius, s.hole);
  }
  if (s.boreRadius > 0.0) scene.disc(s.centre, R * s.boreRadius, s.hole);
}

cv::Mat renderWheel(const WheelLayout& s) {
  Scene scene(s.size, s.background);
  addWheel(scene, s);
  return scene.render(s.blurSigma, s.noiseSigma, s.seed);
}

cv::Mat renderClutter(cv::Size size, Seed seed) {
  Noise rng(seed);
  const double w = size.width, h = size.height, scale = std::min(w, h);
  Scene scene(size, 0.0);
  // Blobs and bars of many sizes and contrasts.
  const int shapes = static_cast<int>(w * h / 6000.0) + 20;
  for (int k = 0; k < shapes; ++k) {
    const cv::Point2d c(rng.uniform() * w, rng.uniform() * h);
    const double value = 20.0 + 215.0 * rng.uniform();
    const double size0 = scale * (0.01 + 0.12 * rng.uniform() * rng.uniform());
    const double kind = rng.uniform();
    if (kind < 0.4) {
      scene.ellipse(c, size0, size0 * (0.3 + 0.7 * rng.uniform()), 360.0 * rng.uniform(), value);
    } else {
      const double t = 2.0 * CV_PI * rng.uniform();
      const cv::Point2d d(std::cos(t), std::sin(t)), n(-d.y, d.x);
      const double len = size0 * (1.0 + 3.0 * rng.uniform()), wid = size0 * 0.3;
      scene.polygon({c + d * len + n * wid, c - d * len + n * wid, c - d * len - n * wid,
                     c + d * len - n * wid},
                    value);
    }
  }
  cv::Mat shapesImage;
  scene.render(0.7).convertTo(shapesImage, CV_32F);
  // Smooth shading and fine texture: noise filtered at two scales.
  cv::Mat coarse(size, CV_32F), fine(size, CV_32F);
  for (int i = 0; i < size.height; ++i) {
    for (int j = 0; j < size.width; ++j) {
      coarse.at<float>(i, j) = static_cast<float>(rng.normal());
      fine.at<float>(i, j) = static_cast<float>(rng.normal());
    }
  }
  cv::GaussianBlur(coarse, coarse, cv::Size(0, 0), scale / 10.0);
  cv::normalize(coarse, coarse, -40.0, 40.0, cv::NORM_MINMAX);
  cv::GaussianBlur(fine, fine, cv::Size(0, 0), 1.2);
  cv::Mat out;
  cv::Mat sum = shapesImage * 0.8 + coarse + fine * 25.0 + 30.0;
  sum.convertTo(out, CV_8U);
  return out;
}

void addGaussianNoise(cv::Mat& image, double sigma, Seed seed) {
  CV_Assert(image.type() == CV_8UC1);
  Noise noise(seed);
  for (int i = 0; i < image.rows; ++i) {
    unsigned char* row = image.ptr<unsigned char>(i);
    for (int j = 0; j < image.cols; ++j) {
      row[j] = cv::saturate_cast<unsigned char>(row[j] + sigma * noise.normal());
    }
  }
}

}  // namespace scenes
