// Links the library as a user does (the vistrel target) and finds the circle detector and the
// detection region by their registered names alone. No class is named in this program, so only
// the registrations made during static initialisation can make them appear.
#include <gtest/gtest.h>

#include <string>
#include <typeinfo>

#include "vistrel/moduleregistry.h"

namespace vistrel {
namespace {

std::string dynamicTypeName(const std::shared_ptr<IVistrelModuleInstance>& p) {
  const IVistrelModuleInstance& object = *p;
  return typeid(object).name();
}

TEST(CircleLookup, CircleDetectorAndDetectRoiAreFoundByName) {
  IVistrelModule* circle = findModule(kCircleDetectorModuleName);
  IVistrelModule* roi = findModule(kDetectRoiModuleName);
  ASSERT_NE(circle, nullptr);
  ASSERT_NE(roi, nullptr);
  EXPECT_NE(circle, roi);

  const auto c = createModuleInstance(kCircleDetectorModuleName);
  const auto r = createModuleInstance(kDetectRoiModuleName);
  ASSERT_NE(c, nullptr);
  ASSERT_NE(r, nullptr);
  EXPECT_NE(dynamicTypeName(c).find("CircleDetector"), std::string::npos) << dynamicTypeName(c);
  EXPECT_NE(dynamicTypeName(r).find("DetectRoi"), std::string::npos) << dynamicTypeName(r);

  // Named instances: one object per module and name.
  const auto shared = getModuleInstance(kCircleDetectorModuleName, "lookup");
  ASSERT_NE(shared, nullptr);
  EXPECT_EQ(getModuleInstance(kCircleDetectorModuleName, "lookup"), shared);
  EXPECT_NE(getModuleInstance(kDetectRoiModuleName, "lookup"), shared);
  // A region stored under a circle detector's name becomes an empty entry.
  EXPECT_TRUE(setModuleInstance(kCircleDetectorModuleName, "lookup", r));
  EXPECT_EQ(getModuleInstance(kCircleDetectorModuleName, "lookup"), nullptr);
  EXPECT_TRUE(releaseModuleInstance(kCircleDetectorModuleName, "lookup"));
  EXPECT_TRUE(releaseModuleInstance(kDetectRoiModuleName, "lookup"));
  EXPECT_FALSE(releaseModuleInstance(kCircleDetectorModuleName, "lookup"));
}

}  // namespace
}  // namespace vistrel
