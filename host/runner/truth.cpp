#include "runner/truth.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include "runner/jsonutil.h"

namespace wheelhost {

namespace {

QString key(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

}  // namespace

std::unique_ptr<TruthTable> TruthTable::load(const QString& path, QString* error) {
  const auto fail = [&](const QString& what) {
    if (error) *error = QString("%1: %2").arg(path, what);
    return nullptr;
  };
  QString problem;
  QJsonArray images;
  if (!readJsonArrayFile(path, "images", &images, &problem)) return fail(problem);
  const QDir base = QFileInfo(path).absoluteDir();
  std::unique_ptr<TruthTable> table(new TruthTable());
  for (int i = 0; i < images.size(); ++i) {
    const QJsonObject e = images[i].toObject();
    const QString file = e.value("file").toString();
    if (file.isEmpty()) return fail(QString("entry %1: \"file\" must name the image").arg(i + 1));
    TruthEntry t;
    const QJsonValue model = e.value("model");
    if (model.isString()) {
      t.model = model.toString();
    } else if (!model.isNull() && !model.isUndefined()) {
      return fail(QString("entry %1 (%2): \"model\" must be a name or null").arg(i + 1).arg(file));
    }
    const QJsonArray c = e.value("centre").toArray();
    if (c.size() == 2 && c[0].isDouble() && c[1].isDouble()) {
      t.centre = cv::Point2d(c[0].toDouble(), c[1].toDouble());
    }
    if (e.value("radius").isDouble()) t.radius = e.value("radius").toDouble();
    const QString abs = key(base.filePath(file));
    table->entries_.insert(abs, t);
    const QString name = QFileInfo(file).fileName();
    table->byName_.insert(name, table->byName_.contains(name) ? QString() : abs);
  }
  return table;
}

const TruthEntry* TruthTable::find(const QString& imagePath) const {
  auto it = entries_.constFind(key(imagePath));
  if (it != entries_.constEnd()) return &it.value();
  const QString abs = byName_.value(QFileInfo(imagePath).fileName());
  if (abs.isEmpty()) return nullptr;
  it = entries_.constFind(abs);
  return it != entries_.constEnd() ? &it.value() : nullptr;
}

}  // namespace wheelhost
