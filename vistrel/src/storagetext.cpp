#include "storagetext.h"

#include <string>

namespace vistrel {
namespace detail {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// Characters that may not start a plain scalar: YAML's indicators.
constexpr std::string_view kIndicators = "-?:,[]{}#&*!|>'\"%@`";

// Walks YAML text line by line; within a flow collection it walks character by character,
// across lines, until the collection closes.
class Checker {
 public:
  explicit Checker(std::string_view text) : text_(text) {}

  bool run() {
    bool directives = true;
    std::size_t base = kNone;  // the first content line's indentation
    for (std::size_t pos = 0; pos < text_.size();) {
      std::size_t end = text_.find('\n', pos);
      if (end == kNone) end = text_.size();
      line_ = text_.substr(pos, end - pos);
      pos = end + 1;
      if (directives && !line_.empty() && line_[0] == '%') continue;
      std::size_t at = skipBlanks(0);
      if (atEnd(at)) continue;  // blank, or only a comment
      directives = false;
      if (flow_.empty() && line_.compare(0, 3, "---") == 0 &&
          (line_.size() == 3 || isBlank(line_[3]))) {
        at = skipBlanks(3);  // content may follow the document marker on its line
        if (atEnd(at)) continue;
      }
      if (base == kNone) base = at;
      if (at < base) return false;
      if (!(flow_.empty() ? blockLine(at) : flowLine(at))) return false;
    }
    return flow_.empty();
  }

 private:
  std::size_t skipBlanks(std::size_t at) const {
    while (at < line_.size() && isBlank(line_[at])) ++at;
    return at;
  }

  // The line ends here, or only a comment follows.
  bool atEnd(std::size_t at) const { return at >= line_.size() || line_[at] == '#'; }

  // A "-" that marks a sequence entry rather than a number's sign.
  bool isDash(std::size_t at) const {
    return line_[at] == '-' && (at + 1 == line_.size() || isBlank(line_[at + 1]));
  }

  // Just past the quoted scalar that starts at `at`, or kNone when it does not close on its line.
  std::size_t quotedEnd(std::size_t at) const {
    const char quote = line_[at];
    for (std::size_t i = at + 1; i < line_.size(); ++i) {
      if (quote == '"' && line_[i] == '\\') {
        ++i;
      } else if (line_[i] == quote) {
        if (quote == '\'' && i + 1 < line_.size() && line_[i + 1] == '\'') {
          ++i;  // '' is a quote inside single quotes
          continue;
        }
        return i + 1;
      }
    }
    return kNone;
  }

  // Just past the ":" of a mapping key that starts at `at`, or kNone when no key starts there.
  std::size_t keyEnd(std::size_t at) const {
    std::size_t i = at;
    if (line_[at] == '"' || line_[at] == '\'') {
      i = quotedEnd(at);
      if (i == kNone) return kNone;
    } else {
      // A plain key runs to its ":" and holds no flow bracket, "%" or comment.
      if (kIndicators.find(line_[at]) != kNone) return kNone;
      while (i < line_.size() && std::string_view(":[]{},%#").find(line_[i]) == kNone) ++i;
    }
    if (i < line_.size() && line_[i] == ':' && (i + 1 == line_.size() || isBlank(line_[i + 1]))) {
      return i + 1;
    }
    return kNone;
  }

  // A sequence dash, then a key, then its value, or a value alone.
  bool blockLine(std::size_t at) {
    if (isDash(at)) {  // one per line, as the writer puts them
      at = skipBlanks(at + 1);
      if (atEnd(at)) return true;  // the entry follows on the next lines
    }
    const std::size_t key = keyEnd(at);
    if (key != kNone) {
      at = skipBlanks(key);
      if (atEnd(at)) return true;  // a block value follows
    }
    return value(at);
  }

  bool value(std::size_t at) {
    if (line_[at] == '!') {  // a tag, then the node it tags
      std::size_t i = at;
      for (; i < line_.size() && !isBlank(line_[i]); ++i) {
        if (std::string_view("[]{},%").find(line_[i]) != kNone) return false;
      }
      at = skipBlanks(i);
      if (atEnd(at)) return true;  // a second tag is no plain scalar either
    }
    const char c = line_[at];
    if (c == '[' || c == '{') return flowLine(at);
    if (c == '"' || c == '\'') {
      const std::size_t end = quotedEnd(at);
      return end != kNone && atEnd(skipBlanks(end));
    }
    return plainScalar(at);
  }

  // A plain scalar runs to the line's end or its comment. It holds no flow brackets, no "%",
  // no further key and no sequence dash.
  bool plainScalar(std::size_t at) const {
    if (kIndicators.find(line_[at]) != kNone && (line_[at] != '-' || isDash(at))) {
      return false;
    }
    for (std::size_t i = at; i < line_.size(); ++i) {
      const char c = line_[i];
      if (c == '#' && (i == 0 || isBlank(line_[i - 1]))) return true;
      if (std::string_view("[]{}%").find(c) != kNone || isDash(i)) return false;
      if (c == ':' && (i + 1 == line_.size() || isBlank(line_[i + 1]))) return false;
    }
    return true;
  }

  // Walks a flow collection from `at` to the line's end or to where the outermost one closes;
  // after that only a comment may follow.
  bool flowLine(std::size_t at) {
    for (std::size_t i = at; i < line_.size(); ++i) {
      const char c = line_[i];
      if (c == '"' || c == '\'') {
        const std::size_t end = quotedEnd(i);
        if (end == kNone) return false;
        i = end - 1;
      } else if (c == '#' && (i == 0 || isBlank(line_[i - 1]))) {
        return true;
      } else if (c == '%' || isDash(i)) {
        return false;
      } else if (c == '[' || c == '{') {
        flow_.push_back(c);
      } else if (c == ']' || c == '}') {
        if (flow_.empty() || flow_.back() != (c == ']' ? '[' : '{')) return false;
        flow_.pop_back();
        if (flow_.empty()) return atEnd(skipBlanks(i + 1));
      }
    }
    return true;
  }

  std::string_view text_;
  std::string_view line_;
  std::string flow_;  // the open brackets and braces
};

}  // namespace

bool storageTextHolds(std::string_view text) {
  if (text.substr(0, 5) == "%YAML") return Checker(text).run();
  // Region files hold no brackets inside strings, so quotes are not looked at.
  std::string open;
  for (const char c : text) {
    if (c == '{' || c == '[') {
      open.push_back(c);
    } else if (c == '}' || c == ']') {
      if (open.empty() || open.back() != (c == '}' ? '{' : '[')) return false;
      open.pop_back();
    }
  }
  return open.empty();
}

}  // namespace detail
}  // namespace vistrel
