// samplegen: writes the bundled sample set (see sampleset.h) into a directory.
#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <string>

#include "samplegen/sampledir.h"
#include "samplegen/sampleset.h"

namespace {

void usage(std::FILE* out, const std::string& defaultDir) {
  std::fprintf(out,
               "usage: samplegen [--force] [DIR]\n"
               "Writes the bundled wheel sample set into DIR (default: %s).\n"
               "A set of the current version is left as it is unless --force is given.\n",
               defaultDir.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const std::string defaultDir =
      wheelhost::samples::defaultSamplesDir(QCoreApplication::applicationDirPath(),
                                            WHEELHOST_INSTALLED_SAMPLES_RELDIR,
                                            WHEELHOST_BUILD_SAMPLES_RELDIR)
          .toStdString();
  bool force = false;
  std::string dir = defaultDir;
  bool haveDir = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--force") == 0) {
      force = true;
    } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      usage(stdout, defaultDir);
      return 0;
    } else if (argv[i][0] == '-' || haveDir) {
      std::fprintf(stderr, "samplegen: unexpected argument '%s'\n", argv[i]);
      usage(stderr, defaultDir);
      return 2;
    } else {
      dir = argv[i];
      haveDir = true;
    }
  }
  if (!force && wheelhost::samples::isUpToDate(dir)) {
    std::printf("samplegen: %s is up to date (%s)\n", dir.c_str(),
                wheelhost::samples::setVersion());
    return 0;
  }
  std::string error;
  const bool ok = force ? wheelhost::samples::writeSampleSet(dir, &error)
                        : wheelhost::samples::ensureSampleSet(dir, &error);
  if (!ok) {
    std::fprintf(stderr, "samplegen: %s\n", error.c_str());
    return 1;
  }
  std::printf("samplegen: wrote %zu images and %zu templates to %s\n",
              wheelhost::samples::bundledShots().size(), wheelhost::samples::bundledModels().size(),
              dir.c_str());
  return 0;
}
