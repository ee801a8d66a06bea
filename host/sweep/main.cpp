// wheelsweep: runs the plug-in's localisation over labelled images under a grid of parameter
// settings and reports how well each setting locates the wheels. wheelsweep --help documents
// the options.
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>
#include <thread>

#include "runner/console.h"
#include "runner/imageio.h"
#include "runner/parameters.h"
#include "sweep/sweepeval.h"
#include "sweep/sweepgrid.h"
#include "sweep/sweepinput.h"
#include "sweep/sweepreport.h"

namespace {

void usage(std::FILE* out) {
  std::fprintf(
      out,
      "usage: wheelsweep --grid GRID [options] [SET_OR_IMAGES...]\n"
      "Localises the wheel in every image under every setting of GRID and prints per setting\n"
      "the share located within 1 %% of the radius (centre and radius), the centre error\n"
      "median (located images) and worst (every image with a circle), the radius error median\n"
      "and the localisation time per image. The setting as given (no grid values) comes first.\n"
      "\n"
      "  --grid GRID      KEY=V1,V2;KEY=V1,... over %s\n"
      "  --truth FILE     truth for image files and folders (a set folder brings its own)\n"
      "  --params FILE    parameters laid over every image's (a set folder's params.json)\n"
      "  --background FILE  the reference background, for \"useBackground\" true\n"
      "  --jobs N         parallel localisations (default: every core, here %u)\n"
      "  --best FILE      write the best setting, over the parameters of the first input's\n"
      "                   images, as a parameter file for wheelhost --params or a host\n"
      "  --misses         list, per setting, the images not located and how far off\n"
      "  --recursive      descend into sub-folders\n"
      "  --help           this text\n"
      "A set folder holds truth.json, images/ and optionally params.json (samplegen writes\n"
      "them). With no input, the bundled sample set %s.\n"
      "Exit status: 0 done, 2 unusable arguments or files.\n",
      qPrintable(wheelhost::sweepableKeys().join(", ")), std::thread::hardware_concurrency(),
      WHEELHOST_SAMPLES_DIR);
}

int unusable(const QString& text) {
  std::fprintf(stderr, "wheelsweep: %s\n", qPrintable(text));
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  QStringList inputs;
  QString grid, truth, paramsFile, backgroundFile, bestFile;
  int jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  bool recursive = false, misses = false;
  for (int i = 1; i < argc; ++i) {
    const QString a = QString::fromLocal8Bit(argv[i]);
    const auto value = [&](QString* out) {
      if (i + 1 >= argc) return false;
      *out = QString::fromLocal8Bit(argv[++i]);
      return true;
    };
    QString jobsText;
    if (a == "--help" || a == "-h") {
      usage(stdout);
      return 0;
    } else if (a == "--recursive") {
      recursive = true;
    } else if (a == "--misses") {
      misses = true;
    } else if ((a == "--grid" && !value(&grid)) || (a == "--truth" && !value(&truth)) ||
               (a == "--params" && !value(&paramsFile)) ||
               (a == "--background" && !value(&backgroundFile)) ||
               (a == "--best" && !value(&bestFile)) || (a == "--jobs" && !value(&jobsText))) {
      return unusable(QString("%1 needs a value (wheelsweep --help)").arg(a));
    } else if (a == "--jobs") {
      bool ok = false;
      jobs = jobsText.toInt(&ok);
      if (!ok || jobs < 1) return unusable(QString("--jobs: \"%1\" is no count").arg(jobsText));
    } else if (a.startsWith("-") && a != "--grid" && a != "--truth" && a != "--params" &&
               a != "--background" && a != "--best") {
      return unusable(QString("unknown option %1 (wheelsweep --help)").arg(a));
    } else if (!a.startsWith("-")) {
      inputs << a;
    }
  }
  if (grid.isEmpty()) return unusable("--grid is needed (wheelsweep --help)");
  std::vector<wheelhost::SweepAxis> axes;
  QString error;
  if (!wheelhost::parseGrid(grid, &axes, &error)) return unusable(error);
  if (inputs.isEmpty()) inputs << WHEELHOST_SAMPLES_DIR;

  QStringList notes;
  QVariantMap overrides;
  if (!paramsFile.isEmpty() &&
      !wheelhost::loadParameterFile(paramsFile, overrides, &notes, &error)) {
    return unusable(error);
  }
  std::vector<wheelhost::LabelledImage> images;
  if (!wheelhost::loadLabelledImages(inputs, truth, overrides, recursive, &images, &notes,
                                     &error)) {
    return unusable(error);
  }
  cv::Mat background;
  if (!backgroundFile.isEmpty()) {
    QString problem;
    const cv::Mat image = wheelhost::readImageFile(backgroundFile, &problem);
    if (image.empty()) return unusable(QString("%1: %2").arg(backgroundFile, problem));
    background = wheelhost::analysedGrey(image);
  }
  for (const QString& n : notes) std::fprintf(stderr, "wheelsweep: %s\n", qPrintable(n));

  std::vector<QVariantMap> settings{QVariantMap()};
  QStringList labels{"(as given)"};
  for (const QVariantMap& s : wheelhost::expandGrid(axes)) {
    settings.push_back(s);
    labels << wheelhost::settingLabel(s, axes);
  }
  std::fprintf(stderr, "wheelsweep: %zu images x %zu settings on %d threads\n", images.size(),
               settings.size(), jobs);

  // The detector writes a line to standard output for each construction: kept off the table.
  wheelhost::OutputChannels channels(false);
  const bool terminal = wheelhost::isTerminal(stderr);
  std::vector<wheelhost::Localisation> results;
  const auto stats = wheelhost::runSweep(
      images, background, settings, jobs,
      [&](int d, int t) {
        if (terminal) std::fprintf(stderr, "\r%d/%d", d, t);
      },
      &results);
  if (terminal) std::fprintf(stderr, "\r\n");
  const int best = wheelhost::bestSetting(stats);
  std::fputs(qPrintable(wheelhost::sweepTable(labels, stats, best)), channels.results());
  if (misses) {
    std::fputs(qPrintable(wheelhost::missList(labels, images, results)), channels.results());
  }
  std::fflush(channels.results());
  if (!bestFile.isEmpty()) {
    if (!wheelhost::writeParameterFile(bestFile, images.front().params,
                                       settings[static_cast<size_t>(best)], &error)) {
      return unusable(error);
    }
    std::fprintf(stderr, "wheelsweep: best setting (%s) written to %s\n", qPrintable(labels[best]),
                 qPrintable(bestFile));
  }
  return 0;
}
