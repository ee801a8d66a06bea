#include "runner/catalogue.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <cmath>

#include "runner/imageio.h"
#include "runner/jsonutil.h"

namespace wheelhost {

// A catalogue model as the plug-in sees it. The host's stand-in test models record every call;
// a runner may go through a day's images, so this one keeps nothing but its values.
class Catalogue::Model : public IWheelModel {
 public:
  Model(const CatalogueEntry& e, IModelMatcher* matcher) : entry_(e), matcher_(matcher) {}
  double Diameter() override { return entry_.diameter; }
  double Thickness() override { return entry_.thickness; }
  IModelMatcher* Matcher() override { return matcher_; }
  double RatioMin() override { return entry_.ratioMin; }
  double RatioMax() override { return entry_.ratioMax; }

 private:
  CatalogueEntry entry_;
  IModelMatcher* matcher_;
};

Catalogue::~Catalogue() = default;

namespace {

// Reads an optional finite number field; false with `problem` when present but not a number.
bool numberField(const QJsonObject& obj, const char* key, bool required, double* out,
                 QString* problem) {
  const QJsonValue v = obj.value(key);
  if (v.isUndefined()) {
    if (required) *problem = QString("\"%1\" is missing").arg(key);
    return !required;
  }
  if (!v.isDouble() || !std::isfinite(v.toDouble())) {
    *problem = QString("\"%1\" must be a number").arg(key);
    return false;
  }
  *out = v.toDouble();
  return true;
}

}  // namespace

std::unique_ptr<Catalogue> Catalogue::load(const QString& path, QStringList* warnings,
                                           QString* error) {
  const auto fail = [&](const QString& what) {
    if (error) *error = QString("%1: %2").arg(path, what);
    return nullptr;
  };
  QString problem;
  QJsonArray models;
  if (!readJsonArrayFile(path, "models", &models, &problem)) return fail(problem);
  if (models.isEmpty()) return fail("the \"models\" array is empty");

  const QDir base = QFileInfo(path).absoluteDir();
  std::unique_ptr<Catalogue> cat(new Catalogue());
  for (int i = 0; i < models.size(); ++i) {
    if (!models[i].isObject()) return fail(QString("model %1 is not a JSON object").arg(i + 1));
    const QJsonObject m = models[i].toObject();
    CatalogueEntry e;
    e.name = m.value("name").toString().trimmed();
    if (!m.value("name").isString() || e.name.isEmpty()) {
      return fail(QString("model %1: \"name\" must be a non-empty string").arg(i + 1));
    }
    const QString label = QString("model %1 (\"%2\")").arg(i + 1).arg(e.name);
    if (cat->map_.contains(e.name)) return fail(QString("%1: the name is used twice").arg(label));
    if (!numberField(m, "diameter", true, &e.diameter, &problem) ||
        !numberField(m, "thickness", false, &e.thickness, &problem) ||
        !numberField(m, "ratioMin", false, &e.ratioMin, &problem) ||
        !numberField(m, "ratioMax", false, &e.ratioMax, &problem) ||
        !numberField(m, "acceptLimit", false, &e.acceptLimit, &problem)) {
      return fail(QString("%1: %2").arg(label, problem));
    }
    if (!(e.acceptLimit > 0.0)) {
      return fail(QString("%1: \"acceptLimit\" must be above 0 (scores are 0 at best)").arg(label));
    }
    if (!m.value("template").isString() || m.value("template").toString().isEmpty()) {
      return fail(QString("%1: \"template\" must name the template image").arg(label));
    }
    const QString given = m.value("template").toString();
    e.templatePath = QDir::cleanPath(base.filePath(given));
    const cv::Mat image = readImageFile(e.templatePath, &problem);
    if (image.empty()) {
      return fail(QString("%1: template %2: %3").arg(label, e.templatePath, problem));
    }
    for (auto it = m.begin(); it != m.end(); ++it) {
      static const QStringList known = {"name",     "diameter", "thickness",  "ratioMin",
                                        "ratioMax", "template", "acceptLimit"};
      if (!known.contains(it.key()) && warnings) {
        warnings->append(
            QString("%1: %2: unknown field \"%3\" ignored").arg(path, label, it.key()));
      }
    }
    auto matcher = std::make_unique<TemplateMatcher>(analysedGrey(image), e.acceptLimit);
    if (!matcher->templateUsable() && warnings) {
      warnings->append(QString("%1: %2: template %3 has no contrast (or is smaller than 16 px); "
                               "the model can never be matched")
                           .arg(path, label, e.templatePath));
    }
    auto model = std::make_unique<Model>(e, matcher.get());
    cat->map_.insert(e.name, model.get());
    cat->matchers_.push_back(std::move(matcher));
    cat->models_.push_back(std::move(model));
    cat->entries_.push_back(e);
  }
  return cat;
}

QStringList Catalogue::names() const {
  QStringList out;
  for (const CatalogueEntry& e : entries_) out << e.name;
  return out;
}

TemplateMatcher* Catalogue::matcher(const QString& name) const {
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].name == name) return matchers_[i].get();
  }
  return nullptr;
}

}  // namespace wheelhost
