// vistrel_reference: the C++ side of the Python module's tests, and a scene renderer.
//   vistrel_reference scene OUT.png                 renders a scene of several round objects
//   vistrel_reference ellipses IMAGE                prints the parameter-free detector's results
//   vistrel_reference circle IMAGE X Y RMIN RMAX POLARITY FINDBY ACCEPT EDGEWIDTH MAXCOUNT
//                                                   prints CircleDetector's detect and detectMany
// Numbers are printed as C99 hexadecimal floats, so the comparison is exact.
#include <cstdio>
#include <cstdlib>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>

#include "scenes/scenes.h"
#include "vistrel/circledetector.h"
#include "vistrel/ellipsedetector.h"

namespace {

// Coins of several sizes and shades on a plank table under uneven light, slightly out of focus
// and noisy: the kind of photograph the detectors meet.
// Planks of slightly different shades, with dark seams between them and faint grain.
cv::Mat plankTable(cv::Size size) {
  scenes::Scene table(size, 90);
  const double width = size.height / 4.0;
  for (int i = 0; i < 4; ++i) {
    const double top = i * width, bottom = top + width;
    table.polygon(
        {{0, top}, {size.width + 0.0, top + 6}, {size.width + 0.0, bottom + 6}, {0, bottom}},
        80 + 9 * ((i * 5) % 4));
    table.polygon({{0, bottom - 2},
                   {size.width + 0.0, bottom + 4},
                   {size.width + 0.0, bottom + 6},
                   {0, bottom}},
                  45);
  }
  for (int g = 0; g < 12; ++g) {  // grain: long thin streaks along the planks
    const double y = 17.0 + g * size.height / 12.0, x = (g * 97) % 300;
    table.polygon({{x, y}, {x + 260, y + 2.6}, {x + 260, y + 3.6}, {x, y + 1}}, 100);
  }
  return table.render(0.8);
}

cv::Mat coinScene() {
  const cv::Size size(640, 480);
  struct Coin {
    cv::Point2d centre;
    double radius;
    double shade;
  };
  const Coin coins[] = {{{120.3, 140.6}, 62.0, 205},
                        {{330.8, 120.2}, 48.5, 175},
                        {{510.4, 170.9}, 70.2, 225},
                        {{200.6, 350.1}, 55.7, 190},
                        {{450.2, 370.5}, 40.3, 215}};
  // The coins' shades reach a little beyond their outlines, so the blurred cover alone sets
  // where an outline lies.
  scenes::Scene shades(size, 0), cover(size, 0);
  for (const Coin& c : coins) {
    shades.disc(c.centre, c.radius + 4, c.shade);
    cover.disc(c.centre, c.radius, 255);
  }
  cv::Mat table, shade, alpha;
  plankTable(size).convertTo(table, CV_32F);
  shades.render().convertTo(shade, CV_32F);
  cover.render(1.2).convertTo(alpha, CV_32F, 1.0 / 255);
  cv::Mat light(size, CV_32F);
  for (int y = 0; y < size.height; ++y) {
    for (int x = 0; x < size.width; ++x) light.at<float>(y, x) = 0.8f + 0.25f * x / size.width;
  }
  const cv::Mat one = cv::Mat::ones(size, CV_32F);
  cv::Mat scene = (alpha.mul(shade) + (one - alpha).mul(table)).mul(light);
  cv::Mat out;
  scene.convertTo(out, CV_8U);
  scenes::addGaussianNoise(out, 3.0, 11);
  return out;
}

int usage() {
  std::fputs(
      "usage: vistrel_reference scene OUT.png | ellipses IMAGE |\n"
      "       circle IMAGE X Y RMIN RMAX POLARITY FINDBY ACCEPT EDGEWIDTH MAXCOUNT\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  const std::string mode = argv[1];
  if (mode == "scene") return cv::imwrite(argv[2], coinScene()) ? 0 : 1;  // format by extension

  const cv::Mat image = cv::imread(argv[2], cv::IMREAD_UNCHANGED);
  if (image.empty()) {
    std::fprintf(stderr, "vistrel_reference: cannot read %s\n", argv[2]);
    return 1;
  }
  if (mode == "ellipses" && argc == 3) {
    const ced::CircleEllipseResults found = ced::detectCirclesAndEllipses(image);
    for (const ced::mCircle& c : found.circles) {
      std::printf("circle %a %a %a\n", c.center.x, c.center.y, c.r);
    }
    for (const ced::mEllipse& e : found.ellipses) {
      std::printf("ellipse %a %a %d %d %a\n", e.center.x, e.center.y, e.axes.width, e.axes.height,
                  e.theta);
    }
    return 0;
  }
  if (mode == "circle" && argc == 12) {
    vistrel::CircleDetector d;
    d.setRadiusRange(std::atoi(argv[5]), std::atoi(argv[6]));
    d.setPolarity(static_cast<vistrel::Polarity>(std::atoi(argv[7])));
    d.setFindBy(static_cast<vistrel::FindBy>(std::atoi(argv[8])));
    d.setAcceptThreshold(std::atoi(argv[9]));
    d.setEdgeWidth(std::atoi(argv[10]));
    const cv::Point2f centre(std::strtof(argv[3], nullptr), std::strtof(argv[4], nullptr));
    cv::Vec3f circle(0, 0, 0);
    const float score = d.detect(image, centre, circle);
    std::printf("detect %a %a %a %a\n", score, circle[0], circle[1], circle[2]);
    std::vector<cv::Vec3f> circles;
    std::vector<float> scores;
    d.detectMany(image, centre, &circles, &scores, nullptr, 0, std::atoi(argv[11]));
    for (std::size_t i = 0; i < circles.size(); ++i) {
      std::printf("many %a %a %a %a\n", scores[i], circles[i][0], circles[i][1], circles[i][2]);
    }
    return 0;
  }
  return usage();
}
