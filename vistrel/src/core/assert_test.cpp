#include "vistrel/assert.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

int checkedHalf(int value) {
  VISTREL_ASSERT(value % 2 == 0);
  return value / 2;  // goes on after the report
}

TEST(Assert, ReportsConditionTextAndValuesAndContinues) {
  vistrel::AssertCapture capture;
  EXPECT_EQ(checkedHalf(4), 2);
  EXPECT_EQ(checkedHalf(5), 2);
  VISTREL_REPORT("not implemented.");
  // A check yields whether it held and reports only failures; a comparison reports both values
  // and evaluates each operand once.
  const int r = -1;
  EXPECT_TRUE(VISTREL_CHECK(r < 0));
  EXPECT_FALSE(VISTREL_CHECK(r >= 0));
  int calls = 0;
  const auto lo = [&] {
    ++calls;
    return 12;
  };
  const int hi = 7;
  EXPECT_FALSE(VISTREL_CHECK_LE(lo(), hi));
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(VISTREL_CHECK_GT(lo(), hi));
  EXPECT_TRUE(VISTREL_CHECK_NE(hi, 8) && VISTREL_CHECK_GE(hi, 7) && VISTREL_CHECK_LT(hi, 8));
  enum class Colour { Red = 2 };
  const unsigned char byte = 65;
  EXPECT_FALSE(VISTREL_CHECK_EQ(Colour::Red, Colour{3}));
  EXPECT_FALSE(VISTREL_CHECK_EQ(byte, 66));
  EXPECT_EQ(capture.messages(),
            (std::vector<std::string>{"value % 2 == 0", "not implemented.", "r >= 0",
                                      "lo() <= hi (12 vs 7)", "Colour::Red == Colour{3} (2 vs 3)",
                                      "byte == 66 (65 vs 66)"}));
}

TEST(Assert, CapturesNestAndRestoreThePreviousHandler) {
  vistrel::AssertCapture outer;
  {
    vistrel::AssertCapture inner;
    VISTREL_REPORT("inner");
    EXPECT_TRUE(inner.contains("inner"));
  }
  VISTREL_REPORT("outer");
  EXPECT_EQ(outer.messages(), std::vector<std::string>{"outer"});
}

TEST(Assert, CustomHandlerReceivesFileAndLine) {
  std::string seenFile;
  int seenLine = 0;
  auto previous = vistrel::setAssertHandler([&](const char*, const char* file, int line) {
    seenFile = file;
    seenLine = line;
  });
  const int line = __LINE__ + 1;
  VISTREL_ASSERT(1 + 1 == 3);
  vistrel::setAssertHandler(previous);
  EXPECT_NE(seenFile.find("assert_test.cpp"), std::string::npos);
  EXPECT_EQ(seenLine, line);
}

// A handler that another thread is running must not outlive its replacement: the caller that
// swapped it out may destroy what it refers to (as ~AssertCapture does).
TEST(Assert, ReplacedHandlerIsNotRunningOnceTheSwapReturns) {
  std::atomic<bool> entered{false}, swapped{false}, sawSwapWhileRunning{false};
  auto previous = vistrel::setAssertHandler([&](const char*, const char*, int) {
    entered = true;
    // Give the swapping thread ample time to return while this handler still runs.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (std::chrono::steady_clock::now() < until) {
      if (swapped) {
        sawSwapWhileRunning = true;
        break;
      }
      std::this_thread::yield();
    }
  });
  std::thread reporter([] { VISTREL_REPORT("slow"); });
  while (!entered) std::this_thread::yield();
  vistrel::setAssertHandler(previous);
  swapped = true;
  reporter.join();
  EXPECT_FALSE(sawSwapWhileRunning);
}

}  // namespace
