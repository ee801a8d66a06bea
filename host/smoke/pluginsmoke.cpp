// Loads the plug-in the way the inspection host does - by file, resolving the two entry points
// by their plain names - creates an analysis object, runs one analysis on a synthetic wheel
// with the default parameters, and deletes the object. Prints each step; exits non-zero when
// a step fails.
//
//   pluginsmoke <path to the plug-in library>
#include <QGuiApplication>
#include <QLibrary>
#include <QStringList>
#include <cstdio>
#include <opencv2/imgproc.hpp>

#include "fluorescenceresult.h"
#include "ialgorithm.h"
#include "objects/imageobject.h"
#include "objects/parameterbuilder.h"

namespace {

int fail(const char* step, const QString& detail) {
  std::fprintf(stderr, "pluginsmoke: %s failed: %s\n", step, qPrintable(detail));
  return 1;
}

void printResults(const wheelhost::ImageObject& image) {
  if (image.setResultsCount() == 0) {
    std::printf("  no results delivered\n");
    return;
  }
  std::printf("  results: %s\n", qPrintable(QStringList(image.results().keys()).join(", ")));
  if (const FluorescenceResult* r = image.result()) {
    std::printf(
        "  record: diameter %.3f, thickness %.1f, model \"%s\", score %.4f, "
        "similarity %.4f, %.3f s, image %dx%d, source %dx%d\n",
        r->diameter, r->thickness, qPrintable(r->model), r->score, r->similarity, r->seconds,
        r->image.width(), r->image.height(), r->source.width(), r->source.height());
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: pluginsmoke <plug-in library>\n");
    return 2;
  }
  // The result record holds pixmaps, which need a GUI application; nothing is shown, so no
  // display is needed either.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QString path = QString::fromLocal8Bit(argv[1]);

  QLibrary library(path);
  if (!library.load()) return fail("loading", library.errorString());
  std::printf("loaded %s\n", qPrintable(library.fileName()));

  const auto create = reinterpret_cast<AlgorithmCreateFn>(library.resolve(kAlgorithmCreateName));
  const auto destroy = reinterpret_cast<AlgorithmDeleteFn>(library.resolve(kAlgorithmDeleteName));
  if (create == nullptr) return fail("resolving Algorithm_Create", library.errorString());
  if (destroy == nullptr) return fail("resolving Algorithm_Delete", library.errorString());
  std::printf("resolved %s and %s\n", kAlgorithmCreateName, kAlgorithmDeleteName);

  IAlgorithm* algorithm = create(nullptr);
  if (algorithm == nullptr) return fail("Algorithm_Create", "returned null");
  std::printf("created an analysis object\n");

  // A bright disc on a dark ground: the simplest wheel there is.
  cv::Mat scene(480, 640, CV_8UC1, cv::Scalar(30));
  cv::circle(scene, cv::Point(320, 240), 150, cv::Scalar(200), cv::FILLED, cv::LINE_AA);
  wheelhost::ImageObject image(scene);
  image.setParameters(wheelhost::ParameterBuilder().ratio(1.0).d2h(0.5).map());
  const int status = algorithm->IImageAnalysis(&image, nullptr, nullptr);
  std::printf("IImageAnalysis on a %dx%d grey image returned %d\n", scene.cols, scene.rows, status);
  printResults(image);

  destroy(algorithm);
  destroy(nullptr);
  std::printf("deleted the analysis object (and Algorithm_Delete(null) did nothing)\n");
  return 0;
}
