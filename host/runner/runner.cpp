#include "runner/runner.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSet>
#include <QThread>
#include <algorithm>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "analysiskeys.h"
#include "objects/configobject.h"
#include "objects/imageobject.h"
#include "runner/catalogue.h"
#include "runner/console.h"
#include "runner/cutoutlocator.h"
#include "runner/htmlreport.h"
#include "runner/imageio.h"
#include "runner/overlay.h"
#include "runner/parameters.h"
#include "runner/pluginlibrary.h"
#include "runner/truth.h"
#include "variantpointer.h"
#include "vistrel/qtcvutils.h"

namespace wheelhost {

namespace {

// Qt's message channels during a run: the plug-in logs its progress there, on the thread of
// the analysis call. Lines are kept per analysis call (to explain a failed call) and shown only
// with --verbose; warnings always.
struct MessageSink {
  std::FILE* stream = stderr;
  bool verbose = false;
  std::function<void()> beforeWrite;
  std::mutex writing;
};
MessageSink* g_sink = nullptr;
// While an image is analysed on this thread: the plug-in's log of the call, and the lines to
// show, held back for the image's turn so that they come out in input order.
thread_local QStringList* t_callLog = nullptr;
thread_local QStringList* t_shown = nullptr;

// Directs this thread's messages to an image's lists while it lives.
class ImageMessages {
 public:
  ImageMessages(QStringList* callLog, QStringList* shown) {
    t_callLog = callLog;
    t_shown = shown;
  }
  ~ImageMessages() {
    t_callLog = nullptr;
    t_shown = nullptr;
  }
  ImageMessages(const ImageMessages&) = delete;
  ImageMessages& operator=(const ImageMessages&) = delete;
};

void handleMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (g_sink == nullptr) {
    std::fprintf(stderr, "%s\n", qPrintable(text));
    return;
  }
  if (t_callLog != nullptr) *t_callLog << text;
  const bool show =
      g_sink->verbose || type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg;
  if (!show) return;
  const char* kind = type == QtDebugMsg || type == QtInfoMsg ? "log" : "warning";
  if (t_shown != nullptr) {
    *t_shown << QString("%1: %2").arg(kind, text);
    return;
  }
  std::lock_guard<std::mutex> lock(g_sink->writing);
  if (g_sink->beforeWrite) g_sink->beforeWrite();
  std::fprintf(g_sink->stream, "wheelhost: %s: %s\n", kind, qPrintable(text));
}

// What one analysis thread owns: its analysis object and the host objects the plug-in reads
// and changes during a call (matchers remember their last score, host objects their calls).
struct Worker {
  std::unique_ptr<Catalogue> ownCatalogue;
  Catalogue* catalogue = nullptr;
  QStringList names;
  QVariantMap params;
  std::unique_ptr<ConfigObject> config;
  PluginLibrary::AlgorithmPtr algorithm;
};

// One image's outcome and what the runner has to say about it, held back until its turn so
// that everything comes out in input order however many threads analyse.
struct ImageReport {
  ReportEntry entry;  // the outcome, and the files written for the report page
  QStringList messages;
  int writeProblems = 0;
};

class Run {
 public:
  Run(const RunnerOptions& o, const RunnerEnvironment& env) : opt_(o), env_(env) {}
  int execute();

 private:
  bool prepare();  // false: unusable arguments (already reported)
  std::unique_ptr<Worker> makeWorker(QString* error);
  ImageReport analyseSafely(int index, Worker& worker);
  ImageReport analyse(int index, Worker& worker);
  void locate(const cv::Mat& grey, const FluorescenceResult& record, const QVariantMap& results,
              ImageReport& r);
  void writeFiles(int index, const cv::Mat& grey, const FluorescenceResult* record, ImageReport& r);
  void runAll(std::vector<std::unique_ptr<Worker>>& workers);
  void report(const ImageReport& r);
  void writeReport(const QStringList& modelOrder);
  void message(const QString& text);
  void warn(const QString& text) { message("warning: " + text); }

  RunnerOptions opt_;
  RunnerEnvironment env_;
  std::unique_ptr<Catalogue> catalogue_;
  QStringList names_;
  QVariantMap params_;  // without the catalogue's pointers: each worker adds its own
  QString configPath_;  // the host's "filepath", native separators; empty: no configuration
  std::unique_ptr<TruthTable> truth_;
  std::unique_ptr<PluginLibrary> plugin_;
  QString outDir_;
  std::unique_ptr<QFile> jsonl_, csv_;
  QStringList files_, stems_;
  std::vector<ReportEntry> reportEntries_;  // with --report, in input order
  std::unique_ptr<ProgressBar> progress_;
  Summary summary_;
  int writeProblems_ = 0;
  bool sampleMode_ = false;
  bool firstWorkerMade_ = false;
};

void Run::message(const QString& text) {
  std::lock_guard<std::mutex> lock(g_sink->writing);
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
  // The plug-in's own sub-pixel circle, unless the user asks for the cut-out's place; a
  // plug-in that does not know the key ignores it.
  if (!params_.contains(algorithmkeys::kReportCircle)) {
    params_.insert(algorithmkeys::kReportCircle, QVariant(true));
  }

  if (!opt_.configDir.isEmpty()) {
    const QFileInfo dir(opt_.configDir);
    if (!dir.isDir()) return unusable(QString("--config %1: no such folder").arg(opt_.configDir));
    configPath_ = QDir::toNativeSeparators(dir.absoluteFilePath());
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
    if (!out.mkpath("cutouts") || !out.mkpath("overlays") ||
        (opt_.report && !out.mkpath("thumbs"))) {
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

std::unique_ptr<Worker> Run::makeWorker(QString* error) {
  auto w = std::make_unique<Worker>();
  w->params = params_;
  if (catalogue_) {
    // The first worker uses the catalogue read for the checks; the others read their own.
    if (!firstWorkerMade_) {
      w->catalogue = catalogue_.get();
    } else {
      w->ownCatalogue = Catalogue::load(opt_.catalogue, nullptr, error);
      if (!w->ownCatalogue) return nullptr;
      w->catalogue = w->ownCatalogue.get();
    }
    w->names = names_;
    w->params.insert(algorithmkeys::kModelMap, variantFromPointer(w->catalogue->modelMap()));
    w->params.insert(algorithmkeys::kDefectList, variantFromPointer(&w->names));
  }
  firstWorkerMade_ = true;
  if (!configPath_.isEmpty()) w->config = std::make_unique<ConfigObject>(QStringList{configPath_});
  w->algorithm = plugin_->create();
  if (!w->algorithm) {
    *error = QString("plug-in %1: Algorithm_Create returned no object").arg(plugin_->fileName());
    return nullptr;
  }
  return w;
}

void Run::locate(const cv::Mat& grey, const FluorescenceResult& record, const QVariantMap& results,
                 ImageReport& r) {
  ImageOutcome& o = r.entry.outcome;
  const cv::Mat cut = zq::QtCVUtils::qPixmapToGreyMat(record.image);
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
    r.messages << QString(
                      "warning: %1: the cut-out (%2 x %3) was not found in the image; no "
                      "centre reported")
                      .arg(o.file)
                      .arg(cut.cols)
                      .arg(cut.rows);
  }
}

ImageReport Run::analyseSafely(int index, Worker& worker) {
  QString problem;
  try {
    return analyse(index, worker);
  } catch (const std::exception& e) {
    problem = e.what();
  } catch (...) {
    // On a worker thread nothing may escape: it would end the process.
    problem = "unknown exception";
  }
  ImageReport r;
  ImageOutcome& o = r.entry.outcome;
  o.file = files_.at(index);
  o.status = ImageOutcome::Status::Failed;
  o.error = QString("wheelhost could not process the outcome: %1").arg(problem);
  r.messages << QString("%1: %2").arg(o.file, o.error);
  return r;
}

ImageReport Run::analyse(int index, Worker& worker) {
  ImageReport r;
  QStringList callLog;
  const ImageMessages scope(&callLog, &r.messages);
  ImageOutcome& o = r.entry.outcome;
  const QString& file = files_.at(index);
  o.file = file;
  QString problem;
  cv::Mat image = readImageFile(file, &problem);
  if (image.empty()) {
    o.error = problem;
    r.messages << QString("%1: %2").arg(file, problem);
    return r;
  }
  o.sourceSize = image.size();
  image = toDelivered(image);
  // Rows padded to whole 32-bit words, the way camera frames and Windows bitmaps come.
  const int rowBytes = image.cols * static_cast<int>(image.elemSize());
  const int stride = (rowBytes + 3) / 4 * 4;
  ImageObject host(image, stride);
  // From here on the host object's buffer is the only copy of the pixels: a frame is megabytes.
  const cv::Mat delivered(image.size(), image.type(),
                          const_cast<unsigned char*>(host.buffer().data()), stride);
  image.release();
  host.setParameters(worker.params);
  host.setConfig(worker.config.get());

  if (worker.catalogue) {
    for (const QString& name : worker.catalogue->names()) {
      worker.catalogue->matcher(name)->clearLast();
    }
  }
  QElapsedTimer timer;
  timer.start();
  try {
    o.returnValue = worker.algorithm->IImageAnalysis(&host, nullptr, nullptr);
  } catch (const std::exception& e) {
    problem = QString("the plug-in let an exception escape: %1").arg(e.what());
  } catch (...) {
    problem = "the plug-in let an exception escape";
  }
  o.wallSeconds = timer.nsecsElapsed() / 1e9;
  // The record is ours from delivery on; it goes when this function returns.
  const std::unique_ptr<FluorescenceResult> record = host.takeResult();
  const QVariantMap results = host.results();

  if (worker.catalogue) {
    for (const CatalogueEntry& e : worker.catalogue->entries()) {
      if (const auto last = worker.catalogue->matcher(e.name)->last()) {
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

  const cv::Mat grey = analysedGrey(delivered);
  if (!problem.isEmpty()) {
    o.status = ImageOutcome::Status::Failed;
    o.error = problem;
  } else if (host.setResultsCount() == 0) {
    o.status = ImageOutcome::Status::Failed;
    o.error = QString("the analysis delivered no results (it returned %1)").arg(o.returnValue);
    for (const QString& line : callLog) {
      if (line.contains("Error", Qt::CaseInsensitive)) o.error += "; its log: " + line;
    }
  } else if (results.contains(algorithmkeys::kError)) {
    o.status = ImageOutcome::Status::BackgroundError;
    // Where the plug-in looks: ./user/background.png, else the configured folder's
    // background_r.png (mirrored); that folder's background.png only after a size mismatch.
    const QString where = !configPath_.isEmpty()
                              ? QString("./user/background.png or %1")
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
    locate(grey, *record, results, r);
  } else {
    o.status = ImageOutcome::Status::Failed;
    o.error = "the analysis delivered results without a result record";
  }
  if (o.failed()) r.messages << QString("%1: %2").arg(file, o.error);

  if (truth_) {
    if (const TruthEntry* t = truth_->find(file)) {
      o.hasTruth = true;
      o.truthModel = t->model;
      o.truthCentre = t->centre;
      o.truthRadius = t->radius;
    }
  }
  if (!outDir_.isEmpty()) writeFiles(index, grey, record.get(), r);
  return r;
}

void Run::writeFiles(int index, const cv::Mat& grey, const FluorescenceResult* record,
                     ImageReport& r) {
  const ImageOutcome& o = r.entry.outcome;
  const QString& stem = stems_.at(index);
  const QDir out(outDir_);
  // Writes `image` to `relative` under the output folder; returns the path when it worked.
  const auto write = [&](const QString& relative, const cv::Mat& image) {
    QString problem;
    if (writeImageFile(out.filePath(relative), image, &problem)) return relative;
    ++r.writeProblems;
    r.messages << QString("%1: %2").arg(out.filePath(relative), problem);
    return QString();
  };
  if (record && o.status == ImageOutcome::Status::Found) {
    const cv::Mat cut = zq::QtCVUtils::qPixmapToGreyMat(record->image);
    r.entry.cutout = write("cutouts/" + stem + ".png", cut);
    if (opt_.report) {
      r.entry.cutoutThumb =
          write("thumbs/" + stem + "-cutout.png", thumbnailOf(cut, kThumbnailSide));
    }
  }
  const cv::Mat overlay = drawOverlay(grey, o);
  r.entry.overlay = write("overlays/" + stem + ".png", overlay);
  if (opt_.report) {
    r.entry.overlayThumb =
        write("thumbs/" + stem + "-overlay.png", thumbnailOf(overlay, kThumbnailSide));
  }
}

void Run::report(const ImageReport& r) {
  for (const QString& m : r.messages) message(m);
  const ImageOutcome& o = r.entry.outcome;
  writeProblems_ += r.writeProblems;
  summary_.add(o);
  if (opt_.report) reportEntries_.push_back(r.entry);
  std::lock_guard<std::mutex> lock(g_sink->writing);
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
  if (env_.onOutcome) env_.onOutcome(o);
}

void Run::writeReport(const QStringList& modelOrder) {
  QFile page(QDir(outDir_).filePath("report.html"));
  if (!page.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
      page.write(htmlReport(reportEntries_, summary_, modelOrder).toUtf8()) < 0 || !page.flush()) {
    ++writeProblems_;
    message(QString("%1: cannot write: %2").arg(page.fileName(), page.errorString()));
  }
}

void Run::runAll(std::vector<std::unique_ptr<Worker>>& workers) {
  const int total = files_.size();
  const auto showProgress = [this](int finished, const QString& current) {
    std::lock_guard<std::mutex> lock(g_sink->writing);
    progress_->show(finished, qPrintable(QFileInfo(current).fileName()));
  };
  if (workers.size() == 1) {
    // One worker analyses on this thread, as a host does.
    for (int i = 0; i < total; ++i) {
      showProgress(i, files_.at(i));
      report(analyseSafely(i, *workers[0]));
    }
    return;
  }
  // Each worker takes the next image; finished reports wait here until all before them are
  // reported, so the output is in input order.
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::optional<ImageReport>> done(static_cast<size_t>(total));
  int next = 0, finished = 0;
  QString lastStarted;
  std::vector<std::thread> threads;
  for (const auto& w : workers) {
    Worker* worker = w.get();
    threads.emplace_back([&, worker] {
      for (;;) {
        int i;
        {
          std::lock_guard<std::mutex> lock(mutex);
          if (next >= total) return;
          i = next++;
          lastStarted = files_.at(i);
        }
        ImageReport r = analyseSafely(i, *worker);
        {
          std::lock_guard<std::mutex> lock(mutex);
          done[static_cast<size_t>(i)] = std::move(r);
          ++finished;
        }
        changed.notify_one();
      }
    });
  }
  for (int reported = 0, shown = 0; reported < total;) {
    std::unique_lock<std::mutex> lock(mutex);
    // Every report that becomes ready also counts as finished.
    changed.wait(lock, [&] { return finished != shown; });
    shown = finished;
    const int finishedNow = finished;
    const QString current = lastStarted;
    std::vector<ImageReport> ready;
    for (; reported < total && done[static_cast<size_t>(reported)]; ++reported) {
      ready.push_back(std::move(*done[static_cast<size_t>(reported)]));
      done[static_cast<size_t>(reported)].reset();
    }
    lock.unlock();
    for (const ImageReport& r : ready) report(r);
    showProgress(finishedNow, current);
  }
  for (std::thread& t : threads) t.join();
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
  files_ = collectImageFiles(opt_.inputs, opt_.recursive, &problems);
  if (sampleMode_) {
    // Paths the user did not type are shown short: relative to the current folder when inside it.
    const QDir here = QDir::current();
    for (QString& f : files_) {
      const QString rel = here.relativeFilePath(f);
      if (!rel.startsWith("..")) f = rel;
    }
  }
  for (const QString& p : problems) message(p);
  if (files_.isEmpty()) {
    message("no images to analyse");
    return 2;
  }
  // One output name per image, also when two folders hold files of the same name.
  QSet<QString> usedStems;
  for (const QString& file : files_) {
    const QString base = QFileInfo(file).completeBaseName();
    QString stem = base;
    for (int n = 2; usedStems.contains(stem); ++n) stem = QString("%1_%2").arg(base).arg(n);
    usedStems.insert(stem);
    stems_ << stem;
  }

  const int jobs = std::max(1, std::min(opt_.jobs > 0 ? opt_.jobs : QThread::idealThreadCount(),
                                        static_cast<int>(files_.size())));
  std::vector<std::unique_ptr<Worker>> workers;
  for (int j = 0; j < jobs; ++j) {
    QString error;
    std::unique_ptr<Worker> worker = makeWorker(&error);
    if (!worker) {
      message(error);
      return 2;
    }
    workers.push_back(std::move(worker));
  }

  progress_ = std::make_unique<ProgressBar>(
      env_.messages, files_.size(), opt_.progress && env_.messagesIsTerminal && files_.size() > 3);
  runAll(workers);
  progress_->clear();
  workers.clear();

  const QStringList order = catalogue_ ? names_ : QStringList();
  if (opt_.json) {
    std::fprintf(env_.messages, "%s\n", qPrintable(summary_.text(order)));
  } else {
    std::fprintf(env_.results, "\n%s\n", qPrintable(summary_.text(order)));
  }
  if (opt_.report) writeReport(order);
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
