#pragma once

#include <QStringList>

#include "iwheelmodel.h"
#include "objects/parameterbuilder.h"
#include "scenes/scenes.h"

// What the analysis benchmarks share: the host's catalogue of three wheel designs with real
// template matchers, the parameters of a call, and the process set-up Qt needs.
namespace benchhost {

constexpr int kFilterSize = 200;
constexpr double kD2h = 0.5;

// Three designs a template matcher tells apart; the shots show the first ("WHEEL-5").
scenes::WheelLayout design(int index);

// The catalogue's model map and name list (built on first use, kept for the process).
WheelModelMap* catalogueModels();
QStringList* catalogueNames();

// Parameters of one call: the catalogue, d2h kD2h, filter size kFilterSize, white-to-black
// polarity (the bright rim on its darker surroundings), thickness 180.
wheelhost::ParameterBuilder parameters();

// Once per process: a GUI application (the result record holds pixmaps; no display needed)
// and a debug channel that drops the analysis' progress lines.
void prepareQt(const char* programName);

}  // namespace benchhost
