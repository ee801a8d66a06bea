// Links the whole library (the vistrel target) and looks modules up by their registered names
// only, without naming the classes first: the registrations must survive static linking.
#include <gtest/gtest.h>

#include "vistrel/detectroi.h"
#include "vistrel/moduleregistry.h"

namespace {

TEST(ModuleLookup, DetectRoiIsRegisteredByName) {
  vistrel::IVistrelModule* module = vistrel::findModule(vistrel::kDetectRoiModuleName);
  ASSERT_NE(module, nullptr);
  std::shared_ptr<vistrel::IVistrelModuleInstance> a =
      vistrel::getModuleInstance(vistrel::kDetectRoiModuleName, "lookup");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(vistrel::getModuleInstance("DetectRoi", "lookup"), a);
  // The class's own accessors share the registry's instances.
  EXPECT_EQ(vistrel::DetectRoi::getInstance("lookup"), a);
  auto mine = std::make_shared<vistrel::DetectRoi>();
  EXPECT_TRUE(vistrel::DetectRoi::setInstance("lookup", mine));
  EXPECT_EQ(vistrel::getModuleInstance("DetectRoi", "lookup"), mine);
  EXPECT_NE(vistrel::createModuleInstance("DetectRoi"), nullptr);
  EXPECT_TRUE(vistrel::releaseModuleInstance("DetectRoi", "lookup"));
  EXPECT_FALSE(vistrel::DetectRoi::releaseInstance("lookup"));
  EXPECT_EQ(vistrel::findModule("detectroi"), nullptr);
}

}  // namespace
