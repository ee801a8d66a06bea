// wheelhost: runs the wheel-recognition plug-in over image files the way the inspection host
// does. wheelhost --help documents the options.
#include <QCoreApplication>
#include <QGuiApplication>
#include <QStringList>
#include <cstdio>

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

int main(int argc, char** argv) {
#if !defined(_WIN32) && !defined(__APPLE__)
  // The result records hold pixmaps, so a GUI application must run; without a display it runs
  // on Qt's offscreen platform.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
#endif
  // Parsed before Qt sees them: a GUI application takes options such as --plugin for itself.
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  const wheelhost::ParsedArguments parsed = wheelhost::parseArguments(arguments);
  if (!parsed.error.isEmpty()) {
    std::fprintf(stderr, "wheelhost: %s\n", qPrintable(parsed.error));
    return 2;
  }
  int qtArgc = 1;
  QGuiApplication app(qtArgc, argv);
  QCoreApplication::setApplicationName("wheelhost");

  const QString exeDir = QCoreApplication::applicationDirPath();
  const QString defaultSamples = wheelhost::samples::defaultSamplesDir(
      exeDir, WHEELHOST_INSTALLED_SAMPLES_RELDIR, WHEELHOST_BUILD_SAMPLES_RELDIR);
  if (parsed.options.help) {
    const QString text = wheelhost::helpText(
        defaultSamples,
        wheelhost::defaultPluginCandidates(exeDir).join("\n                        or "));
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return 0;
  }
  if (parsed.options.version) {
    std::printf("wheelhost %s\n", WHEELHOST_VERSION);
    return 0;
  }

  wheelhost::OutputChannels channels(parsed.options.verbose);
  wheelhost::RunnerEnvironment env;
  env.executableDir = exeDir;
  env.defaultSamples = defaultSamples;
  env.results = channels.results();
  env.messages = stderr;
  env.messagesIsTerminal = wheelhost::isTerminal(stderr);
  return wheelhost::runWheelhost(parsed.options, env);
}
