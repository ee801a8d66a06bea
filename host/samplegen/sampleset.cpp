#include "samplegen/sampleset.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>
#include <QString>
#include <map>
#include <mutex>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace wheelhost::samples {

namespace {

constexpr int kTemplateRadius = 200;
constexpr double kBlurSigma = 1.0;
constexpr double kNoiseSigma = 4.0;

scenes::WheelLayout design(int spokes, double spokeWidth, int boltHoles, double hubRadius,
                           double rimWidth, double boreRadius) {
  scenes::WheelLayout s;
  s.spokes = spokes;
  s.spokeWidth = spokeWidth;
  s.boltHoles = boltHoles;
  s.hubRadius = hubRadius;
  s.rimWidth = rimWidth;
  s.boreRadius = boreRadius;
  return s;
}

// The belt under a camera: the same for every shot of that camera, so that the empty scene
// serves as reference background. The fine camera sees the coarse camera's texture scale at
// twice the pixels, so its belt is rendered at half size and enlarged.
const cv::Mat& belt(cv::Size size) {
  static std::mutex mutex;
  static std::map<std::pair<int, int>, cv::Mat> cache;
  std::lock_guard<std::mutex> lock(mutex);
  cv::Mat& entry = cache[{size.width, size.height}];
  if (entry.empty()) {
    const bool fine = size.width > 2000;
    const cv::Size renderSize = fine ? cv::Size(size.width / 2, size.height / 2) : size;
    cv::Mat clutter = scenes::renderClutter(renderSize, 1000 + size.width);
    if (fine) cv::resize(clutter, clutter, size, 0, 0, cv::INTER_LINEAR);
    // A dim, low-contrast belt: the wheel's rim stands far above it.
    clutter.convertTo(entry, CV_32F, 0.2, 18.0);
  }
  return entry;
}

cv::Mat finish(const cv::Mat& scene32, scenes::Seed seed) {
  cv::Mat blurred, out;
  cv::GaussianBlur(scene32, blurred, cv::Size(0, 0), kBlurSigma);
  blurred.convertTo(out, CV_8U);
  scenes::addGaussianNoise(out, kNoiseSigma, seed);
  return out;
}

QString templateFile(const WheelModel& m) {
  return QString("templates/%1.png").arg(QString::fromStdString(m.name));
}

std::vector<QString> expectedFiles() {
  std::vector<QString> files = {"catalogue.json", "params.json", "truth.json",
                                "user/background.png", "user/background_r.png"};
  for (const WheelModel& m : bundledModels()) files.push_back(templateFile(m));
  for (const Shot& s : bundledShots()) files.push_back(QString::fromStdString(s.file));
  return files;
}

}  // namespace

bool writeImage(const QString& path, const cv::Mat& image, std::string* error) {
  std::vector<int> params;
  if (path.endsWith(".jpg")) params = {cv::IMWRITE_JPEG_QUALITY, 95};
  bool ok = false;
  try {
    ok = cv::imwrite(QFile::encodeName(path).toStdString(), image, params);
  } catch (const cv::Exception& e) {
    if (error) *error = path.toStdString() + ": cannot write the image: " + e.what();
    return false;
  }
  if (!ok && error) *error = path.toStdString() + ": cannot write the image";
  return ok;
}

bool writeJson(const QString& path, const QJsonDocument& doc, std::string* error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(doc.toJson(QJsonDocument::Indented)) < 0 ||
      !file.commit()) {
    if (error) *error = path.toStdString() + ": cannot write: " + file.errorString().toStdString();
    return false;
  }
  return true;
}

double Shot::radiusPx(const std::vector<WheelModel>& models) const {
  if (model < 0 || model >= static_cast<int>(models.size())) return 0.0;
  return models[model].diameterMm / (2.0 * mmPerPixel);
}

const std::vector<WheelModel>& bundledModels() {
  // Four designs that a scale-free matcher can tell apart (spoke and bolt counts, hub and rim
  // proportions) and whose diameters differ by more than the analysis' 15 mm tolerance.
  static const std::vector<WheelModel> models = {
      {"WM405-5", 405.0, 165.0, 1.10, 1.40, 0.15, design(5, 0.13, 5, 0.30, 0.12, 0.07)},
      {"WM430-6", 430.0, 180.0, 1.20, 1.50, 0.15, design(6, 0.10, 4, 0.26, 0.10, 0.06)},
      {"WM460-9", 460.0, 190.0, 1.30, 1.60, 0.15, design(9, 0.07, 6, 0.34, 0.09, 0.08)},
      {"WM510-0", 510.0, 215.0, 1.40, 1.70, 0.15, design(0, 0.0, 8, 0.40, 0.14, 0.09)},
  };
  return models;
}

const std::vector<Shot>& bundledShots() {
  const cv::Size vga(1280, 1024), big(2448, 2048);
  const double c = kMmPerPixel, f = kMmPerPixel / 2.0;
  static const std::vector<Shot> shots = {
      {"images/wm405-5_1.png", 0, vga, {639.5, 511.5}, c, 0.0, false, 11},
      {"images/wm405-5_2.jpg", 0, vga, {470.3, 430.8}, c, 37.0, false, 12},
      {"images/wm405-5_3.png", 0, vga, {800.6, 560.2}, c, 151.0, true, 13},
      {"images/wm430-6_1.png", 1, vga, {640.2, 511.9}, c, 12.0, false, 21},
      {"images/wm430-6_2.bmp", 1, vga, {900.4, 500.1}, c, 200.0, false, 22},
      {"images/wm430-6_3.tif", 1, vga, {420.7, 599.6}, c, 75.0, false, 23},
      {"images/wm460-9_1.png", 2, vga, {600.1, 480.3}, c, 5.0, false, 31},
      {"images/wm460-9_2.png", 2, vga, {760.8, 560.4}, c, 123.0, false, 32},
      {"images/wm460-9_3.png", 2, vga, {520.5, 420.5}, c, 290.0, false, 33},
      {"images/wm510-0_1.png", 3, vga, {639.5, 511.5}, c, 0.0, false, 41},
      {"images/wm510-0_2.png", 3, vga, {560.9, 480.2}, c, 45.0, false, 42},
      {"images/wm510-0_3.jpg", 3, vga, {720.3, 540.7}, c, 222.0, false, 43},
      {"images/wm460-9_big.png", 2, big, {1300.2, 1000.6}, f, 64.0, false, 51},
      {"images/wm405-5_big.png", 0, big, {1100.7, 1150.3}, f, 300.0, false, 52},
      {"images/empty.png", -1, vga, {0.0, 0.0}, c, 0.0, false, 61},
  };
  return shots;
}

const char* setVersion() { return "wheel sample set 2"; }

cv::Mat renderTemplate(const WheelModel& model, int radiusPx) {
  scenes::WheelLayout look = model.design;
  const int side = 2 * radiusPx;
  look.size = {side, side};
  look.centre = cv::Point2d(radiusPx, radiusPx);  // the square's centre in the renderer's frame
  look.radius = radiusPx;
  look.angleDeg = 0.0;
  look.background = 25.0;
  look.blurSigma = kBlurSigma;
  look.noiseSigma = 2.0;
  look.seed = 7;
  return scenes::renderWheel(look);
}

cv::Mat renderEmptyScene(cv::Size size, scenes::Seed seed) { return finish(belt(size), seed); }

cv::Mat renderShot(const Shot& shot) {
  const cv::Mat& base = belt(shot.size);
  cv::Mat grey;
  if (shot.model < 0) {
    grey = finish(base, shot.seed);
  } else {
    const WheelModel& model = bundledModels()[shot.model];
    // The renderer puts pixel centres at half-integers; truth uses OpenCV's integers.
    const cv::Point2d centre = shot.centre + cv::Point2d(0.5, 0.5);
    const double radius = shot.radiusPx(bundledModels());
    scenes::WheelLayout look = model.design;
    look.size = shot.size;
    look.centre = centre;
    look.radius = radius;
    look.angleDeg = shot.angleDeg;
    look.blurSigma = 0.0;
    look.noiseSigma = 0.0;
    cv::Mat wheel, alpha;
    scenes::renderWheel(look).convertTo(wheel, CV_32F);
    scenes::renderDisc(shot.size, centre, radius, 255.0, 0.0).convertTo(alpha, CV_32F, 1.0 / 255);
    const cv::Mat inverse = 1.0f - alpha;
    const cv::Mat composed = wheel.mul(alpha) + base.mul(inverse);
    grey = finish(composed, shot.seed);
  }
  if (!shot.colour) return grey;
  // A bluish fluorescence: the analysis reads the first channel of the four-channel buffer.
  cv::Mat g, r, bgr;
  grey.convertTo(g, CV_8U, 0.85);
  grey.convertTo(r, CV_8U, 0.7);
  cv::merge(std::vector<cv::Mat>{grey, g, r}, bgr);
  return bgr;
}

bool isUpToDate(const std::string& dir) {
  const QDir root(QString::fromStdString(dir));
  QFile stamp(root.filePath("samplegen.stamp"));
  if (!stamp.open(QIODevice::ReadOnly)) return false;
  if (QString::fromUtf8(stamp.readAll()).trimmed() != QString(setVersion())) return false;
  for (const QString& f : expectedFiles()) {
    if (!QFileInfo(root.filePath(f)).isFile()) return false;
  }
  return true;
}

bool writeSampleSet(const std::string& dir, std::string* error) {
  const QDir root(QString::fromStdString(dir));
  for (const char* sub : {"images", "templates", "user"}) {
    if (!root.mkpath(sub)) {
      if (error) *error = root.filePath(sub).toStdString() + ": cannot create the directory";
      return false;
    }
  }
  // An interrupted run must not leave a set that looks complete.
  QFile::remove(root.filePath("samplegen.stamp"));

  const auto& models = bundledModels();
  QJsonArray catalogue;
  for (const WheelModel& m : models) {
    if (!writeImage(root.filePath(templateFile(m)), renderTemplate(m, kTemplateRadius), error)) {
      return false;
    }
    catalogue.append(QJsonObject{{"name", QString::fromStdString(m.name)},
                                 {"diameter", m.diameterMm},
                                 {"thickness", m.thicknessMm},
                                 {"ratioMin", m.ratioMin},
                                 {"ratioMax", m.ratioMax},
                                 {"template", templateFile(m)},
                                 {"acceptLimit", m.acceptLimit}});
  }
  if (!writeJson(root.filePath("catalogue.json"), QJsonDocument(QJsonObject{{"models", catalogue}}),
                 error)) {
    return false;
  }

  // Rim bright on a dim belt: the rim's outer edge falls from inside to outside (polarity 1).
  // filterSize 200: no wheel of the set is smaller than 250 px in radius.
  const QJsonObject params{
      {"d2h", kMmPerPixel},    {"filterSize", 200},      {"useDiameter", true},
      {"useThickness", false}, {"useBackground", false}, {"bEqual", false},
      {"Circle_Polarity", 1},  {"Circle_ACThres", 3},    {"Circle_EdgeWidth", 3},
      {"IsCutImg", 0},         {"RatioType", 0},         {"Ratio", 0.0},
      {"thickness", -1}};
  if (!writeJson(root.filePath("params.json"), QJsonDocument(params), error)) return false;

  // The plug-in reads the configured folder's background_r.png, mirrored, while it holds no
  // background, and background.png only to replace one of the wrong size: both are written.
  const cv::Mat background = renderEmptyScene({1280, 1024}, 99);
  cv::Mat mirrored;
  cv::flip(background, mirrored, 1);
  if (!writeImage(root.filePath("user/background.png"), background, error) ||
      !writeImage(root.filePath("user/background_r.png"), mirrored, error)) {
    return false;
  }

  QJsonArray truth;
  for (const Shot& s : bundledShots()) {
    if (!writeImage(root.filePath(QString::fromStdString(s.file)), renderShot(s), error)) {
      return false;
    }
    QJsonObject entry{{"file", QString::fromStdString(s.file)},
                      {"width", s.size.width},
                      {"height", s.size.height}};
    if (s.model < 0) {
      entry["model"] = QJsonValue::Null;
    } else {
      entry["model"] = QString::fromStdString(models[s.model].name);
      entry["centre"] = QJsonArray{s.centre.x, s.centre.y};
      entry["radius"] = s.radiusPx(models);
      entry["angle"] = s.angleDeg;
    }
    truth.append(entry);
  }
  const QJsonObject truthDoc{
      {"coordinates", "OpenCV pixels: the centre of pixel (col, row) is at (col, row)"},
      {"images", truth}};
  if (!writeJson(root.filePath("truth.json"), QJsonDocument(truthDoc), error)) return false;

  QSaveFile stamp(root.filePath("samplegen.stamp"));
  if (!stamp.open(QIODevice::WriteOnly) || stamp.write(setVersion()) < 0 || !stamp.commit()) {
    if (error) *error = root.filePath("samplegen.stamp").toStdString() + ": cannot write";
    return false;
  }
  return true;
}

bool ensureSampleSet(const std::string& dir, std::string* error) {
  const QString root = QDir::cleanPath(QString::fromStdString(dir));
  QDir().mkpath(QFileInfo(root).absolutePath());
  QLockFile lock(root + ".lock");
  lock.setStaleLockTime(0);  // a crashed writer's lock is recognised by its dead process id
  if (!lock.lock()) {
    if (error) *error = (root + ".lock").toStdString() + ": cannot take the lock";
    return false;
  }
  return isUpToDate(dir) || writeSampleSet(dir, error);
}

}  // namespace wheelhost::samples
