#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QString>

namespace wheelhost {

// Reads and parses a JSON file. On failure returns false and sets `problem` to what went wrong,
// without the path: "no such file", "cannot read: <reason>", or "not valid JSON at line L,
// column C: <reason>".
bool readJsonFile(const QString& path, QJsonDocument* doc, QString* problem);

// Reads a JSON file whose top level is an object holding the array `key`, and copies that array
// to `array`. On failure returns false and sets `problem` as readJsonFile does, or to "expected a
// JSON object with a "<key>" array" ("an" before a vowel) when the file holds something else.
bool readJsonArrayFile(const QString& path, const char* key, QJsonArray* array, QString* problem);

}  // namespace wheelhost
