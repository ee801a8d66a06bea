#pragma once

namespace fluorescence {

// Settings of the wheel's circle search, gathered from the parameter map.
struct CircleParams {
  int polarity = 0;            // "Circle_Polarity": 0 dark-to-bright rim edge, else bright-to-dark
  int acceptance = 3;          // "Circle_ACThres": acceptance threshold, 0 to 100
  int edgeWidth = 3;           // "Circle_EdgeWidth": edge width in pixels
  int minSize = 0;             // "filterSize": smallest refined radius in full-size pixels
  bool robust = false;         // "RobustRefine": refit the refined circle against foreign edges
  bool quarterCoarse = false;  // "CoarseQuarter": coarse search on a quarter-size copy
};

}  // namespace fluorescence
