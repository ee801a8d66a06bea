#include "runner/parameters.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <cmath>
#include <limits>

#include "runner/jsonutil.h"

namespace wheelhost {

namespace {

// Supplied by the runner from --catalogue and --models; the values are host pointers.
bool isRunnerKey(const QString& key) {
  return key == algorithmkeys::kModelMap || key == algorithmkeys::kDefectList;
}

QString runnerKeyError(const QString& key) {
  return QString("\"%1\" is set by wheelhost itself (use %2)")
      .arg(key, key == "modelMap" ? "--catalogue" : "--models");
}

// A hint for a key spelled with the wrong case, or an empty string.
QString suggestion(const QString& key) {
  for (const ParameterKey& k : parameterKeys()) {
    if (key.compare(k.key, Qt::CaseInsensitive) == 0)
      return QString(" (did you mean \"%1\"?)").arg(k.key);
  }
  return QString();
}

QString describe(const QJsonValue& v) {
  switch (v.type()) {
    case QJsonValue::Null:
      return "null";
    case QJsonValue::Bool:
      return v.toBool() ? "true" : "false";
    case QJsonValue::Double:
      return QString::number(v.toDouble(), 'g', 17);
    case QJsonValue::String:
      return QString("the string \"%1\"").arg(v.toString());
    case QJsonValue::Array:
      return "an array";
    case QJsonValue::Object:
      return "an object";
    case QJsonValue::Undefined:
      break;
  }
  return "nothing";
}

// The JSON value as the key's type, or an invalid QVariant.
QVariant fromJson(const ParameterKey& k, const QJsonValue& v) {
  switch (k.type) {
    case ParameterType::Int:
      if (v.isBool()) return QVariant(v.toBool() ? 1 : 0);
      if (v.isDouble()) {
        const double d = v.toDouble();
        if (std::floor(d) == d && d >= std::numeric_limits<int>::min() &&
            d <= std::numeric_limits<int>::max()) {
          return QVariant(static_cast<int>(d));
        }
      }
      return QVariant();
    case ParameterType::Bool:
      if (v.isBool()) return QVariant(v.toBool());
      if (v.isDouble() && (v.toDouble() == 0.0 || v.toDouble() == 1.0)) {
        return QVariant(v.toDouble() == 1.0);
      }
      return QVariant();
    case ParameterType::Double:
      if (v.isDouble()) return QVariant(v.toDouble());
      return QVariant();
    case ParameterType::Pointer:
      break;
  }
  return QVariant();
}

// The text as the key's type, or an invalid QVariant.
QVariant fromText(const ParameterKey& k, const QString& text) {
  const QString t = text.trimmed();
  bool ok = false;
  switch (k.type) {
    case ParameterType::Int: {
      const int i = t.toInt(&ok);
      return ok ? QVariant(i) : QVariant();
    }
    case ParameterType::Bool: {
      const QString l = t.toLower();
      if (l == "true" || l == "1" || l == "yes" || l == "on") return QVariant(true);
      if (l == "false" || l == "0" || l == "no" || l == "off") return QVariant(false);
      return QVariant();
    }
    case ParameterType::Double: {
      const double d = t.toDouble(&ok);
      return ok && std::isfinite(d) ? QVariant(d) : QVariant();
    }
    case ParameterType::Pointer:
      break;
  }
  return QVariant();
}

QString expectation(ParameterType type) {
  switch (type) {
    case ParameterType::Int:
      return "an integer";
    case ParameterType::Bool:
      return "true or false";
    case ParameterType::Double:
      return "a number";
    case ParameterType::Pointer:
      break;
  }
  return QString();
}

}  // namespace

const std::vector<ParameterKey>& parameterKeys() {
  static const std::vector<ParameterKey> keys = [] {
    std::vector<ParameterKey> settable;
    for (const ParameterKey& k : algorithmkeys::kParameterKeys) {
      if (k.type != ParameterType::Pointer) settable.push_back(k);
    }
    return settable;
  }();
  return keys;
}

const ParameterKey* findParameterKey(const QString& key) {
  for (const ParameterKey& k : parameterKeys()) {
    if (key == QLatin1String(k.key)) return &k;
  }
  return nullptr;
}

const char* typeName(ParameterType type) {
  switch (type) {
    case ParameterType::Int:
      return "int";
    case ParameterType::Bool:
      return "bool";
    case ParameterType::Double:
      return "number";
    case ParameterType::Pointer:
      return "pointer";
  }
  return "";
}

bool loadParameterFile(const QString& path, QVariantMap& map, QStringList* warnings,
                       QString* error) {
  QJsonDocument doc;
  QString problem;
  if (!readJsonFile(path, &doc, &problem)) {
    if (error) *error = QString("%1: %2").arg(path, problem);
    return false;
  }
  if (!doc.isObject()) {
    if (error) *error = QString("%1: expected a JSON object of parameter: value").arg(path);
    return false;
  }
  QVariantMap updated = map;
  const QJsonObject obj = doc.object();
  for (auto it = obj.begin(); it != obj.end(); ++it) {
    const QString key = it.key();
    if (isRunnerKey(key)) {
      if (error) *error = QString("%1: %2").arg(path, runnerKeyError(key));
      return false;
    }
    const ParameterKey* k = findParameterKey(key);
    if (k == nullptr) {
      if (warnings) {
        warnings->append(QString("%1: unknown parameter \"%2\" passed on unchecked%3")
                             .arg(path, key, suggestion(key)));
      }
      updated.insert(key, it.value().toVariant());
      continue;
    }
    const QVariant value = fromJson(*k, it.value());
    if (!value.isValid()) {
      if (error) {
        *error = QString("%1: \"%2\" expects %3, got %4")
                     .arg(path, key, expectation(k->type), describe(it.value()));
      }
      return false;
    }
    updated.insert(key, value);
  }
  map = updated;
  return true;
}

bool applySetting(const QString& setting, QVariantMap& map, QString* error) {
  const int eq = setting.indexOf('=');
  const QString key = eq < 0 ? setting.trimmed() : setting.left(eq).trimmed();
  if (eq < 0 || key.isEmpty()) {
    if (error) *error = QString("--set \"%1\": expected KEY=VALUE").arg(setting);
    return false;
  }
  if (isRunnerKey(key)) {
    if (error) *error = QString("--set %1: %2").arg(key, runnerKeyError(key));
    return false;
  }
  const ParameterKey* k = findParameterKey(key);
  if (k == nullptr) {
    if (error) {
      *error = QString("--set %1: unknown parameter%2; wheelhost --help lists them")
                   .arg(key, suggestion(key));
    }
    return false;
  }
  const QString text = setting.mid(eq + 1);
  const QVariant value = fromText(*k, text);
  if (!value.isValid()) {
    if (error) {
      *error = QString("--set %1: expects %2, got \"%3\"").arg(key, expectation(k->type), text);
    }
    return false;
  }
  map.insert(key, value);
  return true;
}

// Edges wider than this are no edge a wheel's outline makes on any camera here.
constexpr int kMaxSensibleEdgeWidth = 100;

QStringList checkParameterValues(const QVariantMap& map) {
  QStringList out;
  if (map.contains("Circle_ACThres")) {
    const int a = map.value("Circle_ACThres").toInt();
    if (a < 0 || a > 100) {
      out << QString(
                 "\"Circle_ACThres\" %1 is outside 0..100; the circle detector keeps its "
                 "default 0")
                 .arg(a);
    }
  }
  if (map.contains("filterSize") && map.value("filterSize").toInt() < 0) {
    out << QString(
               "\"filterSize\" %1 is negative: the circle detector refuses it and no wheel is "
               "found")
               .arg(map.value("filterSize").toInt());
  }
  if (map.contains("Circle_EdgeWidth")) {
    const int w = map.value("Circle_EdgeWidth").toInt();
    if (w < 1 || w > kMaxSensibleEdgeWidth) {
      out << QString("\"Circle_EdgeWidth\" %1 is outside 1..%2: %3")
                 .arg(w)
                 .arg(kMaxSensibleEdgeWidth)
                 .arg(w < 1 ? "it acts as 1"
                            : "the vote spreads over that many radii and finds a wrong circle, "
                              "or none");
    }
  }
  const double d2h = map.value("d2h", -1.0).toDouble();
  if (!std::isfinite(d2h)) {
    out << QString("\"d2h\" is %1: every image with a wheel fails").arg(d2h);
  } else if (d2h <= 0.0) {
    out << QString("\"d2h\" is %1 (not set, or not positive): diameters come out %2")
               .arg(d2h)
               .arg(d2h < 0 ? "negative" : "as 0");
  }
  return out;
}

}  // namespace wheelhost
