#include "fuzzsupport.h"

#include <unistd.h>

#include <QGuiApplication>
#include <QtGlobal>
#include <cstdio>
#include <filesystem>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/imgproc.hpp>

#include "vistrel/assert.h"

namespace fuzzsupport {

void quietProcess() {
  static const bool done = [] {
    vistrel::setAssertHandler([](const char*, const char*, int) {});
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
    cv::setNumThreads(0);
    // The circle and ellipse detector announces itself on standard output at each construction.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::perror("stdout");
    return true;
  }();
  (void)done;
}

void ensureGuiApplication() {
  // Never destroyed: at exit, Qt's own statics may already be gone.
  static QGuiApplication* app = nullptr;
  if (app != nullptr) return;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "fuzz";
  static char* argv[] = {name, nullptr};
  app = new QGuiApplication(argc, argv);
}

cv::Mat image(FuzzedDataProvider& in, int maxSide, int type) {
  const int cols = in.ConsumeIntegralInRange(0, maxSide);
  const int rows = in.ConsumeIntegralInRange(0, maxSide);
  if (cols == 0 || rows == 0) return cv::Mat(rows, cols, type);
  cv::Mat out(rows, cols, type);
  if (in.ConsumeBool()) {
    const std::string bytes = in.ConsumeBytesAsString(in.ConsumeIntegralInRange(1, 4096));
    const size_t n = out.total() * out.elemSize();
    for (size_t i = 0; i < n; ++i) out.data[i] = bytes.empty() ? 0 : bytes[i % bytes.size()];
    return out;
  }
  const int background = in.ConsumeIntegral<uint8_t>();
  const int inside = in.ConsumeIntegral<uint8_t>();
  const cv::Point centre(in.ConsumeIntegralInRange(-cols, 2 * cols),
                         in.ConsumeIntegralInRange(-rows, 2 * rows));
  const int radius = in.ConsumeIntegralInRange(0, 2 * std::max(cols, rows));
  out.setTo(cv::Scalar::all(background));
  cv::circle(out, centre, radius, cv::Scalar::all(inside), cv::FILLED, cv::LINE_AA);
  if (in.ConsumeBool()) {
    cv::circle(out, centre, radius / 2, cv::Scalar::all(background), cv::FILLED, cv::LINE_AA);
  }
  const int noise = in.ConsumeIntegralInRange(0, 40);
  if (noise > 0) {
    cv::Mat n(out.size(), out.type());
    cv::theRNG().state = in.ConsumeIntegral<uint32_t>() | 1u;
    cv::randu(n, cv::Scalar::all(0), cv::Scalar::all(noise));
    out += n;
  }
  return out;
}

void fail(const char* what) {
  std::fprintf(stderr, "fuzz property violated: %s\n", what);
  std::abort();
}

const std::string& scratchDirectory() {
  static const std::string dir = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string d = std::string(tmp && *tmp ? tmp : "/tmp") + "/vistrel-fuzz-" +
                    std::to_string(static_cast<long>(getpid()));
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

}  // namespace fuzzsupport
