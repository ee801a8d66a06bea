#include "samplegen/sampledir.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

namespace {

TEST(SampleDir, InstalledLayoutWinsOverTheBuildTreeOnlyWhenItExists) {
  QTemporaryDir root;
  ASSERT_TRUE(root.isValid());
  const QString bin = root.filePath("bin");
  ASSERT_TRUE(QDir().mkpath(bin));

  // Not installed: the build tree's folder, even though it does not exist yet (samplegen
  // creates it).
  EXPECT_EQ(wheelhost::samples::defaultSamplesDir(bin, "../share/wheelvision/samples",
                                                  "../../samples/generated"),
            QDir::cleanPath(root.path() + "/../samples/generated"));

  ASSERT_TRUE(QDir().mkpath(root.filePath("share/wheelvision/samples")));
  EXPECT_EQ(wheelhost::samples::defaultSamplesDir(bin, "../share/wheelvision/samples",
                                                  "../../samples/generated"),
            root.filePath("share/wheelvision/samples"));
  // A file of that name is no sample directory.
  ASSERT_TRUE(QDir(root.filePath("share/wheelvision")).rmdir("samples"));
  QFile file(root.filePath("share/wheelvision/samples"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  EXPECT_EQ(wheelhost::samples::defaultSamplesDir(bin, "../share/wheelvision/samples", "x"),
            bin + "/x");
}

}  // namespace
