// Writes the regression set's golden file: every output of every scene, as the code computes
// it now. Run through scripts/regen-golden; review the difference before committing it.
#include <QGuiApplication>
#include <cstdio>
#include <exception>

#include "regressionset.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s GOLDEN_FILE\n", argv[0]);
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  QGuiApplication app(qtArgc, argv);  // the analysis record holds pixmaps
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
  try {
    regression::Golden golden;
    for (const regression::Scene& scene : regression::scenes()) {
      golden.emplace_back(scene.name, regression::outputsOf(scene));
      std::fprintf(stderr, "%s: %zu lines\n", scene.name.c_str(), golden.back().second.size());
    }
    regression::writeGolden(argv[1], golden);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "regression_golden: %s\n", e.what());
    return 1;
  }
  return 0;
}
