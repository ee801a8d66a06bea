#include "runner/outcome.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <limits>

#include "runner/overlay.h"
#include "runner/testing/qtprinters.h"

namespace {

using wheelhost::ImageOutcome;
using Status = ImageOutcome::Status;

ImageOutcome found(const QString& file, const QString& model, double wall) {
  ImageOutcome o;
  o.file = file;
  o.status = Status::Found;
  o.returnValue = 1;
  o.hasRecord = true;
  o.model = model;
  o.diameter = 405.04;
  o.score = 0.0314159;
  o.similarity = 0.875;
  o.seconds = 0.25;
  o.wallSeconds = wall;
  o.centre = cv::Point2d(100.25, 50.5);
  o.radius = 40.0;
  return o;
}

ImageOutcome noWheel(const QString& file) {
  ImageOutcome o;
  o.file = file;
  o.status = Status::NoWheel;
  return o;
}

TEST(ImageOutcome, TextLineAndJsonCarryTheRecord) {
  ImageOutcome o = found("a.png", "WM1", 0.3);
  EXPECT_EQ(wheelhost::textLine(o),
            "a.png  found  centre 100.25,50.50  r 40.00 px  diameter 405.0  model WM1  "
            "score 0.0314  similarity 0.875  0.250 s");
  o.hasTruth = true;
  o.truthModel = "WM2";
  o.truthCentre = cv::Point2d(103.25, 54.5);
  EXPECT_TRUE(wheelhost::textLine(o).endsWith("  [truth: WM2]"));
  const QJsonObject j = wheelhost::toJson(o);
  EXPECT_EQ(j["centre"].toArray()[0].toDouble(), 100.25);
  EXPECT_EQ(j["truth"].toObject()["centreError"].toDouble(), 5.0);  // a 3-4-5 triangle
  EXPECT_FALSE(j["truth"].toObject()["correct"].toBool());

  ImageOutcome failed;
  failed.file = "b.png";
  failed.error = "no such file";
  EXPECT_EQ(wheelhost::textLine(failed), "b.png  failed: no such file");
  const QJsonObject fj = wheelhost::toJson(failed);
  EXPECT_TRUE(fj["centre"].isNull());
  EXPECT_FALSE(fj.contains("model"));
  EXPECT_FALSE(fj.contains("returnValue"));
}

// Every model filtered out leaves the largest double as the score: no 309-digit number.
TEST(ImageOutcome, ScoreOfNoModelIsShownAsNone) {
  ImageOutcome o = found("a.png", "", 0.3);
  o.score = std::numeric_limits<double>::max();
  EXPECT_TRUE(wheelhost::textLine(o).contains("  model -  score -  similarity 0.875  "));
  EXPECT_TRUE(wheelhost::toJson(o)["score"].isNull());
  EXPECT_TRUE(wheelhost::csvRow(o).contains(",405.040,,,0.875000,"));
  o.score = 1000.0;  // no catalogue: the record's initial score is a number
  EXPECT_TRUE(wheelhost::textLine(o).contains("score 1000.0000"));
}

TEST(ImageOutcome, CsvRowsQuoteAndLineUpWithTheHeader) {
  const QString row = wheelhost::csvRow(found("dir,1/\"odd\".png", "M", 0.1));
  EXPECT_TRUE(row.startsWith("\"dir,1/\"\"odd\"\".png\",found,100.250,50.500,40.000,405.040,M,"));
  // Same number of fields as the header once the quoted comma is discounted.
  EXPECT_EQ(wheelhost::csvHeader().count(','), row.count(',') - 1);
  EXPECT_EQ(wheelhost::csvRow(noWheel("n.png")), "n.png,no wheel,,,,,,,,0.0000,,,");
}

TEST(Summary, CountsModelsTimesAndTruth) {
  ImageOutcome a = found("a.png", "B", 0.3), b = found("b.png", "A", 0.1),
               c = found("c.png", "B", 0.4), none = noWheel("d.png"), bad;
  a.hasTruth = b.hasTruth = c.hasTruth = none.hasTruth = true;
  a.truthModel = b.truthModel = c.truthModel = "B";  // b is named wrongly
  a.truthCentre = cv::Point2d(100.25, 51.5);         // 1 px off
  c.truthCentre = cv::Point2d(100.25, 53.5);         // 3 px off
  none.returnValue = 0;
  none.wallSeconds = 0.2;  // truth: no wheel, and none found: right
  bad.file = "e.png";
  wheelhost::Summary s;
  for (const ImageOutcome* o : {&a, &b, &c, &none, &bad}) s.add(*o);
  EXPECT_EQ(s.failedCount(), 1);
  // Times of the four analysed images: 0.1 0.2 0.3 0.4, median 0.25; the failed read has none.
  EXPECT_EQ(s.text({"A", "B", "C"}),
            "images 5: found 3, no wheel 1, failed 1\n"
            "models named: A 1, B 2, C 0, unnamed 0\n"
            "time per image: median 0.250 s, worst 0.400 s (c.png)\n"
            "truth: 3 of 4 named correctly; centre error median 2.000 px, worst 3.000 px\n"
            "named wrongly: b.png");
  const QJsonObject j = s.json({"A", "B", "C"});
  EXPECT_EQ(j["models"].toObject()["C"].toInt(), 0);
  EXPECT_EQ(j["medianSeconds"].toDouble(), 0.25);
  EXPECT_EQ(j["truthCorrect"].toInt(), 3);
}

TEST(Overlay, DrawsTheCircleOnASourceSizedColourImage) {
  const cv::Mat grey(120, 160, CV_8UC1, cv::Scalar(50));
  ImageOutcome o = found("a.png", "WM1", 0.1);
  o.centre = cv::Point2d(80.0, 60.0);
  const cv::Mat out = wheelhost::drawOverlay(grey, o);
  ASSERT_EQ(out.type(), CV_8UC3);
  ASSERT_EQ(out.size(), grey.size());
  const cv::Vec3b onCircle = out.at<cv::Vec3b>(60, 120), inside = out.at<cv::Vec3b>(60, 100);
  EXPECT_GT(onCircle[1], 150);  // green
  EXPECT_LT(onCircle[2], 100);
  EXPECT_EQ(inside, cv::Vec3b(50, 50, 50));
  // Says "no wheel" instead.
  EXPECT_GT(cv::norm(wheelhost::drawOverlay(grey, noWheel("")), out, cv::NORM_L1), 0.0);
}

}  // namespace
