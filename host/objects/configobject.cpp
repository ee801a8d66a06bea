#include "objects/configobject.h"

namespace wheelhost {

QStringList ConfigObject::GetValues(const QString& key) {
  record("GetValues");
  askedKeys_.append(key);
  return key == QLatin1String(kConfigFilePathKey) ? filepaths_ : QStringList();
}

}  // namespace wheelhost
