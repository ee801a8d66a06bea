#pragma once

// The keys of the parameter map (IImageObject::QueryParams) and of the result map
// (IImageObject::SetResults). Host objects and records travel in the maps as raw pointers
// stored in qlonglong variants.
namespace algorithmkeys {

// --- Parameters: read in this order; a missing key takes the default in brackets ----------
// QMap<QString, IWheelModel*>* as qlonglong: the model catalogue, owned by the host [null].
inline constexpr const char kModelMap[] = "modelMap";
// QStringList* as qlonglong: names of the catalogue models to consider; copied [null: none].
inline constexpr const char kDefectList[] = "defectList";
// int: non-zero when the image shows only the wheel already [0].
inline constexpr const char kIsCutImg[] = "IsCutImg";
// int: measured wheel thickness [-1].
inline constexpr const char kThickness[] = "thickness";
// bool: filter the catalogue by thickness [false].
inline constexpr const char kUseThickness[] = "useThickness";
// bool: filter the catalogue by diameter [false].
inline constexpr const char kUseDiameter[] = "useDiameter";
// double: diameter unit per pixel; diameter = d2h * 2 * radius in pixels [-1.0].
inline constexpr const char kD2h[] = "d2h";
// bool: subtract the reference background before localising [false].
inline constexpr const char kUseBackground[] = "useBackground";
// int: 1 enables the catalogue's ratio range filter [0].
inline constexpr const char kRatioType[] = "RatioType";
// double: the ratio compared with each model's range, echoed as "ratioVal" [0.0].
inline constexpr const char kRatio[] = "Ratio";
// bool: equalise the histogram before localising [false].
inline constexpr const char kEqualize[] = "bEqual";
// int: smallest wheel size in pixels [0].
inline constexpr const char kFilterSize[] = "filterSize";
// int: 0 dark-to-bright rim edge, anything else bright-to-dark [0].
inline constexpr const char kCirclePolarity[] = "Circle_Polarity";
// int: circle acceptance threshold, 0 to 100 [3].
inline constexpr const char kCircleAcceptance[] = "Circle_ACThres";
// int: circle edge width in pixels [3].
inline constexpr const char kCircleEdgeWidth[] = "Circle_EdgeWidth";
// bool: after the refinement, refit the circle robustly against edges that are not the rim's
// (a hidden part of the rim, objects touching it); kept only when it is better supported
// [false].
inline constexpr const char kRobustRefine[] = "RobustRefine";

// --- Results --------------------------------------------------------------------------------
// double: the "Ratio" parameter; in every call that got past reading the parameters.
inline constexpr const char kRatioVal[] = "ratioVal";
// int 0: the delivered image and the reference background differ in size.
inline constexpr const char kError[] = "error";
// int 0: no wheel was found.
inline constexpr const char kNoCircle[] = "noCircle";
// FluorescenceResult* as qlonglong; the host takes ownership and deletes it.
inline constexpr const char kResult[] = "result";

}  // namespace algorithmkeys
