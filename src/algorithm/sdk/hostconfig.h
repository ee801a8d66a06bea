#pragma once

#include <QString>
#include <QStringList>

// The configuration key whose first value is the host's configured directory.
inline constexpr const char kConfigFilePathKey[] = "filepath";

// The host's configuration object, reached through IImageObject::GetConfig().
class IHostConfig {
 public:
  virtual ~IHostConfig() = default;

  // All values the host keeps under `key`, possibly none. The plug-in asks for "filepath" and
  // takes the first entry as the host's configured directory (backslash separated on Windows).
  virtual QStringList GetValues(const QString& key) = 0;
};
