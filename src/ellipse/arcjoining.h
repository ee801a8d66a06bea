#pragma once

#include "arcs.h"
#include "records.h"

// The three passes that join arcs into longer arcs, each less strict than the one before.
// Every pass sorts its input by coverage (largest first), grows each arc by repeatedly joining
// the nearest fitting arc, appends whatever now covers nearly a whole circle (angular span
// >= 0.87 of 2π, circle fit error <= 1.5) to `candidates` as a circle, and stores everything
// else in `out`. Joined pixels are copied to `buffer`, whose cursor is advanced past them.

namespace ced {

// Pass 1 (list 1 → list 2): circular arcs of any segment with radii within a quarter of the
// smaller, joined by a circle fit. Elliptic arcs are passed on unchanged.
void joinArcsPass1(ArcList& in, ArcList& out, PixelBuffer& buffer, CandidateList& candidates);

// Pass 2 (list 2 → list 3): arcs of the same segment, ends within 5 pixels, joined by an
// ellipse fit.
void joinArcsPass2(ArcList& in, ArcList& out, PixelBuffer& buffer, CandidateList& candidates);

// Pass 3 (list 3 → list 4): arcs of any segment, end distance limited by the radius
// difference, joined by an ellipse fit.
void joinArcsPass3(ArcList& in, ArcList& out, PixelBuffer& buffer, CandidateList& candidates);

}  // namespace ced
