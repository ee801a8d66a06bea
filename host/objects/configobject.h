#pragma once

#include <QStringList>

#include "hostconfig.h"
#include "objects/callrecorder.h"

namespace wheelhost {

// The host's configuration: answers "filepath" with the directories it was given (the first is
// the configured directory) and every other key with an empty list.
class ConfigObject : public IHostConfig, public CallRecorder {
 public:
  explicit ConfigObject(QStringList filepaths = QStringList()) : filepaths_(std::move(filepaths)) {}

  QStringList GetValues(const QString& key) override;

  // The keys asked for, in order.
  const QStringList& askedKeys() const { return askedKeys_; }

 private:
  QStringList filepaths_;
  QStringList askedKeys_;
};

}  // namespace wheelhost
