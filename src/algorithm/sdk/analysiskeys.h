#pragma once

#include <cstddef>
#include <cstring>

// The keys of the parameter map (IImageObject::QueryParams) and of the result map
// (IImageObject::SetResults). Host objects and records travel in the maps as raw pointers
// stored in qlonglong variants.
namespace algorithmkeys {

// --- Parameters -----------------------------------------------------------------------------
inline constexpr const char kModelMap[] = "modelMap";
inline constexpr const char kDefectList[] = "defectList";
inline constexpr const char kIsCutImg[] = "IsCutImg";
inline constexpr const char kThickness[] = "thickness";
inline constexpr const char kUseThickness[] = "useThickness";
inline constexpr const char kUseDiameter[] = "useDiameter";
inline constexpr const char kD2h[] = "d2h";
inline constexpr const char kUseBackground[] = "useBackground";
inline constexpr const char kRatioType[] = "RatioType";
inline constexpr const char kRatio[] = "Ratio";
inline constexpr const char kEqualize[] = "bEqual";
inline constexpr const char kFilterSize[] = "filterSize";
inline constexpr const char kCirclePolarity[] = "Circle_Polarity";
inline constexpr const char kCircleAcceptance[] = "Circle_ACThres";
inline constexpr const char kCircleEdgeWidth[] = "Circle_EdgeWidth";
inline constexpr const char kReportCircle[] = "ReportCircle";
inline constexpr const char kRobustRefine[] = "RobustRefine";
inline constexpr const char kCoarseQuarter[] = "CoarseQuarter";

// How the plug-in converts a parameter's variant: toLongLong taken as a host pointer, toInt,
// toBool or toDouble (Qt's rules; a failed conversion gives that conversion's zero).
enum class ParameterType { Pointer, Int, Bool, Double };

// The variant a key is looked up with, so that a missing key converts exactly as the host's
// own default does: none (an invalid QVariant: 0, false, 0.0, null), an int or a bool.
enum class LookupDefault { None, Int, Bool };

struct ParameterKey {
  const char* key;
  ParameterType type;
  LookupDefault lookup;
  int lookupValue;          // the int or bool (0 or 1) looked up with; 0 for none
  const char* defaultText;  // what a missing key amounts to, as a user reads it
  const char* meaning;
};

// Every parameter key, in the order the plug-in reads them. One table serves the plug-in's
// reading, hosts and the runner's documentation.
inline constexpr ParameterKey kParameterKeys[] = {
    {kModelMap, ParameterType::Pointer, LookupDefault::None, 0, "null",
     "QMap<QString, IWheelModel*>* as qlonglong: the model catalogue, owned by the host"},
    {kDefectList, ParameterType::Pointer, LookupDefault::None, 0, "null",
     "QStringList* as qlonglong: names of the catalogue models to consider; copied at once"},
    {kIsCutImg, ParameterType::Int, LookupDefault::Int, 0, "0",
     "non-zero: the image shows only the wheel already; localisation is skipped"},
    {kThickness, ParameterType::Int, LookupDefault::Int, -1, "-1",
     "measured wheel thickness; compared with the catalogue and reported"},
    {kUseThickness, ParameterType::Bool, LookupDefault::Int, 0, "false",
     "filter the catalogue by thickness"},
    {kUseDiameter, ParameterType::Bool, LookupDefault::Int, 0, "false",
     "filter the catalogue by diameter"},
    {kD2h, ParameterType::Double, LookupDefault::Int, -1, "-1",
     "diameter unit per pixel: diameter = d2h * 2 * radius in pixels"},
    {kUseBackground, ParameterType::Bool, LookupDefault::Bool, 0, "false",
     "subtract the reference background (<filepath>/user/background_r.png) before localising"},
    {kRatioType, ParameterType::Int, LookupDefault::None, 0, "0",
     "1 enables the catalogue's ratio range filter"},
    {kRatio, ParameterType::Double, LookupDefault::None, 0, "0",
     "the ratio compared with each model's range; echoed as \"ratioVal\""},
    {kEqualize, ParameterType::Bool, LookupDefault::None, 0, "false",
     "equalise the histogram before localising"},
    {kFilterSize, ParameterType::Int, LookupDefault::None, 0, "0",
     "smallest wheel: the smallest coarse circle's diameter in half-size pixels, and the "
     "smallest refined circle's radius in full-size pixels"},
    {kCirclePolarity, ParameterType::Int, LookupDefault::Int, 0, "0",
     "0: rim edge dark inside to bright outside; anything else: bright inside to dark outside"},
    {kCircleAcceptance, ParameterType::Int, LookupDefault::Int, 3, "3",
     "circle acceptance threshold, 0 to 100"},
    {kCircleEdgeWidth, ParameterType::Int, LookupDefault::Int, 3, "3",
     "circle edge width in pixels"},
    {kReportCircle, ParameterType::Bool, LookupDefault::Bool, 0, "false",
     "also report the found circle under \"circle\""},
    {kRobustRefine, ParameterType::Bool, LookupDefault::Bool, 0, "false",
     "after the refinement, refit the circle against edges not of the rim (a hidden part of the "
     "rim, objects touching it); kept only when it is better supported"},
    {kCoarseQuarter, ParameterType::Bool, LookupDefault::Bool, 0, "false",
     "search the coarse circle on a quarter-size copy instead of the half-size one: about half "
     "the time on large frames; the full-size refinement that gives the result is unchanged"},
};

inline constexpr std::size_t kParameterKeyCount = sizeof(kParameterKeys) / sizeof(ParameterKey);

// The table entry of `key` (exact spelling), or null.
inline const ParameterKey* findParameterKey(const char* key) {
  for (const ParameterKey& k : kParameterKeys) {
    if (std::strcmp(k.key, key) == 0) return &k;
  }
  return nullptr;
}

// --- Results --------------------------------------------------------------------------------
// double: the "Ratio" parameter; in every call that got past reading the parameters.
inline constexpr const char kRatioVal[] = "ratioVal";
// int 0: the delivered image and the reference background differ in size.
inline constexpr const char kError[] = "error";
// int 0: no wheel was found.
inline constexpr const char kNoCircle[] = "noCircle";
// FluorescenceResult* as qlonglong; the host takes ownership and deletes it.
inline constexpr const char kResult[] = "result";
// QVariantList of three doubles, only when "ReportCircle" is true and the wheel was localised:
// the found circle's centre x, centre y and radius in pixels of the delivered image, before
// any halving of the cut-out; the centre of pixel (column j, row i) is at (j, i).
inline constexpr const char kCircle[] = "circle";

}  // namespace algorithmkeys
