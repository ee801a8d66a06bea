#pragma once

#include <QtGlobal>
#include <mutex>
#include <string>
#include <vector>

namespace testlog {

// Collects the messages of Qt's debug channel while it lives, from any thread: the analysis
// logs its steps there.
class DebugLog {
 public:
  DebugLog() {
    std::lock_guard<std::mutex> lock(mutex());
    current() = this;
    previous_ = qInstallMessageHandler(&DebugLog::handle);
  }
  ~DebugLog() {
    qInstallMessageHandler(previous_);
    std::lock_guard<std::mutex> lock(mutex());
    current() = nullptr;
  }
  DebugLog(const DebugLog&) = delete;
  DebugLog& operator=(const DebugLog&) = delete;

  std::vector<std::string> lines() const {
    std::lock_guard<std::mutex> lock(mutex());
    return lines_;
  }

 private:
  static std::mutex& mutex() {
    static std::mutex m;
    return m;
  }
  static DebugLog*& current() {
    static DebugLog* log = nullptr;
    return log;
  }
  static void handle(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtDebugMsg) return;
    std::lock_guard<std::mutex> lock(mutex());
    if (current() != nullptr) current()->lines_.push_back(message.toStdString());
  }

  QtMessageHandler previous_ = nullptr;
  std::vector<std::string> lines_;
};

}  // namespace testlog
