#include "scenes/scenes.h"

#include <gtest/gtest.h>
#include <opencv2/core/cvdef.h>

#include <cmath>
#include <opencv2/imgproc.hpp>

namespace {

// Area and centroid (x, y) of the foreground, from grey values linear between outside and
// inside; the renderer's pixel (i, j) covers [j, j + 1) x [i, i + 1).
cv::Vec3d foreground(const cv::Mat& img, double inside, double outside) {
  cv::Mat w;
  img.convertTo(w, CV_64F, 1 / (inside - outside), -outside / (inside - outside));
  const cv::Moments m = cv::moments(w);
  return {m.m00, m.m10 / m.m00 + 0.5, m.m01 / m.m00 + 0.5};
}

TEST(Scenes, DiscHasExactAreaAndCentroid) {
  const cv::Point2d c(40.3, 37.8);
  const double r = 20.25;
  const cv::Mat img = scenes::renderDisc({90, 80}, c, r, 250, 0);
  ASSERT_EQ(img.type(), CV_8UC1);
  const cv::Vec3d m = foreground(img, 250, 0);
  // Coverage is quantised to 1/256 and grey values to 1/250: the area is within a small
  // fraction of a pixel per boundary pixel, the centroid within a few thousandths.
  EXPECT_NEAR(m[0], CV_PI * r * r, 0.5);
  EXPECT_LE(cv::norm(cv::Vec2d(m[1], m[2]) - cv::Vec2d(c), cv::NORM_INF), 0.005) << m;
}

TEST(Scenes, RingAndEllipseAreas) {
  const cv::Mat ring = scenes::renderRing({100, 100}, {50, 50}, 20, 30, 200, 0);
  EXPECT_NEAR(foreground(ring, 200, 0)[0], CV_PI * (30 * 30 - 20 * 20), 1.0);
  const cv::Point2d c(60.5, 50.25);
  const cv::Mat ell = scenes::renderEllipse({120, 100}, c, 40, 15, 30, 200, 0);
  const cv::Vec3d m = foreground(ell, 200, 0);
  EXPECT_NEAR(m[0], CV_PI * 40 * 15, 1.0);
  EXPECT_LE(cv::norm(cv::Vec2d(m[1], m[2]) - cv::Vec2d(c), cv::NORM_INF), 0.01) << m;
  // The long axis lies along 30 degrees: a point 35 px along it is inside, 35 px across is not.
  const double t = 30 * CV_PI / 180;
  const cv::Point2d along = c + 35 * cv::Point2d(std::cos(t), std::sin(t)),
                    across = c + 35 * cv::Point2d(-std::sin(t), std::cos(t));
  EXPECT_EQ(ell.at<uchar>(cvRound(along.y - 0.5), cvRound(along.x - 0.5)), 200);
  EXPECT_EQ(ell.at<uchar>(cvRound(across.y - 0.5), cvRound(across.x - 0.5)), 0);
}

TEST(Scenes, PolygonOrientationDoesNotMatter) {
  scenes::Scene a({20, 20}, 0), b({20, 20}, 0);
  a.polygon({{2, 3}, {12, 3}, {12, 9}, {2, 9}}, 100);
  b.polygon({{2, 3}, {2, 9}, {12, 9}, {12, 3}}, 100);
  const cv::Mat ia = a.render(), ib = b.render();
  EXPECT_EQ(cv::norm(ia, ib, cv::NORM_INF), 0.0);
  EXPECT_EQ(cv::countNonZero(ia), 60);
}

TEST(Scenes, NoiseHasTheRequestedSpread) {
  cv::Mat img(200, 200, CV_8UC1, cv::Scalar(128));
  scenes::addGaussianNoise(img, 5.0, 3);
  cv::Scalar mean, dev;
  cv::meanStdDev(img, mean, dev);
  EXPECT_NEAR(mean[0], 128.0, 0.2);
  EXPECT_NEAR(dev[0], 5.0, 0.2);
}

}  // namespace
