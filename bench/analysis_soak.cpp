// Soak: many analysis calls on one object over varied images, printing the resident memory
// every so many calls, so that growth (a leak, a cache without bound) shows as a rising series.
//   analysis_soak [CALLS] [EVERY]        (default 10000 calls, a line every 1000)
// The images cycle through wheels of three looks and two sizes, a shot in a ring light with
// its background, an empty belt and a cut-out, with and without background subtraction and
// histogram equalisation, so that every path of the call is taken many times (the small
// wheel's cut-out is too small for the look-alike check: the error path).

#include <unistd.h>

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <string>
#include <vector>

#include "ialgorithm.h"
#include "matcher/templatematcher.h"
#include "objects/configobject.h"
#include "objects/imageobject.h"
#include "objects/parameterbuilder.h"
#include "objects/wheelmodel.h"
#include "wheelshots/wheelshots.h"

namespace {

// Resident set size in KiB, from /proc/self/statm (pages).
long residentKiB() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * 4;
}

// Counts the driver's error lines; the others are dropped, as a host would file them away.
long g_errors = 0;
void countErrors(QtMsgType, const QMessageLogContext&, const QString& message) {
  if (message.startsWith("algo run Error")) ++g_errors;
}

struct Case {
  cv::Mat image;
  bool background = false, equalize = false, cut = false;
};

}  // namespace

int main(int argc, char** argv) {
  const long calls = argc > 1 ? std::atol(argv[1]) : 10000;
  const long every = argc > 2 ? std::atol(argv[2]) : 1000;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  cv::setNumThreads(1);
  qInstallMessageHandler(&countErrors);
  // The circle and ellipse detector announces each construction on standard output.
  std::FILE* out = fdopen(dup(1), "w");
  if (out == nullptr || std::freopen("/dev/null", "w", stdout) == nullptr) return 2;

  const cv::Size size(640, 512);
  const wheelshots::RingLightShot ring = wheelshots::ringLightShot(size, {320.0, 256.0}, 150.0);
  QTemporaryDir dir;
  QDir(dir.path()).mkpath("user");
  cv::imwrite((dir.path() + "/user/background.png").toStdString(), ring.emptyScene);
  cv::imwrite((dir.path() + "/user/background_r.png").toStdString(), ring.emptyScene);
  wheelhost::ConfigObject config(
      {QString(dir.path()).replace(QLatin1Char('/'), QLatin1Char('\\'))});

  std::vector<Case> cases;
  cases.push_back({wheelshots::brightWheel(size, {316.0, 250.0}, 170.0, 1).image});
  cases.push_back({wheelshots::darkWheel(size, {330.0, 240.0}, 160.0, 2).image});
  cases.push_back({wheelshots::faintWheel(size, {320.0, 260.0}, 165.0, 3).image, false, true});
  cases.push_back({wheelshots::brightWheel({320, 256}, {160.0, 128.0}, 80.0, 4).image});
  cases.push_back({ring.shot.image, true});
  cases.push_back({wheelshots::emptyBelt(size, 5)});
  cases.push_back(
      {wheelshots::brightWheel({256, 256}, {128.0, 128.0}, 120.0, 6).image, false, false, true});

  // The runner's matcher: it keeps nothing of a call but its last score, so that memory the
  // series shows is the plug-in's (a recording stand-in would grow by each image it is shown).
  const scenes::WheelLayout design = wheelshots::brightLook({400, 400}, {200.0, 200.0}, 170.0);
  wheelhost::TemplateMatcher a(wheelshots::wheelTemplate(design, 170), 0.5);
  wheelhost::TemplateMatcher b(wheelshots::wheelTemplate(design, 120), 0.5);
  wheelhost::ScriptedWheelModel ma(120.0, 180.0, &a), mb(110.0, 180.0, &b);
  WheelModelMap catalogue{{"A", &ma}, {"B", &mb}};
  QStringList names{"A", "B"};

  IAlgorithm* algorithm = Algorithm_Create(nullptr);
  std::fprintf(out, "calls  resident_KiB\n%5d  %ld\n", 0, residentKiB());
  long delivered = 0;
  for (long call = 1; call <= calls; ++call) {
    const Case& c = cases[static_cast<size_t>(call) % cases.size()];
    const long errorsBefore = g_errors;
    wheelhost::ImageObject image(c.image);
    image.setParameters(wheelhost::ParameterBuilder()
                            .modelMap(&catalogue)
                            .defectList(&names)
                            .d2h(0.5)
                            .filterSize(60)
                            .circlePolarity(call % 3 == 1 ? 0 : 1)
                            .useBackground(c.background)
                            .equalize(c.equalize)
                            .isCutImg(c.cut ? 1 : 0)
                            .useDiameter(call % 2 == 0)
                            .thickness(180)
                            .map());
    image.setConfig(&config);
    algorithm->IImageAnalysis(&image, nullptr, nullptr);
    delivered += image.setResultsCount();
    if (g_errors != errorsBefore && std::getenv("SOAK_VERBOSE")) {
      std::fprintf(out, "call %ld (case %zu) failed\n", call,
                   static_cast<size_t>(call) % cases.size());
    }
    if (call % every == 0) {
      std::fprintf(out, "%5ld  %ld\n", call, residentKiB());
      std::fflush(out);
    }
  }
  Algorithm_Delete(algorithm);
  std::fprintf(out, "delivered %ld of %ld calls, %ld failed\n", delivered, calls, g_errors);
  return delivered + g_errors == calls ? 0 : 1;
}
