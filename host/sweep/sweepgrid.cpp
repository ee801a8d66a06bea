#include "sweep/sweepgrid.h"

#include "runner/parameters.h"

namespace wheelhost {

const QStringList& sweepableKeys() {
  static const QStringList keys = {"Circle_Polarity", "Circle_ACThres", "Circle_EdgeWidth",
                                   "bEqual",          "filterSize",     "RobustRefine",
                                   "CoarseQuarter"};
  return keys;
}

bool parseGrid(const QString& grid, std::vector<SweepAxis>* axes, QString* error) {
  const auto fail = [&](const QString& what) {
    if (error) *error = "--grid: " + what;
    return false;
  };
  std::vector<SweepAxis> parsed;
  for (const QString& part : grid.split(';', Qt::SkipEmptyParts)) {
    const int eq = part.indexOf('=');
    const QString key = part.left(eq).trimmed();
    if (eq < 0 || key.isEmpty()) return fail(QString("\"%1\": expected KEY=V1,V2,...").arg(part));
    if (!sweepableKeys().contains(key)) {
      return fail(QString("\"%1\" cannot be swept (the grid takes %2)")
                      .arg(key, sweepableKeys().join(", ")));
    }
    for (const SweepAxis& a : parsed) {
      if (a.key == key) return fail(QString("\"%1\" is given twice").arg(key));
    }
    SweepAxis axis;
    axis.key = key;
    for (const QString& text : part.mid(eq + 1).split(',')) {
      QVariantMap one;
      QString problem;
      if (!applySetting(key + "=" + text, one, &problem)) {
        return fail(QString("%1: \"%2\" is not a value of the key").arg(key, text.trimmed()));
      }
      if (!axis.values.contains(one.value(key))) axis.values << one.value(key);
    }
    parsed.push_back(axis);
  }
  if (parsed.empty()) return fail("no KEY=V1,V2,... given");
  *axes = parsed;
  return true;
}

std::vector<QVariantMap> expandGrid(const std::vector<SweepAxis>& axes) {
  std::vector<QVariantMap> settings(1);
  for (const SweepAxis& axis : axes) {
    std::vector<QVariantMap> next;
    next.reserve(settings.size() * static_cast<size_t>(axis.values.size()));
    for (const QVariantMap& s : settings) {
      for (const QVariant& v : axis.values) {
        QVariantMap m = s;
        m.insert(axis.key, v);
        next.push_back(m);
      }
    }
    settings.swap(next);
  }
  return settings;
}

QString settingLabel(const QVariantMap& setting, const std::vector<SweepAxis>& axes) {
  QStringList parts;
  for (const SweepAxis& axis : axes) {
    const QVariant v = setting.value(axis.key);
    parts << QString("%1=%2").arg(axis.key, v.toString());
  }
  return parts.join(' ');
}

}  // namespace wheelhost
