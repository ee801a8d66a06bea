#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <opencv2/core.hpp>
#include <optional>
#include <utility>
#include <vector>

namespace wheelhost {

// What the runner learned about one image: the analysis' own results, the circle located from
// the cut-out, the matchers' scores, and the truth when there is one.
struct ImageOutcome {
  enum class Status {
    Found,            // a wheel was found and a result record delivered
    NoWheel,          // the analysis delivered "noCircle"
    BackgroundError,  // the analysis delivered "error": background missing or of another size
    Failed,           // the image could not be read, or the analysis delivered nothing
  };

  QString file;  // as listed (the path given, or found in a folder)
  Status status = Status::Failed;
  QString error;         // why, for BackgroundError and Failed
  int returnValue = -1;  // IImageAnalysis' return value; -1 when it was not called
  cv::Size sourceSize;

  // From the result record (when one was delivered).
  bool hasRecord = false;
  double diameter = 0.0, thickness = 0.0, seconds = 0.0, score = 0.0, similarity = 0.0;
  QString model;
  cv::Size cutoutSize;
  std::optional<double> ratioVal;

  // The circle in source pixels: the plug-in's own ("circle"), or else from where the cut-out
  // lies in the source.
  std::optional<cv::Point2d> centre;
  std::optional<double> radius;
  bool circleFromPlugin = false;
  bool halved = false;  // the cut-out was shrunk to half size by the analysis

  // The score each catalogue matcher made during the call, in catalogue order.
  std::vector<std::pair<QString, double>> candidates;

  double wallSeconds = 0.0;  // the runner's own time of the analysis call

  // Truth, when a truth file names this image.
  bool hasTruth = false;
  QString truthModel;  // empty: the image shows no wheel
  std::optional<cv::Point2d> truthCentre;
  std::optional<double> truthRadius;

  bool failed() const { return status == Status::Failed || status == Status::BackgroundError; }
  // Whether the record's score is a real score: when the catalogue filters every model out,
  // the analysis leaves the largest double there, which is shown as no score.
  bool hasScore() const;
  // Whether the image was named right: its model when it shows a wheel, no wheel otherwise.
  bool correct() const;
  std::optional<double> centreError() const;
};

// "found", "no wheel", "background error" or "failed".
const char* statusName(ImageOutcome::Status status);

// One line of text: file, status, centre, radius, diameter, model, score, similarity, seconds.
QString textLine(const ImageOutcome& o);

// The outcome as a JSON object (one line of --json and results.jsonl).
QJsonObject toJson(const ImageOutcome& o);

// results.csv: the header line and one row per image (RFC 4180 quoting).
QString csvHeader();
QString csvRow(const ImageOutcome& o);

// Collects outcomes for the closing summary.
class Summary {
 public:
  void add(const ImageOutcome& o);
  // Lines of text: counts, models named, time per image, and the truth check when any
  // outcome had truth. `catalogueNames` fixes the order of the per-model counts.
  QString text(const QStringList& catalogueNames) const;
  QJsonObject json(const QStringList& catalogueNames) const;
  int failedCount() const { return failed_; }

 private:
  int images_ = 0, found_ = 0, noWheel_ = 0, failed_ = 0;
  std::vector<std::pair<QString, int>> perModel_;  // in order of first appearance
  std::vector<double> times_;
  QString slowest_;
  double slowestTime_ = -1.0;
  int withTruth_ = 0, correct_ = 0;
  QStringList wrong_;
  std::vector<double> centreErrors_;
};

}  // namespace wheelhost
