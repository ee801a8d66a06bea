#include "runner/catalogue.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "runner/testing/qtprinters.h"
#include "runner/testing/textfile.h"

namespace {

using wheelhost::Catalogue;

class CatalogueFile : public ::testing::Test {
 protected:
  void SetUp() override {
    QDir(dir_.path()).mkpath("t");
    cv::Mat wheel(80, 80, CV_8UC1, cv::Scalar(20));
    cv::circle(wheel, {40, 40}, 38, cv::Scalar(200), 6);
    cv::line(wheel, {40, 40}, {70, 40}, cv::Scalar(180), 5);
    ASSERT_TRUE(cv::imwrite(dir_.filePath("t/a.png").toStdString(), wheel));
    ASSERT_TRUE(cv::imwrite(dir_.filePath("flat.png").toStdString(),
                            cv::Mat(40, 40, CV_8UC1, cv::Scalar(90))));
  }
  QString write(const QByteArray& text) {
    return writeTextFile(dir_.filePath("catalogue.json"), text);
  }
  QTemporaryDir dir_;
};

// A flat template loads too, with a warning.
TEST_F(CatalogueFile, ModelsKeepFileOrderAndReachThePluginThroughItsInterfaces) {
  QStringList warnings;
  QString error;
  const auto cat = Catalogue::load(write(R"({"models": [
      {"name": "ZED", "diameter": 510.5, "thickness": 215, "ratioMin": 1.4, "ratioMax": 1.7,
       "template": "t/a.png", "acceptLimit": 0.2},
      {"name": "ALPHA", "diameter": 405, "template": "t/../t/a.png", "colour": "red"},
      {"name": "F", "diameter": 1, "template": "flat.png"}]})"),
                                   &warnings, &error);
  ASSERT_TRUE(cat) << error.toStdString();
  EXPECT_EQ(cat->names(), QStringList({"ZED", "ALPHA", "F"}));  // not sorted: as written
  ASSERT_EQ(warnings.size(), 2);
  EXPECT_TRUE(warnings[0].endsWith("model 2 (\"ALPHA\"): unknown field \"colour\" ignored"));
  EXPECT_TRUE(warnings[1].contains("has no contrast"));

  // Templates are found relative to the catalogue's folder.
  EXPECT_EQ(cat->entries()[1].templatePath, QDir::cleanPath(dir_.filePath("t/a.png")));

  WheelModelMap* map = cat->modelMap();
  ASSERT_EQ(map->size(), 3);
  IWheelModel* zed = map->value("ZED");
  ASSERT_NE(zed, nullptr);
  EXPECT_EQ(cv::Vec4d(zed->Diameter(), zed->Thickness(), zed->RatioMin(), zed->RatioMax()),
            cv::Vec4d(510.5, 215.0, 1.4, 1.7));
  ASSERT_NE(zed->Matcher(), nullptr);
  EXPECT_EQ(zed->Matcher()->AcceptLimit(), 0.2);
  EXPECT_EQ(zed->Matcher()->TemplateImage().size(), cv::Size(80, 80));
  EXPECT_EQ(cat->matcher("NONE"), nullptr);
}

TEST_F(CatalogueFile, UnusableCataloguesNameFileModelAndField) {
  const std::pair<const char*, QString> cases[] = {
      {R"([])", "expected a JSON object with a \"models\" array"},
      {R"({"models": {}})", "expected a JSON object with a \"models\" array"},
      {R"({"models": []})", "the \"models\" array is empty"},
      {R"({"models": [3]})", "model 1 is not a JSON object"},
      {R"({"models": [{"diameter": 1, "template": "t/a.png"}]})",
       "model 1: \"name\" must be a non-empty string"},
      {R"({"models": [{"name": " ", "diameter": 1, "template": "t/a.png"}]})",
       "model 1: \"name\" must be a non-empty string"},
      {R"({"models": [{"name": "A", "diameter": 1, "template": "t/a.png", "acceptLimit": 0}]})",
       "model 1 (\"A\"): \"acceptLimit\" must be above 0 (scores are 0 at best)"},
      {R"({"models": [{"name": "A", "template": "t/a.png"}]})",
       "model 1 (\"A\"): \"diameter\" is missing"},
      {R"({"models": [{"name": "A", "diameter": 1, "template": "t/a.png"},
                      {"name": "A", "diameter": 2, "template": "t/a.png"}]})",
       "model 2 (\"A\"): the name is used twice"},
      {R"({"models": [{"name": "A", "diameter": 1, "thickness": true, "template": "t/a.png"}]})",
       "model 1 (\"A\"): \"thickness\" must be a number"},
      {R"({"models": [{"name": "A", "diameter": 1}]})",
       "model 1 (\"A\"): \"template\" must name the template image"},
      {R"({"models": [{"name": "A", "diameter": 1, "template": "t"}]})",
       "model 1 (\"A\"): template " + QDir::cleanPath(dir_.filePath("t")) +
           ": is a directory, not an image file"},
  };
  for (const auto& [json, message] : cases) {
    QString error;
    const QString path = write(json);
    EXPECT_FALSE(Catalogue::load(path, nullptr, &error)) << json;
    EXPECT_EQ(error, path + ": " + message);
  }
}

}  // namespace
