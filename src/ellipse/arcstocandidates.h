#pragma once

#include "arcs.h"
#include "records.h"

// The arcs left after joining become circle or ellipse candidates when they cover enough of
// their curve for their fit error.

namespace ced {

// Appends a candidate to `candidates` for every arc of `arcs` that qualifies; the candidates
// point at the arcs' pixels. With c a covered share and e the circle fit error, a circle
// qualifies when (c >= 0.87 and e <= 1.5), (c >= 0.5 and e <= 1.25) or (c >= 0.33 and
// e <= 1.0).
//  - An elliptic arc covering at least half its ellipse with ellipse error <= 1.5 becomes an
//    ellipse; otherwise it may become a circle, c being the larger of its coverage and its
//    angular span / 2π.
//  - A circular arc covering less than a quarter is dropped; one that qualifies becomes a
//    circle; one covering at least 0.33 is fitted with an ellipse and becomes an ellipse when
//    that fits within 1.5 and covers at least half (the larger of its coverage and its pixel
//    count over the ellipse's perimeter).
void arcsToCandidates(const ArcList& arcs, CandidateList& candidates);

// The circle test above.
bool coversEnoughForCircle(double cover, double circleError);

}  // namespace ced
