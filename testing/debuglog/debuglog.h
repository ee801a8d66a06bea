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
    std::lock_guard<std::mutex> lock(mutex_);
    current_ = this;
    previous_ = qInstallMessageHandler(&DebugLog::handle);
  }
  ~DebugLog() {
    qInstallMessageHandler(previous_);
    std::lock_guard<std::mutex> lock(mutex_);
    current_ = nullptr;
  }
  DebugLog(const DebugLog&) = delete;
  DebugLog& operator=(const DebugLog&) = delete;

  std::vector<std::string> lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }

 private:
  static void handle(QtMsgType type, const QMessageLogContext&, const QString& message) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (type == QtDebugMsg && current_ != nullptr)
      current_->lines_.push_back(message.toStdString());
  }

  static inline std::mutex mutex_;
  static inline DebugLog* current_ = nullptr;
  QtMessageHandler previous_ = nullptr;
  std::vector<std::string> lines_;
};

}  // namespace testlog
