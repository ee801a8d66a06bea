#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <vector>

#include "sweep/sweepstats.h"

namespace wheelhost {

// Loads the labelled images a sweep runs on. Each input is
//   - a set folder holding "truth.json" (as samplegen writes them): its images/ sub-folder (or
//     the folder itself), its truth file, and its "params.json" when there is one;
//   - or image files and folders, whose truth comes from `truthFile`.
// `overrides` (from --params) is laid over every image's parameters. Images the truth names
// without a centre and radius (an empty scene), or does not name, are left out with a note.
// Returns false and sets `error` when an input, a truth or parameter file is unusable, or no
// labelled image remains.
bool loadLabelledImages(const QStringList& inputs, const QString& truthFile,
                        const QVariantMap& overrides, bool recursive,
                        std::vector<LabelledImage>* images, QStringList* notes, QString* error);

}  // namespace wheelhost
