#include "samplegen/sampledir.h"

#include <QDir>
#include <QFileInfo>

namespace wheelhost::samples {

QString defaultSamplesDir(const QString& executableDir, const QString& installedRelDir,
                          const QString& buildRelDir) {
  const QDir dir(executableDir);
  const QString installed = QDir::cleanPath(dir.filePath(installedRelDir));
  if (QFileInfo(installed).isDir()) return installed;
  return QDir::cleanPath(dir.filePath(buildRelDir));
}

}  // namespace wheelhost::samples
