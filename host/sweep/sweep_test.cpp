#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "runner/parameters.h"
#include "runner/testing/qtprinters.h"
#include "scenes/scenes.h"
#include "sweep/sweepeval.h"
#include "sweep/sweepgrid.h"
#include "sweep/sweepreport.h"

namespace {

using namespace wheelhost;

TEST(SweepGrid, ParsesTypedValuesAndExpandsWithTheLastKeyFastest) {
  std::vector<SweepAxis> axes;
  QString error;
  ASSERT_TRUE(parseGrid("Circle_Polarity=0,1; bEqual=false,true,0 ;RobustRefine=1", &axes, &error))
      << error.toStdString();
  ASSERT_EQ(axes.size(), 3u);
  // Typed as their keys are; bEqual's "0" repeats false.
  QStringList labels;
  for (const QVariantMap& setting : expandGrid(axes)) labels << settingLabel(setting, axes);
  EXPECT_EQ(labels, QStringList({"Circle_Polarity=0 bEqual=false RobustRefine=true",
                                 "Circle_Polarity=0 bEqual=true RobustRefine=true",
                                 "Circle_Polarity=1 bEqual=false RobustRefine=true",
                                 "Circle_Polarity=1 bEqual=true RobustRefine=true"}));
  EXPECT_EQ(expandGrid({}).size(), 1u);
}

TEST(SweepGrid, RefusesWhatItCannotSweep) {
  for (const auto& [grid, expected] : std::initializer_list<std::pair<const char*, const char*>>{
           {"", "no KEY"},
           {"d2h=1,2", "cannot be swept"},
           {"bEqual=0;bEqual=1", "given twice"},
           {"Circle_ACThres=3,high", "\"high\""},
           {"filterSize", "KEY=V1"}}) {
    std::vector<SweepAxis> axes;
    QString error;
    EXPECT_FALSE(parseGrid(grid, &axes, &error)) << grid;
    EXPECT_TRUE(error.contains(expected)) << grid << ": " << error.toStdString();
  }
}

TEST(SweepStats, LocatedMeansWithinOnePercentAndWorstCountsEveryCircle) {
  const LabelledImage truth{"a.png", cv::Mat(), {100, 100}, 100.0, {}};
  const std::vector<Localisation> results = {
      {true, {100, 100}, 100.0, 0.1},
      {true, {100.5, 100}, 100.4, 0.1},    // 0.5 px: located
      {true, {100.6, 100.8}, 100.0, 0.1},  // exactly 1 px: located
      {true, {102, 100}, 100.0, 0.1},      // 2 px: a miss
      {false, {0, 0}, 0.0, 0.1}};
  const SettingStats s = summarise(std::vector<LabelledImage>(5, truth), results);
  EXPECT_EQ(cv::Vec3i(s.images, s.found, s.located), cv::Vec3i(5, 4, 3));
  EXPECT_DOUBLE_EQ(s.locatedShare, 0.6);
  EXPECT_NEAR(s.centreMedian, 0.5, 1e-12);
  EXPECT_NEAR(s.radiusMedian, 0.0, 1e-12);
  EXPECT_NEAR(s.centreWorst, 2.0, 1e-12);
  EXPECT_NEAR(s.secondsPerImage, 0.1, 1e-12);
  EXPECT_FALSE(isLocated({true, {100, 100}, 101.5, 0}, truth));  // radius 1.5 % off
}

// A setting's statistics as far as the choice of the best reads them.
SettingStats ranked(int located, double centreMedian, double secondsPerImage) {
  SettingStats s;
  s.located = located;
  s.centreMedian = centreMedian;
  s.secondsPerImage = secondsPerImage;
  return s;
}

TEST(SweepStats, BestLocatesMostThenSharpestThenFastest) {
  const SettingStats a = ranked(3, 0.2, 1), b = ranked(4, 0.3, 1), c = ranked(4, 0.1, 2),
                     d = ranked(4, 0.1, 1);
  EXPECT_EQ(bestSetting({a, b, c, d}), 3);
  EXPECT_EQ(bestSetting({a, b, c}), 2);
  // Within noise of each other: the earlier stays.
  EXPECT_EQ(bestSetting({d, ranked(4, 0.1004, 0.95)}), 0);
  EXPECT_EQ(bestSetting({a}), 0);
  EXPECT_EQ(bestSetting({}), -1);
}

// Two bright-rimmed wheels: polarity 1 finds their outlines, polarity 0 the inner rim edge.
TEST(RunSweep, ASmallGridFindsThePolarityOfTheRimsAndThreadsChangeNothing) {
  std::vector<LabelledImage> images;
  for (int k = 0; k < 2; ++k) {
    scenes::WheelLayout w;
    w.size = {400, 320};  // the refinement searches up to 50 px short of the border
    w.centre = {200.5 + 7.3 * k, 160.5 - 3.1 * k};
    w.radius = 80.0 + 5 * k;
    w.seed = 11 + k;
    const cv::Point2d truth = w.centre - cv::Point2d(0.5, 0.5);
    images.push_back(
        {QString("w%1").arg(k), scenes::renderWheel(w), truth, w.radius, {{"filterSize", 40}}});
  }
  std::vector<SweepAxis> axes;
  ASSERT_TRUE(parseGrid("Circle_Polarity=0,1;RobustRefine=0,1", &axes, nullptr));
  const std::vector<QVariantMap> settings = expandGrid(axes);
  std::vector<Localisation> one, two;
  int calls = 0;
  const auto stats = runSweep(
      images, cv::Mat(), settings, 1, [&](int, int) { ++calls; }, &one);
  runSweep(images, cv::Mat(), settings, 3, {}, &two);
  EXPECT_EQ(calls, 8);
  ASSERT_EQ(stats.size(), 4u);
  EXPECT_EQ(stats[0].located, 0);
  EXPECT_EQ(stats[3].located, 2);
  ASSERT_EQ(one.size(), two.size());
  for (size_t i = 0; i < one.size(); ++i) {
    EXPECT_EQ(std::tie(one[i].found, one[i].centre, one[i].radius),
              std::tie(two[i].found, two[i].centre, two[i].radius))
        << i;
  }
}

TEST(ParameterFile, TheBestSettingReadsBackAsWheelhostParameters) {
  QTemporaryDir dir;
  const QString path = dir.filePath("best.json");
  const QVariantMap base{{"filterSize", 100}, {"Circle_Polarity", 0}, {"d2h", 0.8}};
  const QVariantMap setting{{"Circle_Polarity", 1}, {"RobustRefine", true}};
  QString error;
  ASSERT_TRUE(writeParameterFile(path, base, setting, &error)) << error.toStdString();
  QVariantMap read;
  QStringList warnings;
  ASSERT_TRUE(loadParameterFile(path, read, &warnings, &error)) << error.toStdString();
  EXPECT_TRUE(warnings.isEmpty()) << warnings.join("; ").toStdString();
  EXPECT_EQ(typedEntries(read), QStringList({"Circle_Polarity=1 int", "RobustRefine=true bool",
                                             "d2h=0.8 double", "filterSize=100 int"}));
  EXPECT_FALSE(writeParameterFile(dir.filePath("missing/best.json"), base, setting, &error));
  EXPECT_TRUE(error.contains("missing/best.json"));
}

}  // namespace
