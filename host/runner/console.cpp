#include "runner/console.h"

#include <algorithm>
#include <cstring>
#include <string>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#define WH_DUP _dup
#define WH_DUP2 _dup2
#define WH_CLOSE _close
#define WH_FDOPEN _fdopen
#define WH_FILENO _fileno
#define WH_ISATTY _isatty
#define WH_NULL_DEVICE "NUL"
#define WH_OPEN_WRITE(path) _open(path, _O_WRONLY)
#else
#include <fcntl.h>
#include <unistd.h>
#define WH_DUP dup
#define WH_DUP2 dup2
#define WH_CLOSE close
#define WH_FDOPEN fdopen
#define WH_FILENO fileno
#define WH_ISATTY isatty
#define WH_NULL_DEVICE "/dev/null"
#define WH_OPEN_WRITE(path) open(path, O_WRONLY)
#endif

namespace wheelhost {

bool isTerminal(std::FILE* stream) { return WH_ISATTY(WH_FILENO(stream)) != 0; }

OutputChannels::OutputChannels(bool pluginOutputVisible) {
  std::fflush(stdout);
  const int out = WH_FILENO(stdout);
  const int resultsFd = WH_DUP(out);
  restoreFd_ = WH_DUP(out);
  const int target =
      pluginOutputVisible ? WH_DUP(WH_FILENO(stderr)) : WH_OPEN_WRITE(WH_NULL_DEVICE);
  std::FILE* results = resultsFd >= 0 ? WH_FDOPEN(resultsFd, "w") : nullptr;
  if (results == nullptr || restoreFd_ < 0 || target < 0 || WH_DUP2(target, out) < 0) {
    if (results) {
      std::fclose(results);
    } else if (resultsFd >= 0) {
      WH_CLOSE(resultsFd);
    }
    if (restoreFd_ >= 0) WH_CLOSE(restoreFd_);
    if (target >= 0) WH_CLOSE(target);
    restoreFd_ = -1;
    return;  // everything stays on stdout
  }
  WH_CLOSE(target);
  results_ = results;
}

OutputChannels::~OutputChannels() {
  if (restoreFd_ < 0) return;
  std::fflush(stdout);
  std::fflush(results_);
  WH_DUP2(restoreFd_, WH_FILENO(stdout));
  WH_CLOSE(restoreFd_);
  std::fclose(results_);
}

ProgressBar::ProgressBar(std::FILE* stream, int total, bool enabled)
    : stream_(stream), total_(total), enabled_(enabled && total > 0) {}

void ProgressBar::show(int done, const char* current) {
  if (!enabled_) return;
  constexpr int kWidth = 30;
  const int filled = total_ > 0 ? kWidth * std::min(done, total_) / total_ : kWidth;
  std::string bar(filled, '#');
  bar.append(kWidth - filled, '.');
  std::string name = current ? current : "";
  if (name.size() > 40) name = "..." + name.substr(name.size() - 37);
  std::fprintf(stream_, "\r\033[K[%s] %d/%d %s", bar.c_str(), done, total_, name.c_str());
  std::fflush(stream_);
  drawn_ = true;
}

void ProgressBar::clear() {
  if (!enabled_ || !drawn_) return;
  std::fprintf(stream_, "\r\033[K");
  std::fflush(stream_);
  drawn_ = false;
}

}  // namespace wheelhost
