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
}

}  // namespace
}  // namespace vistrel
