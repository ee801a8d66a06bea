#pragma once

#include <QJsonDocument>
#include <QString>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "scenes/scenes.h"

// The bundled sample set: wheel scenes of four catalogue models as two inspection cameras see
// them, the models' templates, the catalogue and parameter files, the empty scene used as the
// reference background, and a truth file. Every pixel is deterministic.
//
// Layout under the set's directory:
//   images/           the scenes (PNG, JPEG, BMP, TIFF; one colour image; one empty scene)
//   templates/        one template per model: the square around the wheel, rotation 0
//   user/background.png   the empty scene of the 1280 x 1024 camera, and background_r.png,
//                         the same mirrored left to right (the plug-in reads that one first)
//   catalogue.json    models: name, diameter, thickness, ratio range, template, acceptance limit
//   params.json       the analysis parameters that suit these scenes
//   truth.json        per image: the model (null for the empty scene), centre and radius
//   samplegen.stamp   the set's version; a set with the current stamp is not written again
namespace wheelhost::samples {

// Millimetres per pixel of the 1280 x 1024 camera. The 2448 x 2048 camera sees twice as fine;
// the analysis halves its large cut-outs, so one "d2h" of this value serves both.
inline constexpr double kMmPerPixel = 0.8;

// Truth coordinates are OpenCV's: the centre of pixel (col, row) is at (col, row).
struct WheelModel {
  std::string name;
  double diameterMm;
  double thicknessMm;
  double ratioMin, ratioMax;
  double acceptLimit;
  scenes::WheelLayout design;  // proportions and grey values; size, centre and radius unused
};

struct Shot {
  std::string file;  // relative to the set's directory; the extension picks the file format
  int model;         // index into bundledModels(), -1 for the empty scene
  cv::Size size;
  cv::Point2d centre;  // OpenCV pixel coordinates
  double mmPerPixel;
  double angleDeg;  // rotation of spokes and bolt holes, +x towards +y
  bool colour;      // stored as BGR with the wheel's grey in the blue channel
  scenes::Seed seed;

  double radiusPx(const std::vector<WheelModel>& models) const;
};

const std::vector<WheelModel>& bundledModels();
const std::vector<Shot>& bundledShots();

// The version written to samplegen.stamp; changes whenever the set's content does.
const char* setVersion();

// The model's template: the wheel centred in a square of 2 * radiusPx px, rim touching the
// edges, rotation 0, light noise. CV_8UC1.
cv::Mat renderTemplate(const WheelModel& model, int radiusPx);

// The empty scene of a camera: a dim textured belt. CV_8UC1.
cv::Mat renderEmptyScene(cv::Size size, scenes::Seed seed);

// The shot as it is stored: CV_8UC1, or CV_8UC3 (BGR) for a colour shot.
cv::Mat renderShot(const Shot& shot);

// Writes an image (the extension picks the format; JPEG at quality 95) or a JSON document.
// Return false and set `error` to a message naming the file when it cannot be written.
bool writeImage(const QString& path, const cv::Mat& image, std::string* error);
bool writeJson(const QString& path, const QJsonDocument& doc, std::string* error);

// True when `dir` holds a complete set of the current version.
bool isUpToDate(const std::string& dir);

// Writes the whole set into `dir` (created when missing). Returns false and sets `error` to a
// message naming the file and the problem when a file cannot be written.
bool writeSampleSet(const std::string& dir, std::string* error);

// Writes the set unless `dir` already holds the current version. Safe when several processes
// (parallel tests) ask at once: they take turns on a lock file beside the directory.
bool ensureSampleSet(const std::string& dir, std::string* error);

}  // namespace wheelhost::samples
