#include "sweep/sweepinput.h"

#include <QDir>
#include <QFileInfo>
#include <memory>

#include "runner/imageio.h"
#include "runner/parameters.h"
#include "runner/truth.h"

namespace wheelhost {

namespace {

struct Source {
  QStringList files;
  std::shared_ptr<TruthTable> truth;
  QVariantMap params;
};

}  // namespace

bool loadLabelledImages(const QStringList& inputs, const QString& truthFile,
                        const QVariantMap& overrides, bool recursive,
                        std::vector<LabelledImage>* images, QStringList* notes, QString* error) {
  const auto fail = [&](const QString& what) {
    if (error) *error = what;
    return false;
  };
  const auto withOverrides = [&](QVariantMap params) {
    for (auto it = overrides.begin(); it != overrides.end(); ++it) {
      params.insert(it.key(), it.value());
    }
    return params;
  };
  std::vector<Source> sources;
  QStringList loose;
  for (const QString& input : inputs) {
    const QDir dir(input);
    if (!QFileInfo(input).isDir() || !QFileInfo(dir.filePath("truth.json")).isFile()) {
      loose << input;
      continue;
    }
    Source s;
    QString problem;
    s.truth = TruthTable::load(dir.filePath("truth.json"), &problem);
    if (!s.truth) return fail(problem);
    if (QFileInfo(dir.filePath("params.json")).isFile() &&
        !loadParameterFile(dir.filePath("params.json"), s.params, notes, &problem)) {
      return fail(problem);
    }
    s.params = withOverrides(s.params);
    const QString imageDir =
        QFileInfo(dir.filePath("images")).isDir() ? dir.filePath("images") : dir.path();
    QStringList problems;
    s.files = collectImageFiles({imageDir}, recursive, &problems);
    if (notes) *notes << problems;
    sources.push_back(s);
  }
  if (!loose.isEmpty()) {
    if (truthFile.isEmpty()) {
      return fail(QString("%1: no truth for these images: give --truth FILE, or a set folder "
                          "holding truth.json")
                      .arg(loose.join(", ")));
    }
    Source s;
    QString problem;
    s.truth = TruthTable::load(truthFile, &problem);
    if (!s.truth) return fail(problem);
    s.params = overrides;
    QStringList problems;
    s.files = collectImageFiles(loose, recursive, &problems);
    if (notes) *notes << problems;
    sources.push_back(s);
  }

  std::vector<LabelledImage> out;
  for (const Source& s : sources) {
    for (const QString& file : s.files) {
      const TruthEntry* t = s.truth->find(file);
      if (t == nullptr || !t->centre || !t->radius) {
        if (notes) *notes << QString("%1: no circle in the truth; left out").arg(file);
        continue;
      }
      QString problem;
      const cv::Mat image = readImageFile(file, &problem);
      if (image.empty()) return fail(QString("%1: %2").arg(file, problem));
      out.push_back({file, analysedGrey(image), *t->centre, *t->radius, s.params});
    }
  }
  if (out.empty()) return fail("no labelled images to sweep over");
  *images = std::move(out);
  return true;
}

}  // namespace wheelhost
