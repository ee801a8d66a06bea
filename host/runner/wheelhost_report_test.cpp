// The report page of the sample set as a real browser shows it: headless Chromium loads
// report.html from the output folder, the DOM it renders is checked, and a screenshot of the
// whole page is taken and checked.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "runner/testing/qtprinters.h"
#include "runner/testing/wheelhostprocess.h"
#include "samplegen/sampleset.h"

namespace {

namespace ws = wheelhost::samples;

QString chromium() {
  for (const char* name : {"chromium", "chromium-browser"}) {
    const QString path = QStandardPaths::findExecutable(name);
    if (!path.isEmpty()) return path;
  }
  return QString();
}

// Runs headless Chromium on `page` (a file, with `fragment` when not empty) with a fresh
// profile; returns its standard output.
QByteArray runChromium(const QString& page, const QString& fragment, const QStringList& what,
                       cv::Size window) {
  QUrl url = QUrl::fromLocalFile(page);
  if (!fragment.isEmpty()) url.setFragment(fragment);
  QTemporaryDir profile;
  QProcess p;
  p.start(
      chromium(),
      QStringList{"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync",
                  "--hide-scrollbars", "--user-data-dir=" + profile.path(),
                  QString("--window-size=%1,%2").arg(window.width).arg(window.height)} +
          what + QStringList{url.toString()});
  EXPECT_TRUE(p.waitForFinished(180000)) << "chromium did not finish";
  EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  return p.readAllStandardOutput();
}

QString textOf(const QString& dom, const QString& id) {
  const QRegularExpressionMatch m =
      QRegularExpression(QString("id=\"%1\">([^<]*)<").arg(id)).match(dom);
  return m.hasMatch() ? m.captured(1) : QString("(no element %1)").arg(id);
}

TEST(WheelhostReport, SampleReportRendersInChromium) {
  if (chromium().isEmpty()) {
    GTEST_SKIP() << "chromium is not installed (scripts/bootstrap installs it): the report page "
                    "is not checked in a browser";
  }
  std::string error;
  ASSERT_TRUE(ws::ensureSampleSet(WHEELHOST_E2E_SAMPLES, &error)) << error;
  QTemporaryDir out;
  const WheelhostResult run = runWheelhost(
      {"--no-progress", "--samples", WHEELHOST_E2E_SAMPLES, "--report", "--out", out.path()});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  const QString page = QDir(out.path()).filePath("report.html");
  ASSERT_TRUE(QFileInfo(page).isFile());

  // The DOM after the page's script ran: one row per image, the summary's figures (their
  // layout is the page generator's own test).
  const cv::Size window(1280, 900);
  const QString dom = QString::fromUtf8(runChromium(page, "", {"--dump-dom"}, window));
  const int shots = static_cast<int>(ws::bundledShots().size());
  EXPECT_EQ(dom.count(QRegularExpression("<tr class=\"\\w+\" id=\"image-\\d+\">")), shots);
  EXPECT_EQ(textOf(dom, "sum-nowheel"), "1");
  EXPECT_EQ(textOf(dom, "sum-truth"), QString("%1 of %1 named correctly").arg(shots));
  // The figures themselves are the end-to-end test's.
  EXPECT_TRUE(textOf(dom, "sum-centre").startsWith("median "))
      << textOf(dom, "sum-centre").toStdString();

  // Every thumbnail is a file in the output folder: an overlay per image, a cut-out per wheel.
  int thumbnails = 0;
  auto images = QRegularExpression("<img src=\"([^\"]+)\"").globalMatch(dom);
  while (images.hasNext()) {
    const QString src = QUrl::fromPercentEncoding(images.next().captured(1).toUtf8());
    EXPECT_TRUE(QFileInfo(QDir(out.path()).filePath(src)).isFile()) << src.toStdString();
    ++thumbnails;
  }
  EXPECT_EQ(thumbnails, 2 * shots - 1);

  // Sorted by a click on "score", as the address asks: the found wheels by rising score, the
  // rows without a score last.
  const QString sorted = QString::fromUtf8(runChromium(page, "sort=score", {"--dump-dom"}, window));
  QList<double> scores;
  int unscored = 0;
  auto cells = QRegularExpression(
                   "<tr class=\"\\w+\" id=\"image-\\d+\">(?:<td[^>]*>.*?</td>){7}"
                   "<td class=\"num\" data-sort=\"([^\"]*)\">")
                   .globalMatch(sorted);
  while (cells.hasNext()) {
    const QString key = cells.next().captured(1);
    if (key.isEmpty()) {
      ++unscored;
    } else {
      EXPECT_EQ(unscored, 0) << "a score after a row without one";
      scores << key.toDouble();
    }
  }
  EXPECT_EQ(scores.size(), shots - 1);
  EXPECT_EQ(unscored, 1);
  EXPECT_TRUE(std::is_sorted(scores.begin(), scores.end()));
  EXPECT_TRUE(sorted.contains("aria-sort=\"ascending\" data-key=\"score\"") ||
              sorted.contains("data-key=\"score\" aria-sort=\"ascending\""));

  // A screenshot of the whole page, as tall as the page measured itself.
  const QRegularExpressionMatch size = QRegularExpression("data-height=\"(\\d+)\"").match(dom);
  ASSERT_TRUE(size.hasMatch());
  const cv::Size whole(window.width, size.captured(1).toInt());
  ASSERT_GT(whole.height, window.height);
  const QString shot = QDir(out.path()).filePath("report.png");
  runChromium(page, "", {"--screenshot=" + shot}, whole);
  const cv::Mat png = cv::imread(shot.toStdString(), cv::IMREAD_COLOR);
  ASSERT_FALSE(png.empty());
  EXPECT_EQ(png.size(), whole);
  // Not blank anywhere: every band of a fifth of the page holds text, charts or thumbnails.
  for (int band = 0; band < 5; ++band) {
    const cv::Rect r(0, band * png.rows / 5, png.cols, png.rows / 5);
    cv::Mat grey;
    cv::cvtColor(png(r), grey, cv::COLOR_BGR2GRAY);
    cv::Scalar mean, sigma;
    cv::meanStdDev(grey, mean, sigma);
    EXPECT_GT(sigma[0], 10.0) << "band " << band;
  }
  // The charts' colours are there: blue bars and green dots.
  cv::Mat blue, green;
  cv::inRange(png, cv::Scalar(180, 110, 50), cv::Scalar(205, 130, 70), blue);
  cv::inRange(png, cv::Scalar(68, 133, 37), cv::Scalar(88, 153, 57), green);
  EXPECT_GT(cv::countNonZero(blue), 1000);
  EXPECT_GT(cv::countNonZero(green), 100);
}

}  // namespace
