#pragma once

#include <QString>

namespace wheelhost::samples {

// The default directory of the bundled sample set for a program in `executableDir`, found from
// the program's own location: `installedRelDir` (relative to the program's folder) when that
// directory exists, as in an installation, otherwise `buildRelDir`, where the build tree keeps
// the set. Both are joined to `executableDir` and cleaned.
QString defaultSamplesDir(const QString& executableDir, const QString& installedRelDir,
                          const QString& buildRelDir);

}  // namespace wheelhost::samples
