// A GoogleTest main for tests that need a QGuiApplication (QPixmap refuses to exist without
// one). Runs headless: the offscreen platform is chosen unless the environment names another.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <memory>

// Qt's offscreen platform keeps a QScreen and friends until exit; these are Qt's, not ours.
// Built in here so a leak-checked run stays clean however it is started (by ctest, by test
// discovery or by hand), while leaks of our own code are still reported.
#if defined(__GNUC__)
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libQt5Gui.so\nleak:libQt5Core.so\nleak:libqoffscreen.so\n";
}
#endif

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Test discovery only lists the names, without the test environment; starting Qt's platform
  // there would only add its exit-time leaks to a run that checks for leaks.
  std::unique_ptr<QGuiApplication> app;
  if (!GTEST_FLAG_GET(list_tests)) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app = std::make_unique<QGuiApplication>(argc, argv);
  }
  return RUN_ALL_TESTS();
}
