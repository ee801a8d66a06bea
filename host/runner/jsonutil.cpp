#include "runner/jsonutil.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QJsonParseError>

namespace wheelhost {

bool readJsonFile(const QString& path, QJsonDocument* doc, QString* problem) {
  const QFileInfo info(path);
  if (!info.exists()) {
    if (problem) *problem = "no such file";
    return false;
  }
  if (info.isDir()) {
    if (problem) *problem = "is a directory, not a file";
    return false;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    if (problem) *problem = "cannot read: " + file.errorString();
    return false;
  }
  const QByteArray bytes = file.readAll();
  QJsonParseError err;
  *doc = QJsonDocument::fromJson(bytes, &err);
  if (err.error != QJsonParseError::NoError) {
    // Qt reports a byte offset; people read lines and columns.
    const QByteArray before = bytes.left(err.offset);
    const int line = before.count('\n') + 1;
    const int column = err.offset - (before.lastIndexOf('\n') + 1) + 1;
    if (problem) {
      *problem = QString("not valid JSON at line %1, column %2: %3")
                     .arg(line)
                     .arg(column)
                     .arg(err.errorString());
    }
    return false;
  }
  return true;
}

bool readJsonArrayFile(const QString& path, const char* key, QJsonArray* array, QString* problem) {
  QJsonDocument doc;
  if (!readJsonFile(path, &doc, problem)) return false;
  if (!doc.isObject() || !doc.object().value(key).isArray()) {
    const bool vowel = QString("aeiouAEIOU").contains(QLatin1Char(key[0]));
    if (problem) {
      *problem =
          QString("expected a JSON object with %1 \"%2\" array").arg(vowel ? "an" : "a").arg(key);
    }
    return false;
  }
  *array = doc.object().value(key).toArray();
  return true;
}

}  // namespace wheelhost
