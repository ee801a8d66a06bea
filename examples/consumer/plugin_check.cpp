// Loads the installed wheel plug-in by its file, the way a host does, and creates and
// destroys one analysis object through its two entry points.
#include <QLibrary>
#include <cstdio>

#include "ialgorithm.h"

int main() {
  QLibrary library(PLUGIN_FILE);
  if (!library.load()) {
    std::fprintf(stderr, "plugin_check: %s\n", qPrintable(library.errorString()));
    return 1;
  }
  const auto create = reinterpret_cast<AlgorithmCreateFn>(library.resolve("Algorithm_Create"));
  const auto destroy = reinterpret_cast<AlgorithmDeleteFn>(library.resolve("Algorithm_Delete"));
  if (create == nullptr || destroy == nullptr) {
    std::fprintf(stderr, "plugin_check: entry points missing\n");
    return 1;
  }
  IAlgorithm* algorithm = create(nullptr);
  std::printf("plug-in %s: created %s\n", PLUGIN_FILE,
              algorithm ? "an analysis object" : "nothing");
  destroy(algorithm);
  return algorithm ? 0 : 1;
}
