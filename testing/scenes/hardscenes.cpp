#include "scenes/hardscenes.h"

#include <opencv2/core/cvdef.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

namespace scenes {
namespace {

constexpr int kSceneCount = 40;
// Angular samples of the rim for measuring how much of it the bars hide.
constexpr int kRimSamples = 3600;

// Uniform draws in [0, 1) from a fully defined generator: the same on every standard library.
class Draw {
 public:
  explicit Draw(Seed seed) : gen_(seed) {}
  double operator()() { return static_cast<double>(gen_() >> 11) * 0x1.0p-53; }
  double in(double lo, double hi) { return lo + (hi - lo) * (*this)(); }

 private:
  std::mt19937_64 gen_;
};

bool insideConvex(const std::vector<cv::Point2d>& poly, const cv::Point2d& p) {
  int sign = 0;
  for (size_t i = 0; i < poly.size(); ++i) {
    const cv::Point2d a = poly[i], b = poly[(i + 1) % poly.size()];
    const double cross = (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
    const int s = cross > 0 ? 1 : (cross < 0 ? -1 : 0);
    if (s == 0) continue;
    if (sign == 0) sign = s;
    if (s != sign) return false;
  }
  return true;
}

cv::Point2d polar(const cv::Point2d& centre, double radius, double angle) {
  return centre + radius * cv::Point2d(std::cos(angle), std::sin(angle));
}

// A bar whose centre line crosses the rim at `angle`, tilted by `tilt` from the radial
// direction, reaching from inside the rim to well beyond it.
std::vector<cv::Point2d> bar(const cv::Point2d& centre, double radius, double angle, double tilt,
                             double width) {
  const cv::Point2d onRim = polar(centre, radius, angle);
  const cv::Point2d d(std::cos(angle + tilt), std::sin(angle + tilt)), n(-d.y, d.x);
  const double in = 0.3 * radius, out = 0.8 * radius, h = width / 2;
  return {onRim - d * in + n * h, onRim + d * out + n * h, onRim + d * out - n * h,
          onRim - d * in - n * h};
}

}  // namespace

int hardSceneCount() { return kSceneCount; }

HardSceneLayout hardSceneLayout(int index) {
  static const cv::Size kSizes[] = {{640, 480}, {1280, 1024}, {1600, 1200}, {2448, 2048}};
  static const int kSpokes[] = {5, 0, 6, 9};
  index = std::clamp(index, 0, kSceneCount - 1);
  Draw draw(0x4a11d5ce0000ULL + static_cast<Seed>(index));
  HardSceneLayout s;
  s.darkRim = index % 2 == 1;
  const cv::Size size = kSizes[(index / 2) % 4];

  WheelLayout& w = s.wheel;
  w.size = size;
  const double half = std::min(size.width, size.height) / 2.0;
  w.radius = half * draw.in(0.45, 0.72);
  // Room for the refinement: its largest radius is the border distance less 50 px.
  const double roomX = std::max(0.0, size.width / 2.0 - w.radius - 70.0);
  const double roomY = std::max(0.0, size.height / 2.0 - w.radius - 70.0);
  w.centre = cv::Point2d(size.width / 2.0 + draw.in(-roomX, roomX),
                         size.height / 2.0 + draw.in(-roomY, roomY));
  w.spokes = kSpokes[index % 4];
  w.spokeWidth = draw.in(0.07, 0.13);
  w.boltHoles = 4 + index % 5;
  w.rimWidth = draw.in(0.09, 0.14);
  w.hubRadius = draw.in(0.26, 0.36);
  w.angleDeg = draw.in(0.0, 360.0);
  if (s.darkRim) {
    w.background = draw.in(185.0, 215.0);
    w.rim = draw.in(45.0, 65.0);
    w.face = 140.0, w.spoke = 80.0, w.hub = 70.0, w.hole = 235.0;
  } else {
    w.background = draw.in(25.0, 45.0);
    w.rim = draw.in(175.0, 205.0);
    w.face = 70.0, w.spoke = 160.0, w.hub = 175.0, w.hole = 15.0;
  }
  w.blurSigma = draw.in(0.8, 2.0);
  w.noiseSigma = draw.in(3.0, 8.0);
  w.seed = 7000 + static_cast<Seed>(index);

  // Bars: one or two, hiding 5 to 15 % of the rim between them, spread evenly over the set.
  const double share = 0.05 + 0.10 * ((index * 7) % 10) / 9.0;
  const int bars = draw() < 0.4 ? 2 : 1;
  const double first = draw.in(0.0, 2 * CV_PI);
  for (int k = 0; k < bars; ++k) {
    const double angle = first + k * draw.in(0.6 * CV_PI, 1.4 * CV_PI);
    const double tilt = draw.in(-25.0, 25.0) * CV_PI / 180.0;
    // A bar of width w tilted by t hides about w / cos t of the rim.
    const double width = share / bars * 2 * CV_PI * w.radius * std::cos(tilt);
    s.occluders.push_back(bar(w.centre, w.radius, angle, tilt, width));
    const double kind = draw();
    s.occluderGrey.push_back(kind < 0.4   ? w.background + draw.in(-8.0, 8.0)
                             : kind < 0.7 ? draw.in(110.0, 130.0)
                                          : 0.5 * (w.rim + w.background) + draw.in(-20.0, 20.0));
  }
  int hidden = 0;
  for (int k = 0; k < kRimSamples; ++k) {
    const cv::Point2d p = polar(w.centre, w.radius, 2 * CV_PI * (k + 0.5) / kRimSamples);
    for (const auto& poly : s.occluders) {
      if (insideConvex(poly, p)) {
        ++hidden;
        break;
      }
    }
  }
  s.occludedShare = static_cast<double>(hidden) / kRimSamples;

  // Rim-grey objects joining the outline from outside (behind) and sitting on it (in front).
  s.clutterGrey = w.rim + draw.in(-6.0, 6.0);
  const int behind = 2 + static_cast<int>(draw() * 2.0);
  const int inFront = 1 + static_cast<int>(draw() * 2.0);
  for (int k = 0; k < behind + inFront; ++k) {
    const double angle = draw.in(0.0, 2 * CV_PI);
    HardSceneLayout::Blob b;
    if (k < behind) {
      b.along = w.radius * draw.in(0.12, 0.28);
      b.across = w.radius * draw.in(0.02, 0.05);
      b.centre = polar(w.centre, w.radius + b.across * draw.in(0.3, 0.9), angle);
      b.angleDeg = angle * 180.0 / CV_PI + 90.0;
      s.clutterBehind.push_back(b);
    } else {
      b.along = b.across = w.radius * draw.in(0.03, 0.07);
      b.centre = polar(w.centre, w.radius + b.across * draw.in(-0.5, 0.5), angle);
      s.clutterInFront.push_back(b);
    }
  }

  // Rail segments: the outline there lies 2 to 4 % of the radius outside the rim.
  const int rails = 1 + static_cast<int>(draw() * 2.0);
  for (int k = 0; k < rails; ++k) {
    const double start = draw.in(0.0, 2 * CV_PI), span = draw.in(25.0, 50.0) * CV_PI / 180.0;
    s.rails.emplace_back(start, start + span, w.radius * (1.0 + draw.in(0.02, 0.04)));
  }

  s.rampGain = draw.in(0.15, 0.45);
  s.rampAngleDeg = draw.in(0.0, 360.0);
  s.vignetting = draw.in(0.10, 0.35);

  char name[64];
  std::snprintf(name, sizeof(name), "hard%02d_%s_%dx%d", index, s.darkRim ? "dark" : "bright",
                size.width, size.height);
  s.name = name;
  return s;
}

HardScene renderHardScene(const HardSceneLayout& s) {
  const WheelLayout& w = s.wheel;
  Scene scene(w.size, w.background);
  // Rim-grey bars and blobs away from the wheel, like other parts on the belt.
  Draw draw(w.seed * 31 + 5);
  const double span = std::max(w.size.width, w.size.height);
  for (int k = 0; k < 4; ++k) {
    const cv::Point2d c(draw.in(0.0, w.size.width), draw.in(0.0, w.size.height));
    if (cv::norm(c - w.centre) < 1.25 * w.radius) continue;
    const double r = span * draw.in(0.015, 0.04);
    if (k % 2 == 0) {
      scene.disc(c, r, s.clutterGrey);
    } else {
      scene.polygon({c + cv::Point2d(-3 * r, -r / 2), c + cv::Point2d(3 * r, -r / 2),
                     c + cv::Point2d(3 * r, r / 2), c + cv::Point2d(-3 * r, r / 2)},
                    s.clutterGrey);
    }
  }
  for (const cv::Vec3d& rail : s.rails) {
    // Convex pieces of about 2 degrees each.
    const int pieces = std::max(1, static_cast<int>((rail[1] - rail[0]) * 90.0 / CV_PI));
    const double inner = 0.95 * w.radius, outer = rail[2];
    for (int k = 0; k < pieces; ++k) {
      const double t0 = rail[0] + (rail[1] - rail[0]) * k / pieces;
      const double t1 = rail[0] + (rail[1] - rail[0]) * (k + 1) / pieces;
      // The outer corners sit a little beyond the outer radius so the chord does not dent it.
      const double o = outer / std::cos(0.5 * (t1 - t0));
      scene.polygon({polar(w.centre, inner, t0), polar(w.centre, o, t0), polar(w.centre, o, t1),
                     polar(w.centre, inner, t1)},
                    s.clutterGrey);
    }
  }
  for (const HardSceneLayout::Blob& b : s.clutterBehind) {
    scene.ellipse(b.centre, b.along, b.across, b.angleDeg, s.clutterGrey);
  }
  addWheel(scene, w);
  for (const HardSceneLayout::Blob& b : s.clutterInFront) {
    scene.ellipse(b.centre, b.along, b.across, b.angleDeg, s.clutterGrey);
  }
  for (size_t k = 0; k < s.occluders.size(); ++k) scene.polygon(s.occluders[k], s.occluderGrey[k]);

  // Light: a linear ramp across the image times a quadratic fall-off from its centre.
  cv::Mat canvas = scene.canvas();
  const double a = s.rampAngleDeg * CV_PI / 180.0, ca = std::cos(a), sa = std::sin(a);
  const double cx = w.size.width / 2.0, cy = w.size.height / 2.0;
  const double reach = std::abs(ca) * cx + std::abs(sa) * cy;
  const double corner2 = cx * cx + cy * cy;
  for (int i = 0; i < canvas.rows; ++i) {
    float* row = canvas.ptr<float>(i);
    const double y = i + 0.5 - cy;
    for (int j = 0; j < canvas.cols; ++j) {
      const double x = j + 0.5 - cx;
      const double ramp = 1.0 + s.rampGain * 0.5 * (x * ca + y * sa) / reach;
      const double vignette = 1.0 - s.vignetting * (x * x + y * y) / corner2;
      row[j] = static_cast<float>(row[j] * ramp * vignette);
    }
  }

  HardScene out;
  out.name = s.name;
  out.image = finishCanvas(canvas, w.blurSigma, w.noiseSigma, w.seed);
  out.centre = w.centre - cv::Point2d(0.5, 0.5);
  out.radius = w.radius;
  out.darkRim = s.darkRim;
  out.occludedShare = s.occludedShare;
  return out;
}

HardScene renderHardScene(int index) { return renderHardScene(hardSceneLayout(index)); }

}  // namespace scenes
