#pragma once

#include <QJsonDocument>
#include <QString>

namespace wheelhost {

// Reads and parses a JSON file. On failure returns false and sets `problem` to what went wrong,
// without the path: "no such file", "cannot read: <reason>", or "not valid JSON at line L,
// column C: <reason>".
bool readJsonFile(const QString& path, QJsonDocument* doc, QString* problem);

}  // namespace wheelhost
