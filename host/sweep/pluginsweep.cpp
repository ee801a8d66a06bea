#include "sweep/pluginsweep.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <memory>

#include "runner/outcome.h"
#include "runner/parameters.h"
#include "sweep/sweepgrid.h"
#include "sweep/sweepreport.h"
#include "sweep/sweepstats.h"

namespace wheelhost {

namespace {

int unusable(const RunnerEnvironment& env, const QString& text) {
  std::fprintf(env.messages, "wheelhost: %s\n", qPrintable(text));
  return 2;
}

// The parameters every setting is laid over, as the runner builds them: the sample set's or
// --params file, then each --set.
bool baseParameters(const RunnerOptions& o, const RunnerEnvironment& env, QVariantMap* base,
                    QString* error) {
  QString file = o.params;
  if (file.isEmpty() && o.inputs.isEmpty()) {
    const QDir set(o.samples.isEmpty() ? env.defaultSamples : o.samples);
    if (QFileInfo(set.filePath("params.json")).isFile()) file = set.filePath("params.json");
  }
  if (!file.isEmpty() && !loadParameterFile(file, *base, nullptr, error)) return false;
  for (const QString& s : o.settings) {
    if (!applySetting(s, *base, error)) return false;
  }
  return true;
}

}  // namespace

int runPluginSweep(const RunnerOptions& options, const RunnerEnvironment& env) {
  std::vector<SweepAxis> axes;
  QString error;
  if (!parseGrid(options.sweep, &axes, &error)) return unusable(env, error);
  QVariantMap base;
  if (!baseParameters(options, env, &base, &error)) return unusable(env, error);

  std::vector<QVariantMap> settings{QVariantMap()};
  QStringList labels{"(as given)"};
  for (const QVariantMap& s : expandGrid(axes)) {
    settings.push_back(s);
    labels << settingLabel(s, axes);
  }
  // Each run's own lines and summary are not shown; its messages are.
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> quiet(std::tmpfile(), &std::fclose);
  if (!quiet) return unusable(env, "cannot open a temporary file for the runs' output");

  std::vector<SettingStats> stats;
  for (size_t i = 0; i < settings.size(); ++i) {
    RunnerOptions o = options;
    o.sweep.clear();
    o.json = false;
    o.outDir.clear();
    o.report = false;
    for (auto it = settings[i].begin(); it != settings[i].end(); ++it) {
      o.settings << QString("%1=%2").arg(it.key(), it.value().toString());
    }
    RunnerEnvironment e = env;
    e.results = quiet.get();
    std::vector<LabelledImage> truths;
    std::vector<Localisation> found;
    e.onOutcome = [&](const ImageOutcome& outcome) {
      if (!outcome.truthCentre || !outcome.truthRadius) return;
      truths.push_back({outcome.file, cv::Mat(), *outcome.truthCentre, *outcome.truthRadius, {}});
      Localisation l;
      l.found = outcome.centre.has_value() && outcome.radius.has_value();
      if (l.found) l.centre = *outcome.centre, l.radius = *outcome.radius;
      l.seconds = outcome.wallSeconds;
      found.push_back(l);
    };
    std::fprintf(env.messages, "wheelhost: sweep %zu/%zu: %s\n", i + 1, settings.size(),
                 qPrintable(labels[static_cast<int>(i)]));
    if (runWheelhost(o, e) == 2) return 2;
    if (truths.empty()) {
      return unusable(env,
                      "--sweep needs truth for the images: give --truth FILE (as samplegen "
                      "writes it), or run the sample set");
    }
    stats.push_back(summarise(truths, found));
  }
  const int best = bestSetting(stats);
  std::fputs(qPrintable(sweepTable(labels, stats, best)), env.results);
  std::fflush(env.results);
  if (!options.best.isEmpty()) {
    if (!writeParameterFile(options.best, base, settings[static_cast<size_t>(best)], &error)) {
      return unusable(env, error);
    }
    std::fprintf(env.messages, "wheelhost: best setting (%s) written to %s\n",
                 qPrintable(labels[best]), qPrintable(options.best));
  }
  return 0;
}

}  // namespace wheelhost
