// Finds the round objects of a drawn scene with the parameter-free detector, then measures the
// largest one to a fraction of a pixel with the guided CircleDetector.
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <opencv2/imgproc.hpp>

#include "vistrel/circledetector.h"
#include "vistrel/ellipsedetector.h"

int main() {
  // Three discs at sub-pixel centres (4 fractional bits), and a bar across the whole image: the
  // detector validates curved edges against straight ones, and finds nothing on clean discs
  // alone.
  cv::Mat image(300, 400, CV_8UC1, cv::Scalar(40));
  const auto at = [](double x, double y) { return cv::Point(cvRound(x * 16), cvRound(y * 16)); };
  cv::circle(image, at(110.3, 120.6), 60 * 16, cv::Scalar(200), cv::FILLED, cv::LINE_AA, 4);
  cv::circle(image, at(290.7, 100.2), 45 * 16, cv::Scalar(170), cv::FILLED, cv::LINE_AA, 4);
  cv::circle(image, at(260.4, 230.9), 35 * 16, cv::Scalar(220), cv::FILLED, cv::LINE_AA, 4);
  cv::line(image, cv::Point(-10, 276), cv::Point(410, 286), cv::Scalar(120), 8, cv::LINE_AA);
  cv::GaussianBlur(image, image, cv::Size(5, 5), 1.0);

  const ced::CircleEllipseResults found = ced::detectCirclesAndEllipses(image);
  for (const ced::mCircle& c : found.circles) {
    std::printf("circle (%.2f, %.2f) r %.2f\n", c.center.x, c.center.y, c.r);
  }
  if (found.circles.size() != 3) {
    std::fprintf(stderr, "consumer: expected 3 circles, found %zu\n", found.circles.size());
    return 1;
  }

  // The list is largest first.
  const ced::mCircle& rough = found.circles.front();
  vistrel::CircleDetector detector;
  detector.setPolarity(vistrel::Polarity::White2Black);  // a bright disc on a dark ground
  detector.setRadiusRange(static_cast<int>(rough.r) - 10, static_cast<int>(rough.r) + 10);
  cv::Vec3f circle(0, 0, 0);
  const float score = detector.detect(image, cv::Point2f(rough.center.x, rough.center.y), circle);
  if (std::fabs(score) <= FLT_EPSILON) {
    std::fprintf(stderr, "consumer: CircleDetector found nothing\n");
    return 1;
  }
  std::printf("refined (%.3f, %.3f) r %.3f, score %.1f\n", circle[0], circle[1], circle[2], score);
  // cv::circle's anti-aliased disc reaches about half a pixel beyond its radius.
  const bool near =
      std::hypot(circle[0] - 110.3, circle[1] - 120.6) < 0.5 && std::fabs(circle[2] - 60.5) < 0.5;
  return near ? 0 : 1;
}
