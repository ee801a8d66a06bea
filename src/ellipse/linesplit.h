#pragma once

#include <vector>

#include "records.h"

// Cutting an edge segment into straight pieces.

namespace ced {

// Splits the `count` pixels (x[i], y[i]) of edge segment `segmentIndex`, in segment order,
// into line segments and appends them to `lines`: a seed of `minLineLength` pixels fitting
// within 0.5, grown while pixels lie within `lineError` (up to 4 stray pixels in a row are
// tolerated), trimmed of stray pixels at both ends. The detector uses 6 and 1.0.
void splitIntoLines(const double* x, const double* y, int count, int segmentIndex,
                    std::vector<LineSegment>& lines, int minLineLength = 6, double lineError = 1.0);

}  // namespace ced
