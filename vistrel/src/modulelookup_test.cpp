// Links the whole library (the vistrel target) and looks modules up by their registered names
// only, without naming the classes first: the registrations must survive static linking.
#include <gtest/gtest.h>

#include "vistrel/moduleregistry.h"

namespace {

TEST(ModuleLookup, DetectRoiIsRegisteredByName) {
  vistrel::IVistrelModule* module = vistrel::findModule(vistrel::kDetectRoiModuleName);
  ASSERT_NE(module, nullptr);
  std::shared_ptr<vistrel::IVistrelModuleInstance> a =
      vistrel::getModuleInstance(vistrel::kDetectRoiModuleName, "lookup");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(vistrel::getModuleInstance("DetectRoi", "lookup"), a);
  EXPECT_NE(vistrel::createModuleInstance("DetectRoi"), nullptr);
  EXPECT_TRUE(vistrel::releaseModuleInstance("DetectRoi", "lookup"));
  EXPECT_EQ(vistrel::findModule("detectroi"), nullptr);
}

}  // namespace
