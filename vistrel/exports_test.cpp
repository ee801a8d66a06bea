// The shared library's dynamic symbol table holds the public API and nothing else.
#include <gtest/gtest.h>

// GCC 12 warns, wrongly, about the std::function inside <regex> once the sanitizer build's
// optimisation inlines it here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

std::string runCommand(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {};
  std::string output;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  EXPECT_EQ(pclose(pipe), 0) << command;
  return output;
}

// The qualified names that the public headers mark VISTREL_EXPORT: classes and free functions.
std::set<std::string> markedNames() {
  const std::regex marked(R"(class\s+VISTREL_EXPORT\s+(\w+)|VISTREL_EXPORT\s+[^;{]*?\b(\w+)\s*\()");
  const std::regex space(R"(^\s*namespace\s+(\w+)\s*\{)");
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(VISTREL_PUBLIC_HEADERS)) {
    // The Qt conversions are a library of their own (vistrel::qtcvutils).
    if (entry.path().filename() == "qtcvutils.h") continue;
    std::ifstream file(entry.path());
    std::string current = "vistrel";
    std::string line;
    while (std::getline(file, line)) {
      std::smatch m;
      if (std::regex_search(line, m, space)) current = m[1];
      if (line.rfind("#define", 0) == 0) continue;
      if (std::regex_search(line, m, marked))
        names.insert(current + "::" + (m[1].matched ? m[1] : m[2]).str());
    }
  }
  return names;
}

// `symbol` (demangled) belongs to `name`: the function itself, a member of the class, or the
// class's vtable, type information or type name.
bool belongsTo(const std::string& symbol, const std::string& name) {
  for (const char* prefix : {"", "vtable for ", "typeinfo for ", "typeinfo name for "}) {
    const std::string head = prefix + name;
    if (symbol.compare(0, head.size(), head) == 0 &&
        (symbol.size() == head.size() || symbol[head.size()] == '(' ||
         symbol.compare(head.size(), 2, "::") == 0)) {
      return true;
    }
  }
  return false;
}

TEST(SharedLibrary, ExportsExactlyThePublicApi) {
  if (std::system("command -v nm >/dev/null 2>&1") != 0) GTEST_SKIP() << "nm is not installed";
  const std::set<std::string> names = markedNames();
  // The headers' marks were read: the detectors, the regions and the registry are among them.
  for (const char* expected : {"vistrel::CircleDetector", "vistrel::DetectRoi",
                               "vistrel::registerModule", "ced::detectCirclesAndEllipses"}) {
    EXPECT_EQ(names.count(expected), 1u) << expected;
  }

  const std::string output =
      runCommand(std::string("nm -D -C --defined-only '") + VISTREL_LIBRARY_PATH + "'");
  const std::set<std::string> linkerSymbols = {"_init", "_fini", "_edata", "_end", "__bss_start"};
  std::set<std::string> seen;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    // "<address> <type> <demangled name with spaces>"
    const std::size_t first = line.find(' ');
    if (first == std::string::npos || line.size() < first + 3) continue;
    const std::string symbol = line.substr(first + 3);
    if (linkerSymbols.count(symbol) != 0) continue;
    bool known = false;
    for (const std::string& name : names) {
      if (belongsTo(symbol, name)) {
        seen.insert(name);
        known = true;
      }
    }
    EXPECT_TRUE(known) << "exported, but not public API: " << symbol;
  }
  // ...and everything marked reaches users.
  for (const std::string& name : names) EXPECT_EQ(seen.count(name), 1u) << "not exported: " << name;
}

}  // namespace
