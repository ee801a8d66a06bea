#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "runner/outcome.h"

namespace wheelhost {

// One image of the report: its outcome and the files written for it under the output folder
// (paths relative to it, empty when none was written).
struct ReportEntry {
  ImageOutcome outcome;
  QString overlay, overlayThumb;  // overlays/NAME.png and thumbs/NAME-overlay.png
  QString cutout, cutoutThumb;    // cutouts/NAME.png and thumbs/NAME-cutout.png
};

// The side of the square a thumbnail fits in, in pixels.
inline constexpr int kThumbnailSide = 160;

// The report page: one self-contained HTML document (inline style, script and SVG charts; no
// fonts, scripts or network from elsewhere) that shows the summary, two charts (time per image
// in input order, score per model) and a table of every image, sortable by clicking a column
// heading. The table lists failures first, then wheels found without a model, then the rest,
// each group in input order. Images are referred to by the relative paths of `entries`, so
// the page works offline from the output folder. `catalogueNames` orders the models.
QString htmlReport(const std::vector<ReportEntry>& entries, const Summary& summary,
                   const QStringList& catalogueNames);

// The order in which htmlReport lists `entries`: indices into it.
std::vector<int> reportOrder(const std::vector<ReportEntry>& entries);

}  // namespace wheelhost
