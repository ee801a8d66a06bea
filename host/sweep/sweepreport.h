#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <vector>

#include "sweep/sweepstats.h"

namespace wheelhost {

// The sweep's table: one line per setting (its label, then located share and count, centre
// error median over the located images and worst over every image with a circle, radius error
// median, milliseconds per image), the best setting marked with '*'.
QString sweepTable(const QStringList& labels, const std::vector<SettingStats>& stats, int best);

// Per setting, the images not located: file, centre error and radius error (or "no circle").
// `results` holds the localisations setting by setting, as runSweep gives them.
QString missList(const QStringList& labels, const std::vector<LabelledImage>& images,
                 const std::vector<Localisation>& results);

// Writes `base` with `setting` laid over it as a parameter file (a JSON object of key: value)
// that wheelhost --params and a host read. Returns false and sets `error` (naming the file)
// when it cannot be written.
bool writeParameterFile(const QString& path, const QVariantMap& base, const QVariantMap& setting,
                        QString* error);

}  // namespace wheelhost
