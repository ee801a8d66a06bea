#pragma once

namespace vistrel {

// For every mask of `Lanes` bits, the positions of its set bits, lowest first (the rest 0), and
// their number. Vector code packs the lanes a comparison kept to the front with one table load
// and one store, instead of a store or a branch per lane.
template <int Lanes, class Index>
struct LaneTable {
  Index index[1 << Lanes][Lanes] = {};
  unsigned char count[1 << Lanes] = {};
  constexpr LaneTable() {
    for (int mask = 0; mask < (1 << Lanes); ++mask) {
      int n = 0;
      for (int bit = 0; bit < Lanes; ++bit) {
        if ((mask >> bit) & 1) index[mask][n++] = static_cast<Index>(bit);
      }
      count[mask] = static_cast<unsigned char>(n);
    }
  }
};

}  // namespace vistrel
