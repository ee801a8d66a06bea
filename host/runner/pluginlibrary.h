#pragma once

#include <QLibrary>
#include <QString>
#include <QStringList>
#include <memory>

#include "ialgorithm.h"

namespace wheelhost {

// The plug-in library, loaded from its file the way the inspection host loads it: by path at
// run time, with Algorithm_Create and Algorithm_Delete resolved by their plain names. The
// library stays loaded while this object lives; delete every analysis object first.
class PluginLibrary {
 public:
  // Returns null and sets `error` (naming the file and the problem) when the file is missing,
  // cannot be loaded or lacks either entry point.
  static std::unique_ptr<PluginLibrary> load(const QString& path, QString* error);
  ~PluginLibrary();

  QString fileName() const { return library_.fileName(); }

  // An analysis object, deleted through Algorithm_Delete when the pointer goes.
  struct Deleter {
    AlgorithmDeleteFn destroy;
    void operator()(IAlgorithm* a) const {
      if (a) destroy(a);
    }
  };
  using AlgorithmPtr = std::unique_ptr<IAlgorithm, Deleter>;
  // Null when Algorithm_Create returns null.
  AlgorithmPtr create();

 private:
  explicit PluginLibrary(const QString& path) : library_(path) {}
  QLibrary library_;
  AlgorithmCreateFn create_ = nullptr;
  AlgorithmDeleteFn destroy_ = nullptr;
};

// Where wheelhost looks for the plug-in when --plugin is not given, in order: beside the
// executable, in an installation's library folder, then where the build puts it; all relative
// to the executable's folder.
QStringList defaultPluginCandidates(const QString& executableDir);

}  // namespace wheelhost
