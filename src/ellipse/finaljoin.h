#pragma once

#include "records.h"

// The last stage of the detector: near-duplicate circles and ellipses (the two edges of a
// thin ring, one outline found twice from different arcs) are merged into one.

namespace ced {

// Sorts `validated` in place by decreasing radius (circle fit radius, also for ellipses),
// replaces each ellipse candidate's centre by its conic's centre and fills `majorAxis` and
// `minorAxis` with the conic's two semi-axes (as computed, not ordered by size). Then, in that
// order, each candidate not yet merged collects the later ones whose centre is within 12
// pixels and whose two sizes ((r, r) for a circle, the two axes for an ellipse) each differ by
// at most 6 pixels, and tries to absorb them one by one: two circles by a common circle fit,
// otherwise by a common ellipse fit, accepting a fit error up to 2. A group that absorbed
// something is appended to `out` without pixels (pixel count 0); a candidate that absorbed
// nothing is appended unchanged. Reads the candidates' pixels; writes nothing through them.
void joinNearDuplicates(CandidateList& validated, CandidateList& out);

}  // namespace ced
