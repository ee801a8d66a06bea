#include "storagetext.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

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

  // The offset of the line at fault (for a flow collection that never closes, of the line it
  // opens on), or kNone when the text holds.
  std::size_t run() {
    bool directives = true;
    std::size_t base = kNone;  // the first content line's indentation
    for (std::size_t pos = 0; pos < text_.size();) {
      std::size_t end = text_.find('\n', pos);
      if (end == kNone) end = text_.size();
      line_ = text_.substr(pos, end - pos);
      lineStart_ = pos;
      pos = end + 1;
      if (directives && !line_.empty() && line_[0] == '%') continue;
      std::size_t at = skipBlanks(0);
      if (at == line_.size()) continue;
      if (line_[at] == '#') {  // a comment line, but none inside a flow collection
        if (!flow_.empty()) return lineStart_;
        continue;
      }
      directives = false;
      // The reader takes every line that starts with "---" for a document marker, blank after
      // it or not, and a second document (content before the marker makes one too) sends it
      // round in circles. The writer writes one document, marker first: so does the text.
      if (flow_.empty() && line_.compare(0, 3, "---") == 0) {
        if (sawDocument_ || base != kNone) return lineStart_;
        sawDocument_ = true;
        at = skipBlanks(3);  // content may follow the document marker on its line
        if (atEnd(at)) continue;
      }
      if (base == kNone) base = at;
      if (at < base) return lineStart_;
      if (!(flow_.empty() ? blockLine(at) : flowLine(at))) return lineStart_;
    }
    return flow_.empty() ? kNone : flowStart_;
  }

 private:
  enum class Entry { kKey, kDash, kValue };

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
    // A key is plain (the reader takes no quoted one): it runs to its ":" and holds no flow
    // bracket, "%" or comment. The reader ends it there even without a blank after the ":"
    // ("scale:0.5"), and so does this.
    if (kIndicators.find(line_[at]) != kNone) return kNone;
    std::size_t i = at;
    while (i < line_.size() && std::string_view(":[]{},%#").find(line_[i]) == kNone) ++i;
    return i < line_.size() && line_[i] == ':' ? i + 1 : kNone;
  }

  // A sequence dash, then a key, then its value, or a value alone.
  bool blockLine(std::size_t at) {
    if (isDash(at)) {  // one per line, as the writer puts them
      if (!enter(at, Entry::kDash)) return false;
      at = skipBlanks(at + 1);
      if (atEnd(at)) return true;  // the entry follows on the next lines
    }
    const std::size_t key = keyEnd(at);
    if (!enter(at, key != kNone ? Entry::kKey : Entry::kValue)) return false;
    if (key != kNone) {
      at = skipBlanks(key);
      if (atEnd(at)) return true;  // a block value follows
    }
    nest_ = false;  // the entry is complete, unless its value is a lone tag
    return value(at);
  }

  // An entry of `kind` at column `at`. Further in than the innermost open block, it starts a
  // block of its own, but only under an entry whose value follows on the next lines, or under
  // one earlier on its own line: deeper lines under a complete value ("[ 0 ]", then "  a:" and
  // "    - b") send the reader round in circles. Otherwise it closes the blocks further in and
  // stands beside the entry at its column, in a mapping (keys) or a sequence (dashes).
  bool enter(std::size_t at, Entry kind) {
    if (blocks_.empty() || blocks_.back().first < at) {
      if (!blocks_.empty() && !nest_) return false;
      blocks_.emplace_back(at, kind);
    } else {
      while (blocks_.back().first > at) {
        blocks_.pop_back();
        if (blocks_.empty()) return false;
      }
      const auto [column, entry] = blocks_.back();
      if (column != at || entry != kind || kind == Entry::kValue) return false;
    }
    nest_ = true;
    return true;
  }

  bool value(std::size_t at) {
    if (line_[at] == '!') {  // a tag, then the node it tags
      std::size_t i = at;
      for (; i < line_.size() && !isBlank(line_[i]); ++i) {
        if (std::string_view("[]{},%").find(line_[i]) != kNone) return false;
      }
      at = skipBlanks(i);
      if (atEnd(at)) {  // the tagged node follows on the next lines
        nest_ = true;
        return true;
      }
    }
    const char c = line_[at];
    if (c == '[' || c == '{') return flowLine(at);
    if (c == '"' || c == '\'') {
      const std::size_t end = quotedEnd(at);
      return end != kNone && atEnd(skipBlanks(end));
    }
    return plainScalar(at);
  }

  // A plain scalar runs to the line's end, comment included (the reader ends it there only
  // sometimes). It holds no flow bracket, no "%", no further key and no sequence dash.
  bool plainScalar(std::size_t at) const {
    if (kIndicators.find(line_[at]) != kNone && (line_[at] != '-' || isDash(at))) {
      return false;
    }
    for (std::size_t i = at; i < line_.size(); ++i) {
      const char c = line_[i];
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
      } else if (c == '#' || c == '%' || isDash(i)) {  // the reader takes no comment in here
        return false;
      } else if (c == '[' || c == '{') {
        if (flow_.empty()) flowStart_ = lineStart_;
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
  std::size_t lineStart_ = 0;  // the offset of line_ in the text
  std::size_t flowStart_ = 0;  // the offset of the line that opened the flow collection
  bool sawDocument_ = false;   // a "---" line came
  bool nest_ = true;           // the next entry may go further in
  std::string flow_;           // the open brackets and braces
  std::vector<std::pair<std::size_t, Entry>> blocks_;  // the open blocks' columns and entries
};

// Where XML text departs from what the writer produces (the offset of the tag, comment or
// element at fault), or kNone: the "<?xml ...?>" declaration, comments, and elements whose
// start tags carry only name="value" attributes and whose end tags close them in order, around
// text without "<". OpenCV 4.6's XML reader reads past the end of some text that stops inside
// a tag, and takes no empty-element tag ("<a/>").
std::size_t xmlFault(std::string_view text) {
  const auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  const auto skipSpace = [&](std::size_t at) {
    while (at < text.size() && (isBlank(text[at]) || text[at] == '\n')) ++at;
    return at;
  };
  // Just past the name at `at`, or kNone when none starts there.
  const auto nameEnd = [&](std::size_t at) {
    if (at >= text.size() || !(isLetter(text[at]) || text[at] == '_')) return kNone;
    std::size_t end = at + 1;
    while (end < text.size() && (isLetter(text[end]) || (text[end] >= '0' && text[end] <= '9') ||
                                 std::string_view("_:.-").find(text[end]) != kNone)) {
      ++end;
    }
    return end;
  };
  // Just past the tag whose attributes start at `at` and which ends with `close`, or kNone.
  const auto tagEnd = [&](std::size_t at, std::string_view close) {
    if (at == kNone) return kNone;
    for (;;) {
      at = skipSpace(at);
      if (text.compare(at, close.size(), close) == 0) return at + close.size();
      at = nameEnd(at);
      if (at == kNone) return kNone;
      at = skipSpace(at);
      if (at >= text.size() || text[at] != '=') return kNone;
      at = skipSpace(at + 1);
      if (at >= text.size() || (text[at] != '"' && text[at] != '\'')) return kNone;
      const std::size_t quote = text.find(text[at], at + 1);
      if (quote == kNone || text.substr(at, quote - at).find('<') != kNone) return kNone;
      at = quote + 1;
    }
  };

  std::vector<std::string_view> open;  // the elements not yet closed
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t start = at;
    if (text[at] != '<') {  // text up to the next tag
      at = std::min(text.find('<', at), text.size());
    } else if (text.compare(at, 4, "<!--") == 0) {
      const std::size_t end = text.find("-->", at + 4);
      if (end == kNone) return start;
      at = end + 3;
    } else if (text.compare(at, 2, "<?") == 0) {
      at = tagEnd(nameEnd(at + 2), "?>");
      if (at == kNone) return start;
    } else if (text.compare(at, 2, "</") == 0) {
      const std::size_t end = nameEnd(at + 2);
      if (end == kNone || open.empty() || open.back() != text.substr(at + 2, end - at - 2)) {
        return start;
      }
      open.pop_back();
      at = tagEnd(end, ">");  // no attributes come before its ">"
      if (at != skipSpace(end) + 1) return start;
    } else {
      const std::size_t end = nameEnd(at + 1);
      if (end == kNone) return start;
      open.push_back(text.substr(at + 1, end - at - 1));
      at = tagEnd(end, ">");
      if (at == kNone) return start;
    }
  }
  // The innermost element that is never closed.
  return open.empty() ? kNone : static_cast<std::size_t>(open.back().data() - text.data()) - 1;
}

// Where JSON text stops being well formed (the offset at fault), or kNone when it is well
// formed up to the end of its one value, where the reader stops. Numbers and lists are read as
// the reader reads them: a number may have a sign, leading zeros and a decimal point with
// digits on either side ("+00.5", "30.", ".5"), and a comma may close a list of members or
// elements. Containers nest on a stack of their own, so deep nesting costs no recursion.
std::size_t jsonFault(std::string_view text) {
  std::size_t at = 0;
  const auto isDigit = [&](std::size_t i) {
    return i < text.size() && text[i] >= '0' && text[i] <= '9';
  };
  const auto space = [&] {
    while (at < text.size() && std::string_view(" \t\n\r").find(text[at]) != kNone) ++at;
  };
  const auto string = [&] {  // at its opening quote
    for (++at; at < text.size(); ++at) {
      const char c = text[at];
      if (c == '"') {
        ++at;
        return true;
      }
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c == '\\') {
        ++at;
        if (at < text.size() && text[at] == 'u') {
          for (int k = 0; k < 4; ++k) {
            ++at;
            if (at >= text.size() ||
                std::string_view("0123456789abcdefABCDEF").find(text[at]) == kNone) {
              return false;
            }
          }
        } else if (at >= text.size() || std::string_view("\"\\/bfnrt").find(text[at]) == kNone) {
          return false;
        }
      }
    }
    return false;
  };
  const auto key = [&] {  // a member's name and its ":"
    space();
    if (at >= text.size() || text[at] != '"' || !string()) return false;
    space();
    if (at >= text.size() || text[at] != ':') return false;
    ++at;
    return true;
  };
  const auto scalar = [&] {  // a literal or a number
    for (const std::string_view word : {"true", "false", "null"}) {
      if (text.compare(at, word.size(), word) == 0) {
        at += word.size();
        return true;
      }
    }
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    const std::size_t digits = at;
    while (isDigit(at)) ++at;
    if (at < text.size() && text[at] == '.') ++at;
    while (isDigit(at)) ++at;
    if (at == digits || (at == digits + 1 && text[digits] == '.')) return false;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
      ++at;
      if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
      if (!isDigit(at)) return false;
      while (isDigit(at)) ++at;
    }
    return true;
  };

  const auto fault = [&] { return std::min(at, text.size()); };
  std::string open;  // the containers not yet closed
  for (;;) {         // `at` is where a value starts
    space();
    if (at >= text.size()) return fault();
    const char c = text[at];
    if (c == '{' || c == '[') {
      open.push_back(c);
      ++at;
      space();
      if (at < text.size() && text[at] == (c == '{' ? '}' : ']')) {  // empty: a whole value
        open.pop_back();
        ++at;
      } else {
        if (c == '{' && !key()) return fault();
        continue;  // the first member's or element's value
      }
    } else if (c == '"' ? !string() : !scalar()) {
      return fault();
    }
    // A value is complete: close what ends after it, then go on to the next member or element.
    for (;;) {
      space();
      if (open.empty()) return kNone;  // the reader stops here
      if (at >= text.size()) return fault();
      if (text[at] == (open.back() == '{' ? '}' : ']')) {
        open.pop_back();
        ++at;
        continue;
      }
      if (text[at] != ',') return fault();
      ++at;
      space();
      if (at < text.size() && text[at] == (open.back() == '{' ? '}' : ']')) continue;
      if (open.back() == '{' && !key()) return fault();
      break;
    }
  }
}

}  // namespace

std::size_t storageTextFault(std::string_view text) {
  // The reader passes over a byte order mark, as editors on Windows write one.
  const std::size_t skipped = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  text.remove_prefix(skipped);
  std::size_t fault = kNone;  // no format the reader knows: it refuses the text itself
  if (text.substr(0, 5) == "%YAML") {
    fault = Checker(text).run();
  } else if (text.substr(0, 5) == "<?xml") {
    fault = xmlFault(text);
  } else if (text.substr(0, 1) == "{") {
    fault = jsonFault(text);
  }
  return fault == kNone ? kNone : fault + skipped;
}

}  // namespace detail
}  // namespace vistrel
