#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <vector>

#include "analysiskeys.h"

namespace wheelhost {

// The analysis parameters a user may set: the plug-in's key table without the two pointers the
// runner supplies itself, "modelMap" and "defectList", in the plug-in's reading order. Each
// value is stored in the map with the QVariant type of the key's conversion.
using ParameterType = algorithmkeys::ParameterType;
using ParameterKey = algorithmkeys::ParameterKey;

const std::vector<ParameterKey>& parameterKeys();

// The entry for `key` (exact spelling), or null.
const ParameterKey* findParameterKey(const QString& key);

// "int", "bool", "number" or "pointer".
const char* typeName(ParameterType type);

// Reads a parameter file - a JSON object of key: value - into `map`, over what it holds.
// Integers take integral JSON numbers (or true/false as 1/0), booleans take true/false or 0/1,
// numbers any JSON number. Keys outside the table are kept as JSON gives them (the plug-in
// ignores them) with a warning; the runner's own keys are refused. Returns false and sets
// `error` (naming the file and the key) when the file is unusable; `map` is then unchanged.
bool loadParameterFile(const QString& path, QVariantMap& map, QStringList* warnings,
                       QString* error);

// Applies one --set KEY=VALUE. Unlike a file, an unknown key is an error here: a key typed by
// hand that the plug-in does not know is a typo. Returns false and sets `error` when the
// setting is unusable; `map` is then unchanged.
bool applySetting(const QString& setting, QVariantMap& map, QString* error);

// Warnings for values the plug-in accepts but that cannot work as meant (an acceptance
// threshold outside 0..100, a non-positive "d2h"). Empty when all is well.
QStringList checkParameterValues(const QVariantMap& map);

}  // namespace wheelhost
