// The built plug-in's file exports its two entry points by their plain names and nothing else
// (the analysis tests load it and call through them).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>

namespace {

TEST(Plugin, ExportsOnlyItsTwoEntryPointsUndecorated) {
#if defined(_WIN32)
  GTEST_SKIP() << "reads the ELF dynamic symbol table";
#else
  if (std::system("command -v nm >/dev/null 2>&1") != 0) GTEST_SKIP() << "nm is not installed";
  const std::string command = std::string("nm -D --defined-only '") + ALGORITHM_PLUGIN_PATH + "'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  ASSERT_EQ(pclose(pipe), 0) << command;

  // Every defined symbol by name with its type, but those the linker itself defines in every
  // shared object.
  const std::set<std::string> linkerSymbols = {"_init", "_fini", "_edata", "_end", "__bss_start"};
  std::map<std::string, std::string> exported;
  std::istringstream symbols(output);
  for (std::string address, type, name; symbols >> address >> type >> name;) {
    if (linkerSymbols.count(name) == 0) exported[name] = type;
  }
  EXPECT_EQ(exported, (std::map<std::string, std::string>{{"Algorithm_Create", "T"},
                                                          {"Algorithm_Delete", "T"}}));
#endif
}

}  // namespace
