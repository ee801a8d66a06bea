#include "runner/outcome.h"

#include <QJsonArray>
#include <algorithm>
#include <cmath>
#include <limits>

namespace wheelhost {

namespace {

QString num(double v, int decimals) { return QString::number(v, 'f', decimals); }

double median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

QString csvField(const QString& s) {
  if (!s.contains(',') && !s.contains('"') && !s.contains('\n') && !s.contains('\r')) return s;
  QString q = s;
  q.replace("\"", "\"\"");
  return "\"" + q + "\"";
}

QJsonArray pair(double a, double b) { return QJsonArray{a, b}; }

}  // namespace

bool ImageOutcome::correct() const {
  if (!hasTruth) return false;
  if (truthModel.isEmpty()) return status == Status::NoWheel;
  return status == Status::Found && model == truthModel;
}

bool ImageOutcome::hasScore() const {
  return hasRecord && std::fabs(score) < std::numeric_limits<double>::max();
}

std::optional<double> ImageOutcome::centreError() const {
  if (!centre || !truthCentre) return std::nullopt;
  return std::hypot(centre->x - truthCentre->x, centre->y - truthCentre->y);
}

const char* statusName(ImageOutcome::Status status) {
  switch (status) {
    case ImageOutcome::Status::Found:
      return "found";
    case ImageOutcome::Status::NoWheel:
      return "no wheel";
    case ImageOutcome::Status::BackgroundError:
      return "background error";
    case ImageOutcome::Status::Failed:
      break;
  }
  return "failed";
}

QString textLine(const ImageOutcome& o) {
  QStringList parts{o.file, statusName(o.status)};
  if (o.failed()) {
    parts.last() += ": " + o.error;
    return parts.join("  ");
  }
  if (o.status == ImageOutcome::Status::Found) {
    parts << (o.centre ? QString("centre %1,%2").arg(num(o.centre->x, 2), num(o.centre->y, 2))
                       : QString("centre ?"));
    parts << (o.radius ? QString("r %1 px").arg(num(*o.radius, 2)) : QString("r ?"));
    parts << QString("diameter %1").arg(num(o.diameter, 1));
    parts << QString("model %1").arg(o.model.isEmpty() ? QString("-") : o.model);
    parts << QString("score %1").arg(o.hasScore() ? num(o.score, 4) : QString("-"));
    parts << QString("similarity %1").arg(num(o.similarity, 3));
  }
  // Only a found wheel's record carries the analysis' own time; otherwise it stays 0.
  parts << QString("%1 s").arg(
      num(o.status == ImageOutcome::Status::Found ? o.seconds : o.wallSeconds, 3));
  if (o.hasTruth) {
    parts << (o.correct() ? QString("[truth ok]")
                          : QString("[truth: %1]")
                                .arg(o.truthModel.isEmpty() ? QString("no wheel") : o.truthModel));
  }
  return parts.join("  ");
}

QJsonObject toJson(const ImageOutcome& o) {
  QJsonObject j{{"file", o.file},
                {"status", statusName(o.status)},
                {"found", o.status == ImageOutcome::Status::Found},
                {"wallSeconds", o.wallSeconds}};
  if (!o.error.isEmpty()) j["error"] = o.error;
  if (o.returnValue >= 0 || o.status != ImageOutcome::Status::Failed)
    j["returnValue"] = o.returnValue;
  if (!o.sourceSize.empty()) j["sourceSize"] = pair(o.sourceSize.width, o.sourceSize.height);
  if (o.ratioVal) j["ratioVal"] = *o.ratioVal;
  j["centre"] = o.centre ? QJsonValue(pair(o.centre->x, o.centre->y)) : QJsonValue();
  j["radius"] = o.radius ? QJsonValue(*o.radius) : QJsonValue();
  if (o.centre) j["circleFrom"] = o.circleFromPlugin ? "plug-in" : "cut-out";
  if (o.hasRecord) {
    j["diameter"] = o.diameter;
    j["thickness"] = o.thickness;
    j["model"] = o.model;
    j["score"] = o.hasScore() ? QJsonValue(o.score) : QJsonValue();
    j["similarity"] = o.similarity;
    j["seconds"] = o.seconds;
    if (!o.cutoutSize.empty()) j["cutoutSize"] = pair(o.cutoutSize.width, o.cutoutSize.height);
    j["halved"] = o.halved;
  }
  if (!o.candidates.empty()) {
    QJsonObject c;
    for (const auto& [name, score] : o.candidates) c[name] = score;
    j["candidates"] = c;
  }
  if (o.hasTruth) {
    QJsonObject t{{"model", o.truthModel.isEmpty() ? QJsonValue() : QJsonValue(o.truthModel)},
                  {"correct", o.correct()}};
    if (const auto e = o.centreError()) t["centreError"] = *e;
    if (o.radius && o.truthRadius) t["radiusError"] = *o.radius - *o.truthRadius;
    j["truth"] = t;
  }
  return j;
}

QString csvHeader() {
  return "file,status,centre_x,centre_y,radius,diameter,model,score,similarity,seconds,"
         "truth_model,correct,error";
}

QString csvRow(const ImageOutcome& o) {
  const auto opt = [](const std::optional<double>& v, int d) { return v ? num(*v, d) : QString(); };
  QStringList f;
  f << csvField(o.file) << statusName(o.status);
  f << (o.centre ? num(o.centre->x, 3) : QString()) << (o.centre ? num(o.centre->y, 3) : QString());
  f << opt(o.radius, 3);
  f << (o.hasRecord ? num(o.diameter, 3) : QString()) << csvField(o.model);
  f << (o.hasScore() ? num(o.score, 6) : QString())
    << (o.hasRecord ? num(o.similarity, 6) : QString());
  f << num(o.status == ImageOutcome::Status::Found ? o.seconds : o.wallSeconds, 4);
  f << csvField(o.hasTruth ? o.truthModel : QString());
  f << (o.hasTruth ? (o.correct() ? "yes" : "no") : "");
  f << csvField(o.error);
  return f.join(',');
}

void Summary::add(const ImageOutcome& o) {
  ++images_;
  switch (o.status) {
    case ImageOutcome::Status::Found:
      ++found_;
      break;
    case ImageOutcome::Status::NoWheel:
      ++noWheel_;
      break;
    default:
      ++failed_;
      break;
  }
  if (o.status == ImageOutcome::Status::Found) {
    auto it = std::find_if(perModel_.begin(), perModel_.end(),
                           [&](const auto& p) { return p.first == o.model; });
    if (it == perModel_.end()) {
      perModel_.emplace_back(o.model, 1);
    } else {
      ++it->second;
    }
  }
  if (o.returnValue >= 0) {
    times_.push_back(o.wallSeconds);
    if (o.wallSeconds > slowestTime_) {
      slowestTime_ = o.wallSeconds;
      slowest_ = o.file;
    }
  }
  if (o.hasTruth) {
    ++withTruth_;
    if (o.correct()) {
      ++correct_;
    } else {
      wrong_ << o.file;
    }
    if (const auto e = o.centreError()) centreErrors_.push_back(*e);
  }
}

QString Summary::text(const QStringList& catalogueNames) const {
  QStringList lines;
  lines << QString("images %1: found %2, no wheel %3, failed %4")
               .arg(images_)
               .arg(found_)
               .arg(noWheel_)
               .arg(failed_);
  if (found_ > 0 || !catalogueNames.isEmpty()) {
    QStringList counts;
    const auto countOf = [&](const QString& name) {
      for (const auto& p : perModel_) {
        if (p.first == name) return p.second;
      }
      return 0;
    };
    for (const QString& name : catalogueNames)
      counts << QString("%1 %2").arg(name).arg(countOf(name));
    for (const auto& p : perModel_) {
      if (!p.first.isEmpty() && !catalogueNames.contains(p.first)) {
        counts << QString("%1 %2").arg(p.first).arg(p.second);
      }
    }
    counts << QString("unnamed %1").arg(countOf(QString()));
    lines << "models named: " + counts.join(", ");
  }
  if (!times_.empty()) {
    lines << QString("time per image: median %1 s, worst %2 s (%3)")
                 .arg(num(median(times_), 3), num(slowestTime_, 3), slowest_);
  }
  if (withTruth_ > 0) {
    QString t = QString("truth: %1 of %2 named correctly").arg(correct_).arg(withTruth_);
    if (!centreErrors_.empty()) {
      t += QString("; centre error median %1 px, worst %2 px")
               .arg(num(median(centreErrors_), 3),
                    num(*std::max_element(centreErrors_.begin(), centreErrors_.end()), 3));
    }
    lines << t;
    if (!wrong_.isEmpty()) {
      constexpr int kListed = 10;
      QString w = "named wrongly: " + wrong_.mid(0, kListed).join(", ");
      if (wrong_.size() > kListed) w += QString(" and %1 more").arg(wrong_.size() - kListed);
      lines << w;
    }
  }
  return lines.join('\n');
}

QJsonObject Summary::json(const QStringList& catalogueNames) const {
  QJsonObject perModel;
  for (const QString& name : catalogueNames) perModel[name] = 0;
  for (const auto& p : perModel_) perModel[p.first.isEmpty() ? QString("") : p.first] = p.second;
  QJsonObject j{{"images", images_},
                {"found", found_},
                {"noWheel", noWheel_},
                {"failed", failed_},
                {"models", perModel}};
  if (!times_.empty()) {
    j["medianSeconds"] = median(times_);
    j["worstSeconds"] = slowestTime_;
    j["slowest"] = slowest_;
  }
  if (withTruth_ > 0) {
    j["truthImages"] = withTruth_;
    j["truthCorrect"] = correct_;
    j["namedWrongly"] = QJsonArray::fromStringList(wrong_);
    if (!centreErrors_.empty()) {
      j["medianCentreError"] = median(centreErrors_);
      j["worstCentreError"] = *std::max_element(centreErrors_.begin(), centreErrors_.end());
    }
  }
  return j;
}

}  // namespace wheelhost
