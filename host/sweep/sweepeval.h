#pragma once

#include <QString>
#include <QVariantMap>
#include <functional>
#include <opencv2/core.hpp>
#include <vector>

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

// Runs the plug-in's localisation on `grey` with the parameter map `params` (read as the
// analysis reads it). With "useBackground" true it subtracts `background`; one of another size
// (or none) finds nothing, as the analysis reports a size mismatch.
Localisation localiseWithParameters(const cv::Mat& grey, const cv::Mat& background,
                                    const QVariantMap& params);

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

// Localises every image under every setting (each over the image's own parameters) on `jobs`
// threads and returns
// the figures per setting, in the settings' order. OpenCV's own threads are held to one while
// it runs, so that jobs do not compete with them. `progress` (optional) is told how many of
// the images x settings calls are done. `results` (optional) receives every localisation,
// setting by setting, each in the images' order.
std::vector<SettingStats> runSweep(const std::vector<LabelledImage>& images,
                                   const cv::Mat& background,
                                   const std::vector<QVariantMap>& settings, int jobs,
                                   const std::function<void(int done, int total)>& progress = {},
                                   std::vector<Localisation>* results = nullptr);

// The best setting's index: most located, then the smaller centre median, then the faster.
// -1 for no settings.
int bestSetting(const std::vector<SettingStats>& stats);

}  // namespace wheelhost
