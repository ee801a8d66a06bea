#include "samplegen/hardsceneset.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>

#include "samplegen/sampleset.h"
#include "scenes/hardscenes.h"

namespace wheelhost::samples {

bool writeHardSceneSet(const std::string& dir, std::string* error) {
  const QDir root(QString::fromStdString(dir));
  QJsonArray truth[2];
  for (const char* sub : {"bright/images", "dark/images"}) {
    if (!root.mkpath(sub)) {
      if (error) *error = root.filePath(sub).toStdString() + ": cannot create the folder";
      return false;
    }
  }
  for (int i = 0; i < scenes::hardSceneCount(); ++i) {
    const scenes::HardScene scene = scenes::renderHardScene(i);
    const QString folder = scene.darkRim ? "dark" : "bright";
    const QString file = QString("images/%1.png").arg(QString::fromStdString(scene.name));
    if (!writeImage(root.filePath(folder + "/" + file), scene.image, error)) return false;
    truth[scene.darkRim ? 1 : 0].append(
        QJsonObject{{"file", file},
                    {"model", "wheel"},
                    {"centre", QJsonArray{scene.centre.x, scene.centre.y}},
                    {"radius", scene.radius},
                    {"occluded", scene.occludedShare}});
  }
  for (int dark = 0; dark < 2; ++dark) {
    const QDir set(root.filePath(dark ? "dark" : "bright"));
    const QJsonObject doc{
        {"coordinates", "OpenCV pixels: the centre of pixel (col, row) is at (col, row)"},
        {"images", truth[dark]}};
    // Dark rims have the darker side inside their outline: polarity 0; bright rims 1.
    const QJsonObject params{{"Circle_Polarity", dark ? 0 : 1}, {"filterSize", 100}, {"d2h", 1.0}};
    if (!writeJson(set.filePath("truth.json"), QJsonDocument(doc), error) ||
        !writeJson(set.filePath("params.json"), QJsonDocument(params), error)) {
      return false;
    }
  }
  return true;
}

}  // namespace wheelhost::samples
