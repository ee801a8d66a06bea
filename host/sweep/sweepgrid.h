#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <vector>

namespace wheelhost {

// One parameter of a sweep and the values it takes, converted to the key's type.
struct SweepAxis {
  QString key;
  QVariantList values;
};

// The parameters a sweep may vary: those that change where the wheel is found.
const QStringList& sweepableKeys();

// Parses a grid "KEY=V1,V2;KEY=V1,...": keys from sweepableKeys(), each at most once, values
// typed as wheelhost --set takes them (true/false or 0/1 for booleans). Returns false and sets
// `error` (naming the key or the value) when the grid is unusable.
bool parseGrid(const QString& grid, std::vector<SweepAxis>* axes, QString* error);

// Every combination of the axes' values, the last axis varying fastest; one map per setting,
// holding the axes' keys only. No axes give one empty setting.
std::vector<QVariantMap> expandGrid(const std::vector<SweepAxis>& axes);

// "KEY=VALUE KEY=VALUE" in the axes' order, booleans as true/false.
QString settingLabel(const QVariantMap& setting, const std::vector<SweepAxis>& axes);

}  // namespace wheelhost
