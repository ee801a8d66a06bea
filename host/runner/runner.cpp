#include "runner/runner.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSet>
#include <exception>
#include <functional>
#include <memory>

#include "analysiskeys.h"
#include "objects/configobject.h"
#include "objects/imageobject.h"
#include "runner/catalogue.h"
#include "runner/console.h"
#include "runner/cutoutlocator.h"
#include "runner/imageio.h"
#include "runner/overlay.h"
#include "runner/parameters.h"
#include "runner/pixmapgrey.h"
#include "runner/pluginlibrary.h"
#include "runner/truth.h"
#include "variantpointer.h"

namespace wheelhost {

namespace {

// Qt's message channels during a run: the plug-in logs its progress there. Lines are kept per
// analysis call (to explain a failed call) and shown only with --verbose; warnings always.
struct MessageSink {
  std::FILE* stream = stderr;
  bool verbose = false;
  QStringList callLog;
  std::function<void()> beforeWrite;
};
MessageSink* g_sink = nullptr;

void handleMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (g_sink == nullptr) {
    std::fprintf(stderr, "%s\n", qPrintable(text));
    return;
  }
  g_sink->callLog << text;
  const bool show =
      g_sink->verbose || type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg;
  if (!show) return;
  if (g_sink->beforeWrite) g_sink->beforeWrite();
  const char* kind = type == QtDebugMsg || type == QtInfoMsg ? "log" : "warning";
  std::fprintf(g_sink->stream, "wheelhost: %s: %s\n", kind, qPrintable(text));
}

class Run {
 public:
  Run(const RunnerOptions& o, const RunnerEnvironment& env) : opt_(o), env_(env) {}
  int execute();

 private:
  bool prepare();  // false: unusable arguments (already reported)
  ImageOutcome analyse(const QString& file, IAlgorithm* algorithm);
  void locate(const cv::Mat& grey, const FluorescenceResult& record, const QVariantMap& results,
              ImageOutcome& o);
  void writeFiles(const QString& file, const cv::Mat& grey, const FluorescenceResult* record,
                  const ImageOutcome& o);
  void report(const ImageOutcome& o);
  void message(const QString& text);
  void warn(const QString& text) { message("warning: " + text); }

  RunnerOptions opt_;
  RunnerEnvironment env_;
  std::unique_ptr<Catalogue> catalogue_;
  QStringList names_;
  QVariantMap params_;
  std::unique_ptr<ConfigObject> config_;
  std::unique_ptr<TruthTable> truth_;
  std::unique_ptr<PluginLibrary> plugin_;
  QString outDir_;
  std::unique_ptr<QFile> jsonl_, csv_;
  QSet<QString> usedStems_;
  std::unique_ptr<ProgressBar> progress_;
  Summary summary_;
  int writeProblems_ = 0;
  bool sampleMode_ = false;
};

void Run::message(const QString& text) {
  if (progress_) progress_->clear();
  std::fprintf(env_.messages, "wheelhost: %s\n", qPrintable(text));
  std::fflush(env_.messages);
}

bool Run::prepare() {
  const auto unusable = [&](const QString& text) {
    message(text);
    return false;
  };

  // No images named: the bundled sample set, with everything that belongs to it.
  if (opt_.inputs.isEmpty()) {
    const QDir set(opt_.samples.isEmpty() ? env_.defaultSamples : opt_.samples);
    if (!QFileInfo(set.filePath("images")).isDir() ||
        !QFileInfo(set.filePath("catalogue.json")).isFile()) {
      return unusable(QString("no images given, and the sample set %1 is missing or incomplete: "
                              "write it with samplegen, or name images to analyse "
                              "(wheelhost --help)")
                          .arg(set.path()));
    }
    sampleMode_ = true;
    opt_.inputs << set.filePath("images");
    if (opt_.catalogue.isEmpty()) opt_.catalogue = set.filePath("catalogue.json");
    if (opt_.params.isEmpty() && QFileInfo(set.filePath("params.json")).isFile()) {
      opt_.params = set.filePath("params.json");
    }
    if (opt_.configDir.isEmpty()) opt_.configDir = set.path();
    if (opt_.truth.isEmpty() && QFileInfo(set.filePath("truth.json")).isFile()) {
      opt_.truth = set.filePath("truth.json");
    }
  }

  QString error;
  QStringList warnings;
  if (!opt_.catalogue.isEmpty()) {
    catalogue_ = Catalogue::load(opt_.catalogue, &warnings, &error);
    if (!catalogue_) return unusable(error);
    names_ = catalogue_->names();
  }
  if (!opt_.models.isEmpty()) {
    if (!catalogue_) return unusable("--models needs a catalogue (--catalogue FILE)");
    for (const QString& name : opt_.models) {
      if (!names_.contains(name)) {
        return unusable(QString("--models: \"%1\" is not in the catalogue %2 (it has: %3)")
                            .arg(name, opt_.catalogue, names_.join(", ")));
      }
    }
    names_ = opt_.models;
    names_.removeDuplicates();
  }
  if (!opt_.params.isEmpty() && !loadParameterFile(opt_.params, params_, &warnings, &error)) {
    return unusable(error);
  }
  for (const QString& setting : opt_.settings) {
    if (!applySetting(setting, params_, &error)) return unusable(error);
  }
  warnings << checkParameterValues(params_);
  for (const QString& w : warnings) warn(w);
  // The plug-in's own sub-pixel circle; a plug-in that does not know the key ignores it.
  params_.insert(algorithmkeys::kReportCircle, QVariant(true));
  if (catalogue_) {
    params_.insert(algorithmkeys::kModelMap, variantFromPointer(catalogue_->modelMap()));
    params_.insert(algorithmkeys::kDefectList, variantFromPointer(&names_));
  }

  if (!opt_.configDir.isEmpty()) {
    const QFileInfo dir(opt_.configDir);
    if (!dir.isDir()) return unusable(QString("--config %1: no such folder").arg(opt_.configDir));
    config_ = std::make_unique<ConfigObject>(
        QStringList{QDir::toNativeSeparators(dir.absoluteFilePath())});
  }
  if (!opt_.truth.isEmpty()) {
    truth_ = TruthTable::load(opt_.truth, &error);
    if (!truth_) return unusable(error);
  }

  QString pluginPath = opt_.plugin;
  if (pluginPath.isEmpty()) {
    const QStringList candidates = defaultPluginCandidates(env_.executableDir);
    pluginPath = candidates.first();
    for (const QString& c : candidates) {
      if (QFileInfo(c).isFile()) {
        pluginPath = c;
        break;
      }
    }
  }
  plugin_ = PluginLibrary::load(pluginPath, &error);
  if (!plugin_) return unusable(error);

  // Created last, so that unusable arguments leave no empty result files behind.
  if (!opt_.outDir.isEmpty()) {
    const QDir out(opt_.outDir);
    if (!out.mkpath("cutouts") || !out.mkpath("overlays")) {
      return unusable(QString("--out %1: cannot create the folder").arg(opt_.outDir));
    }
    outDir_ = out.path();
    jsonl_ = std::make_unique<QFile>(out.filePath("results.jsonl"));
    csv_ = std::make_unique<QFile>(out.filePath("results.csv"));
    for (QFile* f : {jsonl_.get(), csv_.get()}) {
      if (!f->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        return unusable(QString("%1: cannot write: %2").arg(f->fileName(), f->errorString()));
      }
    }
    csv_->write((csvHeader() + "\n").toUtf8());
    csv_->flush();
  }
  return true;
}

void Run::locate(const cv::Mat& grey, const FluorescenceResult& record, const QVariantMap& results,
                 ImageOutcome& o) {
  const cv::Mat cut = greyFromPixmap(record.image);
  o.cutoutSize = cut.size();
  // A pre-cut image is analysed whole: there is no circle to report.
  if (params_.value(algorithmkeys::kIsCutImg).toInt() != 0 || cut.empty()) return;
  if (const auto circle = reportedCircle(results)) {
    o.centre = circle->centre;
    o.radius = circle->radius;
    o.circleFromPlugin = true;
    o.halved = cutoutWasHalved(circle->radius, cut.size());
  } else if (const auto placement = locateCutout(grey, cut)) {
    // A plug-in that does not report its circle: where its cut-out lies tells it to a pixel.
    const LocatedCircle c = circleOf(*placement);
    o.centre = c.centre;
    o.radius = c.radius;
    o.halved = placement->halved;
  } else {
    warn(QString("%1: the cut-out (%2 x %3) was not found in the image; no centre reported")
             .arg(o.file)
             .arg(cut.cols)
             .arg(cut.rows));
  }
}

ImageOutcome Run::analyse(const QString& file, IAlgorithm* algorithm) {
  ImageOutcome o;
  o.file = file;
  QString problem;
  const cv::Mat image = readImageFile(file, &problem);
  if (image.empty()) {
    o.error = problem;
    message(QString("%1: %2").arg(file, problem));
    return o;
  }
  o.sourceSize = image.size();
  const cv::Mat delivered = toDelivered(image);
  // Rows padded to whole 32-bit words, the way camera frames and Windows bitmaps come.
  const int rowBytes = delivered.cols * static_cast<int>(delivered.elemSize());
  ImageObject host(delivered, (rowBytes + 3) / 4 * 4);
  host.setParameters(params_);
  host.setConfig(config_.get());

  if (catalogue_) {
    for (const QString& name : catalogue_->names()) catalogue_->matcher(name)->clearLast();
  }
  g_sink->callLog.clear();
  QElapsedTimer timer;
  timer.start();
  try {
    o.returnValue = algorithm->IImageAnalysis(&host, nullptr, nullptr);
  } catch (const std::exception& e) {
    problem = QString("the plug-in let an exception escape: %1").arg(e.what());
  } catch (...) {
    problem = "the plug-in let an exception escape";
  }
  o.wallSeconds = timer.nsecsElapsed() / 1e9;
  // The record is ours from delivery on; it goes when this function returns.
  const std::unique_ptr<FluorescenceResult> record = host.takeResult();
  const QVariantMap results = host.results();

  if (catalogue_) {
    for (const CatalogueEntry& e : catalogue_->entries()) {
      if (const auto last = catalogue_->matcher(e.name)->last()) {
        o.candidates.emplace_back(e.name, last->score);
      }
    }
  }
  if (results.contains(algorithmkeys::kRatioVal)) {
    o.ratioVal = results.value(algorithmkeys::kRatioVal).toDouble();
  }
  if (record) {
    o.hasRecord = true;
    o.diameter = record->diameter;
    o.thickness = record->thickness;
    o.seconds = record->seconds;
    o.score = record->score;
    o.similarity = record->similarity;
    o.model = record->model;
  }

  const cv::Mat grey = analysedGrey(image);
  if (!problem.isEmpty()) {
    o.status = ImageOutcome::Status::Failed;
    o.error = problem;
  } else if (host.setResultsCount() == 0) {
    o.status = ImageOutcome::Status::Failed;
    o.error = QString("the analysis delivered no results (it returned %1)").arg(o.returnValue);
    for (const QString& line : g_sink->callLog) {
      if (line.contains("Error", Qt::CaseInsensitive)) o.error += "; its log: " + line;
    }
  } else if (results.contains(algorithmkeys::kError)) {
    o.status = ImageOutcome::Status::BackgroundError;
    // Where the plug-in looks: ./user/background.png, else the configured folder's
    // background_r.png (mirrored); that folder's background.png only after a size mismatch.
    const QString where = config_ ? QString("./user/background.png or %1")
                                        .arg(QDir(opt_.configDir).filePath("user/background_r.png"))
                                  : QString("./user/background.png; no --config folder given");
    o.error = QString(
                  "the reference background (%1) is missing or differs in size from the "
                  "image")
                  .arg(where);
  } else if (results.contains(algorithmkeys::kNoCircle)) {
    o.status = ImageOutcome::Status::NoWheel;
  } else if (record) {
    o.status = ImageOutcome::Status::Found;
    locate(grey, *record, results, o);
  } else {
    o.status = ImageOutcome::Status::Failed;
    o.error = "the analysis delivered results without a result record";
  }
  if (o.failed()) message(QString("%1: %2").arg(file, o.error));

  if (truth_) {
    if (const TruthEntry* t = truth_->find(file)) {
      o.hasTruth = true;
      o.truthModel = t->model;
      o.truthCentre = t->centre;
      o.truthRadius = t->radius;
    }
  }
  if (!outDir_.isEmpty()) writeFiles(file, grey, record.get(), o);
  return o;
}

void Run::writeFiles(const QString& file, const cv::Mat& grey, const FluorescenceResult* record,
                     const ImageOutcome& o) {
  // One name per image, also when two folders hold files of the same name.
  const QString base = QFileInfo(file).completeBaseName();
  QString stem = base;
  for (int n = 2; usedStems_.contains(stem); ++n) stem = QString("%1_%2").arg(base).arg(n);
  usedStems_.insert(stem);
  const QDir out(outDir_);
  QString problem;
  if (record && o.status == ImageOutcome::Status::Found) {
    const QString path = out.filePath("cutouts/" + stem + ".png");
    if (!writeImageFile(path, greyFromPixmap(record->image), &problem)) {
      ++writeProblems_;
      message(QString("%1: %2").arg(path, problem));
    }
  }
  const QString path = out.filePath("overlays/" + stem + ".png");
  if (!writeImageFile(path, drawOverlay(grey, o), &problem)) {
    ++writeProblems_;
    message(QString("%1: %2").arg(path, problem));
  }
}

void Run::report(const ImageOutcome& o) {
  if (progress_) progress_->clear();
  const QByteArray json = QJsonDocument(toJson(o)).toJson(QJsonDocument::Compact);
  if (opt_.json) {
    std::fprintf(env_.results, "%s\n", json.constData());
  } else {
    std::fprintf(env_.results, "%s\n", textLine(o).toUtf8().constData());
  }
  std::fflush(env_.results);
  if (jsonl_) {
    jsonl_->write(json + "\n");
    jsonl_->flush();
  }
  if (csv_) {
    csv_->write((csvRow(o) + "\n").toUtf8());
    csv_->flush();
  }
}

int Run::execute() {
  MessageSink sink;
  sink.stream = env_.messages;
  sink.verbose = opt_.verbose;
  sink.beforeWrite = [this] {
    if (progress_) progress_->clear();
  };
  g_sink = &sink;
  const QtMessageHandler previous = qInstallMessageHandler(handleMessage);
  struct Restore {
    QtMessageHandler previous;
    ~Restore() {
      qInstallMessageHandler(previous);
      g_sink = nullptr;
    }
  } restore{previous};

  if (!prepare()) return 2;

  QStringList problems;
  QStringList files = collectImageFiles(opt_.inputs, opt_.recursive, &problems);
  if (sampleMode_) {
    // Paths the user did not type are shown short: relative to the current folder when inside it.
    const QDir here = QDir::current();
    for (QString& f : files) {
      const QString rel = here.relativeFilePath(f);
      if (!rel.startsWith("..")) f = rel;
    }
  }
  for (const QString& p : problems) message(p);
  if (files.isEmpty()) {
    message("no images to analyse");
    return 2;
  }

  PluginLibrary::AlgorithmPtr algorithm = plugin_->create();
  if (!algorithm) {
    message(QString("plug-in %1: Algorithm_Create returned no object").arg(plugin_->fileName()));
    return 2;
  }

  progress_ = std::make_unique<ProgressBar>(
      env_.messages, files.size(), opt_.progress && env_.messagesIsTerminal && files.size() > 3);
  for (int i = 0; i < files.size(); ++i) {
    progress_->show(i, qPrintable(QFileInfo(files[i]).fileName()));
    ImageOutcome o;
    try {
      o = analyse(files[i], algorithm.get());
    } catch (const std::exception& e) {
      o.file = files[i];
      o.status = ImageOutcome::Status::Failed;
      o.error = QString("wheelhost could not process the outcome: %1").arg(e.what());
      message(QString("%1: %2").arg(files[i], o.error));
    }
    report(o);
    summary_.add(o);
  }
  progress_->clear();
  algorithm.reset();

  const QStringList order = catalogue_ ? names_ : QStringList();
  if (opt_.json) {
    std::fprintf(env_.messages, "%s\n", qPrintable(summary_.text(order)));
  } else {
    std::fprintf(env_.results, "\n%s\n", qPrintable(summary_.text(order)));
  }
  if (!outDir_.isEmpty()) {
    std::fprintf(env_.messages, "wheelhost: results written to %s\n",
                 qPrintable(QDir::toNativeSeparators(outDir_)));
  }
  std::fflush(env_.results);
  const bool anyFailed = summary_.failedCount() > 0 || !problems.isEmpty() || writeProblems_ > 0;
  return anyFailed ? 1 : 0;
}

}  // namespace

int runWheelhost(const RunnerOptions& options, const RunnerEnvironment& env) {
  return Run(options, env).execute();
}

}  // namespace wheelhost
