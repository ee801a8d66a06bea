#include "runner/pluginlibrary.h"

#include <QDir>
#include <QFileInfo>

namespace wheelhost {

std::unique_ptr<PluginLibrary> PluginLibrary::load(const QString& path, QString* error) {
  const auto fail = [&](const QString& what) {
    if (error) *error = QString("plug-in %1: %2").arg(path, what);
    return nullptr;
  };
  const QFileInfo info(path);
  if (!info.exists()) return fail("no such file");
  if (!info.isFile()) return fail("not a file");
  std::unique_ptr<PluginLibrary> lib(new PluginLibrary(info.absoluteFilePath()));
  if (!lib->library_.load()) return fail("cannot load it: " + lib->library_.errorString());
  lib->create_ = reinterpret_cast<AlgorithmCreateFn>(lib->library_.resolve(kAlgorithmCreateName));
  lib->destroy_ = reinterpret_cast<AlgorithmDeleteFn>(lib->library_.resolve(kAlgorithmDeleteName));
  if (!lib->create_ || !lib->destroy_) {
    return fail(QString("not a wheel-analysis plug-in: it lacks %1")
                    .arg(!lib->create_ ? kAlgorithmCreateName : kAlgorithmDeleteName));
  }
  return lib;
}

// The library is left loaded: Qt's own plug-ins and the analysis' process-wide state may still
// refer to its code during exit, and the operating system unloads it with the process.
PluginLibrary::~PluginLibrary() = default;

PluginLibrary::AlgorithmPtr PluginLibrary::create() {
  return AlgorithmPtr(create_(nullptr), Deleter{destroy_});
}

QStringList defaultPluginCandidates(const QString& executableDir) {
  const QDir dir(executableDir);
  const QString file = QStringLiteral(WHEELHOST_PLUGIN_FILE);
  return {
      QDir::cleanPath(dir.filePath(file)),
      QDir::cleanPath(dir.filePath(QStringLiteral(WHEELHOST_PLUGIN_INSTALLED_RELDIR) + "/" + file)),
      QDir::cleanPath(dir.filePath(QStringLiteral(WHEELHOST_PLUGIN_RELDIR) + "/" + file))};
}

}  // namespace wheelhost
