// wheelhost: runs the wheel-recognition plug-in over image files the way the inspection host
// does. wheelhost --help documents the options.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "runner/console.h"
#include "runner/options.h"
#include "runner/pluginlibrary.h"
#include "runner/runner.h"
#include "samplegen/sampledir.h"

#if defined(__SANITIZE_ADDRESS__)
// Qt's offscreen platform keeps a QScreen and friends until exit; these are Qt's, not ours.
// Built in so that a leak-checked wheelhost stays clean however it is started, while leaks of
// our own code are still reported.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libQt5Gui.so\nleak:libQt5Core.so\nleak:libqoffscreen.so\n";
}
#endif

namespace {

// Qt warns on standard error when XDG_RUNTIME_DIR is unset (a service or a container often has
// none). A private folder of our own answers it for this run and goes at exit.
std::unique_ptr<QTemporaryDir> privateRuntimeDir() {
  if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) return nullptr;
  auto dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/wheelhost-runtime-XXXXXX");
  if (!dir->isValid()) return nullptr;
  // QTemporaryDir creates it for the owner only (0700), as Qt requires.
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir->path()));
  return dir;
}

}  // namespace

int main(int argc, char** argv) {
  // Parsed before any Qt application exists: --help and --version need no GUI, and a GUI
  // application would take options such as --plugin for itself.
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const wheelhost::ParsedArguments parsed = wheelhost::parseArguments(arguments);
  if (!parsed.error.isEmpty()) {
    std::fprintf(stderr, "wheelhost: %s\n", qPrintable(parsed.error));
    return 2;
  }
  if (parsed.options.version) {
    std::printf("wheelhost %s\n", WHEELHOST_VERSION);
    return 0;
  }
  if (parsed.options.help) {
    // A core application only, for the executable's folder: the plug-in's default place is
    // shown relative to it.
    int coreArgc = 1;
    const QCoreApplication core(coreArgc, argv);
    const QDir exeDir(QCoreApplication::applicationDirPath());
    QStringList plugins;
    for (const QString& c : wheelhost::defaultPluginCandidates(exeDir.path())) {
      plugins << exeDir.relativeFilePath(c);
    }
    const QString text =
        wheelhost::helpText("the bundled set, written\n                        by samplegen",
                            plugins.join(",\n                        or "));
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return 0;
  }

#if !defined(_WIN32) && !defined(__APPLE__)
  // The result records hold pixmaps, so a GUI application must run; without a display it runs
  // on Qt's offscreen platform.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  const std::unique_ptr<QTemporaryDir> runtimeDir = privateRuntimeDir();
#endif
  int qtArgc = 1;
  QGuiApplication app(qtArgc, argv);
  QCoreApplication::setApplicationName("wheelhost");

  wheelhost::OutputChannels channels(parsed.options.verbose);
  wheelhost::RunnerEnvironment env;
  env.executableDir = QCoreApplication::applicationDirPath();
  env.defaultSamples = wheelhost::samples::defaultSamplesDir(
      env.executableDir, WHEELHOST_INSTALLED_SAMPLES_RELDIR, WHEELHOST_BUILD_SAMPLES_RELDIR);
  env.results = channels.results();
  env.messages = stderr;
  env.messagesIsTerminal = wheelhost::isTerminal(stderr);
  return wheelhost::runWheelhost(parsed.options, env);
}
