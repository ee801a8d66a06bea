#include "samplegen/sampledir.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

namespace {

TEST(SampleDir, InstalledLayoutWinsOverTheBuildTreeOnlyWhenItExists) {
  QTemporaryDir root;
  const QString bin = root.filePath("bin"), installed = root.filePath("share/wheelvision/samples");
  ASSERT_TRUE(QDir().mkpath(bin));
  const auto samplesDir = [&](const char* buildReldir) {
    return wheelhost::samples::defaultSamplesDir(bin, "../share/wheelvision/samples", buildReldir);
  };
  // Not installed: the build tree's folder, even though it does not exist yet (samplegen
  // creates it).
  EXPECT_EQ(samplesDir("../../samples/generated"),
            QDir::cleanPath(root.path() + "/../samples/generated"));
  ASSERT_TRUE(QDir().mkpath(installed));
  EXPECT_EQ(samplesDir("../../samples/generated"), installed);
  // A file of that name is no sample directory.
  ASSERT_TRUE(QDir().rmdir(installed));
  QFile file(installed);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  EXPECT_EQ(samplesDir("x"), bin + "/x");
}

}  // namespace
