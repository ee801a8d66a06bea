#pragma once

#include <QVariantMap>
#include <functional>
#include <opencv2/core.hpp>
#include <vector>

#include "sweep/sweepstats.h"

// The sweep's own engine: the plug-in's localisation called in this process, without a host.
namespace wheelhost {

// Runs the plug-in's localisation on `grey` with the parameter map `params` (read as the
// analysis reads it). With "useBackground" true it subtracts `background`; one of another size
// (or none) finds nothing, as the analysis reports a size mismatch.
Localisation localiseWithParameters(const cv::Mat& grey, const cv::Mat& background,
                                    const QVariantMap& params);

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

}  // namespace wheelhost
