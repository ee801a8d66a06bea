#include "runner/parameters.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "runner/testing/qtprinters.h"
#include "runner/testing/textfile.h"

namespace {

using wheelhost::applySetting;
using wheelhost::loadParameterFile;

class ParameterFile : public ::testing::Test {
 protected:
  QString write(const QByteArray& text) {
    return writeTextFile(dir_.filePath("params.json"), text);
  }
  QTemporaryDir dir_;
};

TEST_F(ParameterFile, ValuesTakeTheTypeOfTheirKey) {
  const QString path = write(
      R"({"useDiameter": true, "IsCutImg": true, "useBackground": 0, "Ratio": 2,
          "Circle_Polarity": 1.0})");
  QVariantMap map;
  QStringList warnings;
  QString error;
  ASSERT_TRUE(loadParameterFile(path, map, &warnings, &error)) << error.toStdString();
  EXPECT_TRUE(warnings.isEmpty());
  // true for an integer key is 1, 0 for a boolean key is false.
  EXPECT_EQ(typedEntries(map),
            QStringList({"Circle_Polarity=1 int", "IsCutImg=1 int", "Ratio=2 double",
                         "useBackground=false bool", "useDiameter=true bool"}));
}

TEST_F(ParameterFile, UnknownKeysPassWithAWarningRunnerKeysAreRefused) {
  QVariantMap map{{"d2h", 0.5}};
  QStringList warnings;
  QString error;
  ASSERT_TRUE(loadParameterFile(write(R"({"FilterSize": 3, "lineSpeed": "fast"})"), map, &warnings,
                                &error));
  ASSERT_EQ(warnings.size(), 2);
  EXPECT_TRUE(
      warnings[0].contains("unknown parameter \"FilterSize\" passed on unchecked "
                           "(did you mean \"filterSize\"?)"));
  EXPECT_EQ(map.value("lineSpeed").toString(), "fast");
  EXPECT_EQ(map.value("d2h").toDouble(), 0.5);  // what was there stays

  const QVariantMap before = map;
  EXPECT_FALSE(
      loadParameterFile(write(R"({"filterSize": 9, "modelMap": 12345})"), map, &warnings, &error));
  EXPECT_TRUE(error.endsWith("\"modelMap\" is set by wheelhost itself (use --catalogue)"));
  EXPECT_EQ(map, before);  // nothing of a refused file is applied
}

TEST_F(ParameterFile, BadFilesNameTheFileAndTheProblem) {
  QVariantMap map;
  QString error;
  const QString path = write("{\n  \"d2h\": ,\n}");
  EXPECT_FALSE(loadParameterFile(path, map, nullptr, &error));
  EXPECT_TRUE(error.startsWith(path + ": not valid JSON at line 2, column "))
      << error.toStdString();
  const struct {
    QByteArray json;
    QString message;
  } cases[] = {
      {"[]", "expected a JSON object of parameter: value"},
      {R"({"filterSize": 2.5})", "\"filterSize\" expects an integer, got 2.5"},
      {R"({"filterSize": 3e10})", "\"filterSize\" expects an integer, got 30000000000"},
      {R"({"useDiameter": 2})", "\"useDiameter\" expects true or false, got 2"},
      {R"({"d2h": "0.8"})", "\"d2h\" expects a number, got the string \"0.8\""},
      {R"({"d2h": null})", "\"d2h\" expects a number, got null"},
      {R"({"thickness": [1]})", "\"thickness\" expects an integer, got an array"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(loadParameterFile(write(c.json), map, nullptr, &error));
    EXPECT_EQ(error, path + ": " + c.message);
  }
  EXPECT_TRUE(map.isEmpty());
  EXPECT_FALSE(loadParameterFile(dir_.path(), map, nullptr, &error));
  EXPECT_EQ(error, dir_.path() + ": is a directory, not a file");
}

// Values the analysis accepts but that defeat it are flagged before the run.
TEST(ParameterSetting, ValuesThatDefeatTheAnalysisAreWarnedAbout) {
  const auto warnings = [](QVariantMap map) {
    if (!map.contains("d2h")) map.insert("d2h", 0.5);
    return wheelhost::checkParameterValues(map);
  };
  EXPECT_TRUE(warnings({{"filterSize", 0}, {"Circle_EdgeWidth", 1}}).isEmpty());
  EXPECT_TRUE(warnings({{"Circle_EdgeWidth", 100}}).isEmpty());
  EXPECT_EQ(warnings({{"filterSize", -5}}),
            QStringList{"\"filterSize\" -5 is negative: the circle detector refuses it and no "
                        "wheel is found"});
  EXPECT_EQ(warnings({{"Circle_EdgeWidth", 0}}),
            QStringList{"\"Circle_EdgeWidth\" 0 is outside 1..100: it acts as 1"});
  const QStringList wide = warnings({{"Circle_EdgeWidth", 1000000}});
  ASSERT_EQ(wide.size(), 1);
  EXPECT_TRUE(
      wide[0].startsWith("\"Circle_EdgeWidth\" 1000000 is outside 1..100: the vote spreads"));
  EXPECT_EQ(warnings({{"d2h", QVariant("nan")}}),
            QStringList{"\"d2h\" is nan: every image with a wheel fails"});
  EXPECT_EQ(wheelhost::checkParameterValues({}).size(), 1);  // no d2h: negative diameters
}

TEST(ParameterSetting, TextIsParsedAsTheKeysType) {
  QVariantMap map;
  QString error;
  for (const char* setting :
       {"d2h=0.25", " thickness = -3 ", "useDiameter=Yes", "bEqual=off", "Circle_ACThres=150"}) {
    ASSERT_TRUE(applySetting(setting, map, &error)) << setting;
  }
  EXPECT_EQ(typedEntries(map),
            QStringList({"Circle_ACThres=150 int", "bEqual=false bool", "d2h=0.25 double",
                         "thickness=-3 int", "useDiameter=true bool"}));
  // Accepted (the plug-in decides), but flagged.
  const QStringList warnings = wheelhost::checkParameterValues(map);
  ASSERT_EQ(warnings.size(), 1);
  EXPECT_TRUE(warnings[0].startsWith("\"Circle_ACThres\" 150 is outside 0..100"));

  const struct {
    const char* setting;
    const char* message;
  } cases[] = {
      {"d2h", "--set \"d2h\": expected KEY=VALUE"},
      {"=3", "--set \"=3\": expected KEY=VALUE"},
      {"d2h=fast", "--set d2h: expects a number, got \"fast\""},
      {"d2h=inf", "--set d2h: expects a number, got \"inf\""},
      {"filterSize=1.5", "--set filterSize: expects an integer, got \"1.5\""},
      {"useDiameter=2", "--set useDiameter: expects true or false, got \"2\""},
      {"ratio=1",
       "--set ratio: unknown parameter (did you mean \"Ratio\"?); wheelhost --help lists them"},
      {"speed=1", "--set speed: unknown parameter; wheelhost --help lists them"},
      {"defectList=1",
       "--set defectList: \"defectList\" is set by wheelhost itself (use --models)"},
  };
  const QVariantMap before = map;
  for (const auto& c : cases) {
    EXPECT_FALSE(applySetting(c.setting, map, &error)) << c.setting;
    EXPECT_EQ(error, c.message);
  }
  EXPECT_EQ(map, before);
}

}  // namespace
