// The built plug-in as a host sees it: a file loaded at run time whose two entry points are
// found by their plain names, and which exports nothing else.
#include <gtest/gtest.h>

#include <QLibrary>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>

#include "ialgorithm.h"
#include "objects/imageobject.h"

namespace {

TEST(Plugin, LoadsByFileAndCreatesAndDeletesObjectsThroughItsEntryPoints) {
  QLibrary library(QString::fromUtf8(ALGORITHM_PLUGIN_PATH));
  ASSERT_TRUE(library.load()) << library.errorString().toStdString();
  const auto create = reinterpret_cast<AlgorithmCreateFn>(library.resolve("Algorithm_Create"));
  const auto destroy = reinterpret_cast<AlgorithmDeleteFn>(library.resolve("Algorithm_Delete"));
  ASSERT_NE(create, nullptr);
  ASSERT_NE(destroy, nullptr);

  IAlgorithm* first = create(nullptr);
  IAlgorithm* second = create(reinterpret_cast<void*>(0x1234));  // the argument is not used
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);

  // A call through the interface crosses the library border and returns one of its codes.
  wheelhost::ImageObject image(cv::Mat(32, 32, CV_8UC1, cv::Scalar(0)));
  const int status = first->IImageAnalysis(&image, nullptr, nullptr);
  EXPECT_TRUE(status == 0 || status == 1) << status;

  destroy(nullptr);  // does nothing
  destroy(first);
  destroy(second);
}

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

  // Symbols the linker itself defines in every shared object.
  const std::set<std::string> linkerSymbols = {"_init", "_fini", "_edata", "_end", "__bss_start"};
  std::set<std::string> entryPoints;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string address, type, name;
    if (!(fields >> address >> type >> name)) continue;
    if (name == "Algorithm_Create" || name == "Algorithm_Delete") {
      EXPECT_EQ(type, "T") << name;
      entryPoints.insert(name);
    } else {
      EXPECT_TRUE(linkerSymbols.count(name) != 0) << "exported internal symbol: " << name;
    }
  }
  EXPECT_EQ(entryPoints, (std::set<std::string>{"Algorithm_Create", "Algorithm_Delete"}));
#endif
}

}  // namespace
