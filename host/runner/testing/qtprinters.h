#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <ostream>

// Readable Qt strings in GoogleTest's failure messages (found by argument-dependent lookup;
// GoogleTest prints a QStringList as a container of these).
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

// The entries of `map` as "key=value type", in key order: QVariant's own == converts between
// types (1 equals true), so a comparison of these also checks each value's type.
inline QStringList typedEntries(const QVariantMap& map) {
  QStringList out;
  for (auto it = map.begin(); it != map.end(); ++it) {
    out << it.key() + '=' + it.value().toString() + ' ' + it.value().typeName();
  }
  return out;
}
