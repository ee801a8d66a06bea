#pragma once

#include <QString>
#include <QVariantMap>
#include <opencv2/core.hpp>
#include <vector>

// What a parameter sweep measures: how well a setting locates labelled wheels.
namespace wheelhost {

// An image with the circle it shows: OpenCV pixel coordinates (pixel (col, row) centred at
// (col, row)), as the truth files of samplegen give them.
struct LabelledImage {
  QString file;
  cv::Mat grey;  // CV_8UC1, as the analysis sees it
  cv::Point2d centre;
  double radius = 0.0;
  QVariantMap params;  // the parameters of the image's set, before a setting's values
};

// Where the plug-in's localisation put the wheel for one image, and how long it took.
struct Localisation {
  bool found = false;
  cv::Point2d centre;
  double radius = 0.0;
  double seconds = 0.0;
};

// Located: centre and radius each within 1 % of the true radius.
bool isLocated(const Localisation& found, const LabelledImage& truth);

// The figures of one setting over a set of images.
struct SettingStats {
  int images = 0, found = 0, located = 0;
  double locatedShare = 0.0;     // located / images
  double centreMedian = -1.0;    // over the located images, pixels; -1 when none
  double radiusMedian = -1.0;    // |radius error| over the located images
  double centreWorst = -1.0;     // over every image with a circle, pixels; -1 when none
  double secondsPerImage = 0.0;  // mean wall time of one localisation
};
SettingStats summarise(const std::vector<LabelledImage>& images,
                       const std::vector<Localisation>& results);

// The best setting's index: most located, then the smaller centre median (to a thousandth of a
// pixel), then the faster by more than a tenth; on a tie the earlier. -1 for no settings.
int bestSetting(const std::vector<SettingStats>& stats);

}  // namespace wheelhost
