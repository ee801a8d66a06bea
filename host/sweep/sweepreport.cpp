#include "sweep/sweepreport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <algorithm>

namespace wheelhost {

namespace {

QString pixels(double v) { return v < 0 ? QString("-") : QString::number(v, 'f', 3); }

}  // namespace

QString sweepTable(const QStringList& labels, const std::vector<SettingStats>& stats, int best) {
  int width = 7;
  for (const QString& l : labels) width = std::max(width, static_cast<int>(l.size()));
  QStringList lines;
  lines << QString("  %1  %2  %3  %4  %5  %6")
               .arg("setting", -width)
               .arg("located", 14)
               .arg("centre med", 10)
               .arg("centre max", 10)
               .arg("radius med", 10)
               .arg("ms/image", 9);
  for (size_t i = 0; i < stats.size() && i < static_cast<size_t>(labels.size()); ++i) {
    const SettingStats& s = stats[i];
    const QString located =
        QString("%1 % (%2/%3)").arg(100.0 * s.locatedShare, 5, 'f', 1).arg(s.located).arg(s.images);
    lines << QString("%1 %2  %3  %4  %5  %6  %7")
                 .arg(static_cast<int>(i) == best ? "*" : " ")
                 .arg(labels[static_cast<int>(i)], -width)
                 .arg(located, 14)
                 .arg(pixels(s.centreMedian), 10)
                 .arg(pixels(s.centreWorst), 10)
                 .arg(pixels(s.radiusMedian), 10)
                 .arg(1000.0 * s.secondsPerImage, 9, 'f', 1);
  }
  return lines.join('\n') + '\n';
}

QString missList(const QStringList& labels, const std::vector<LabelledImage>& images,
                 const std::vector<Localisation>& results) {
  QStringList lines;
  const size_t n = images.size();
  for (int s = 0; s < labels.size() && n > 0 && (s + 1) * n <= results.size(); ++s) {
    QStringList missed;
    for (size_t i = 0; i < n; ++i) {
      const Localisation& r = results[static_cast<size_t>(s) * n + i];
      if (isLocated(r, images[i])) continue;
      missed << (r.found ? QString("  %1: centre %2 px, radius %3 px off")
                               .arg(images[i].file)
                               .arg(cv::norm(r.centre - images[i].centre), 0, 'f', 2)
                               .arg(r.radius - images[i].radius, 0, 'f', 2)
                         : QString("  %1: no circle").arg(images[i].file));
    }
    lines << QString("%1: %2 not located").arg(labels[s]).arg(missed.size()) << missed;
  }
  return lines.join('\n') + '\n';
}

bool writeParameterFile(const QString& path, const QVariantMap& base, const QVariantMap& setting,
                        QString* error) {
  QVariantMap merged = base;
  for (auto it = setting.begin(); it != setting.end(); ++it) merged.insert(it.key(), it.value());
  const QByteArray text =
      QJsonDocument(QJsonObject::fromVariantMap(merged)).toJson(QJsonDocument::Indented);
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
    if (error) *error = QString("%1: cannot write: %2").arg(path, file.errorString());
    return false;
  }
  return true;
}

}  // namespace wheelhost
