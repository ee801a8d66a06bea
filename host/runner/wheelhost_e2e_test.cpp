// wheelhost with the real plug-in on the bundled sample set: every wheel found where the truth
// puts it, every model named, every output written, and the report page as a real browser
// (headless Chromium) shows it. Needs the full analysis in the plug-in.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "runner/testing/qtprinters.h"
#include "runner/testing/textfile.h"
#include "runner/testing/wheelhostprocess.h"
#include "samplegen/sampleset.h"

namespace {

namespace ws = wheelhost::samples;

using Result = WheelhostResult;

// The sample set in the build folder, written once for all tests (they may run in parallel).
QString sampleSet() {
  std::string error;
  EXPECT_TRUE(ws::ensureSampleSet(WHEELHOST_E2E_SAMPLES, &error)) << error;
  return WHEELHOST_E2E_SAMPLES;
}

// wheelhost over the sample set with `jobs` analyses at once and every output (results,
// cut-outs, overlays and the report page) written to `out`.
Result runOnSamples(const char* jobs, const QString& out) {
  return runWheelhost({"--no-progress", "--samples", sampleSet(), "--json", "--jobs", jobs,
                       "--report", "--out", out});
}

// A result file's text without the times, which differ from run to run.
QString withoutSeconds(QString text) {
  text.replace(QRegularExpression("\"(wallSeconds|seconds)\":[-0-9.e]+"), "\"\\1\":0");
  text.replace(QRegularExpression("[0-9.]+ s\\b"), "0 s");
  return text;
}

// The one-job run, made once per process for the tests that read it.
struct SampleRun {
  QTemporaryDir out;
  Result result = runOnSamples("1", out.path());
};

const SampleRun& sampleRun() {
  static const SampleRun run;
  return run;
}

TEST(WheelhostSamples, EveryWheelFoundAndNamedAndFourJobsGiveTheOneJobOutputs) {
  const QTemporaryDir& one = sampleRun().out;
  const Result& r = sampleRun().result;
  QTemporaryDir four;
  const Result b = runOnSamples("4", four.path());
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_EQ(b.exitCode, 0) << b.err.toStdString();
  const QList<QJsonObject> lines = jsonLines(r.out);
  const auto& shots = ws::bundledShots();
  ASSERT_EQ(lines.size(), static_cast<int>(shots.size()));
  const QRegularExpressionMatch centreError =
      QRegularExpression("centre error median ([0-9.]+) px, worst ([0-9.]+) px").match(r.err);
  ASSERT_TRUE(centreError.hasMatch()) << r.err.toStdString();
  EXPECT_LE(centreError.captured(1).toDouble(), 0.05);

  for (const QJsonObject& o : lines) {
    SCOPED_TRACE(o["file"].toString().toStdString());
    const QJsonObject truth = o["truth"].toObject();
    EXPECT_EQ(o["status"].toString(), truth["model"].isNull() ? "no wheel" : "found");
    if (truth["model"].isNull()) continue;
    EXPECT_EQ(o["model"].toString(), truth["model"].toString());
    // The plug-in's own sub-pixel circle, in the truth's pixel convention.
    EXPECT_EQ(o["circleFrom"].toString(), "plug-in");
    EXPECT_LT(truth["centreError"].toDouble(), 0.2);
    EXPECT_LT(std::abs(truth["radiusError"].toDouble()), 0.5);
    EXPECT_EQ(o["halved"].toBool(), o["sourceSize"].toArray()[0].toInt() > 2000);
    EXPECT_LT(o["score"].toDouble(), 0.15);
  }

  // Four jobs: the same lines, summary and files, in input order; only times differ. The
  // summary's time line names the slowest image. The result files are written line by line
  // with standard output, so the same lines make the same files.
  const auto withoutTimeLine = [](QString err, const QString& out) {
    return withoutSeconds(err.replace(out, "OUT")
                              .remove(QRegularExpression("^time per image.*\n?",
                                                         QRegularExpression::MultilineOption)));
  };
  EXPECT_EQ(withoutSeconds(b.out), withoutSeconds(r.out));
  EXPECT_EQ(withoutTimeLine(b.err, four.path()), withoutTimeLine(r.err, one.path()));
  // A cut-out per wheel, an overlay per image.
  const int cutouts = static_cast<int>(
      std::count_if(shots.begin(), shots.end(), [](const ws::Shot& s) { return s.model >= 0; }));
  for (const auto& [folder, count] : {std::pair{"cutouts", cutouts}, {"overlays", lines.size()}}) {
    const QStringList names = QDir(one.filePath(folder)).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(names.size(), count) << folder;
    EXPECT_EQ(QDir(four.filePath(folder)).entryList(QDir::Files, QDir::Name), names);
    for (const QString& name : names) {
      const QString file = QString(folder) + "/" + name;
      EXPECT_EQ(readFile(four.filePath(file)), readFile(one.filePath(file))) << file.toStdString();
    }
  }
}

#if defined(__GLIBC__)
// OpenCV's codec library drags a hundred others into the process (45 MB, 80 ms). Common PNG
// files, inputs and reference backgrounds alike, are read without it; it comes in when a file
// needs it. The dynamic loader's own log shows which libraries a run loaded.
TEST(WheelhostSamples, PngFilesAreReadWithoutOpenCVsCodecLibrary) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("LD_DEBUG", "files");
  const QString set = sampleSet();
  for (const QString image : {"wm405-5_big.png", "wm510-0_3.jpg"}) {
    const Result r =
        runWheelhost({"--no-progress", "--json", set + "/images/" + image, "--catalogue",
                      set + "/catalogue.json", "--params", set + "/params.json", "--config", set},
                     env);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err.contains("file=libopencv_imgcodecs"), image.endsWith(".jpg"))
        << image.toStdString();
  }
}
#endif

// A sweep of the rim polarity over the sample set: its bright rims need polarity 1, which the
// table marks best and the parameter file carries over the set's own parameters.
TEST(WheelhostSamples, SweepMarksTheRimsPolarityBestAndWritesIt) {
  QTemporaryDir out;
  const QString best = out.filePath("best.json");
  const Result r = runWheelhost({"--no-progress", "--samples", sampleSet(), "--jobs", "2",
                                 "--sweep", "Circle_Polarity=0,1", "--best", best});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  const QStringList rows = r.outLines();
  ASSERT_EQ(rows.size(), 4) << r.out.toStdString();  // header, as given, 0, 1
  EXPECT_TRUE(rows[0].contains("located"));
  // The set's parameters already say polarity 1: as given locates all 14 wheels, and so does 1
  // (either may be marked: on a tie the faster by a tenth wins); 0 finds the rims' inner edge.
  EXPECT_TRUE(rows[1].contains("(as given)") && rows[1].contains("100.0 % (14/14)"));
  EXPECT_TRUE(rows[2].contains("Circle_Polarity=0") && !rows[2].contains("(14/14)"));
  EXPECT_FALSE(rows[2].startsWith("*"));
  EXPECT_TRUE(rows[3].contains("Circle_Polarity=1") && rows[3].contains("(14/14)"));
  EXPECT_TRUE(rows[1].startsWith("*") != rows[3].startsWith("*")) << r.out.toStdString();
  const QJsonObject params = QJsonDocument::fromJson(readFile(best)).object();
  EXPECT_EQ(params.value("Circle_Polarity").toInt(), 1);
  EXPECT_EQ(params.value("filterSize").toInt(), 200);
}

// Headless Chromium (Debian's chromium, from scripts/bootstrap); empty where none is installed.
QString chromium() {
  const QString path = QStandardPaths::findExecutable("chromium");
  return path.isEmpty() ? QStandardPaths::findExecutable("chromium-browser") : path;
}

// Runs headless Chromium on `page` (a file, with `fragment` when not null) with a fresh
// profile; returns its standard output.
QByteArray runChromium(const QString& page, const QString& fragment, const QString& what,
                       cv::Size window) {
  QUrl url = QUrl::fromLocalFile(page);
  url.setFragment(fragment);
  QTemporaryDir profile;
  QProcess p;
  p.start(chromium(), QString("--headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
                              "--disable-background-networking --disable-component-update "
                              "--disable-sync --hide-scrollbars")
                              .split(' ')
                          << "--user-data-dir=" + profile.path()
                          << QString("--window-size=%1,%2").arg(window.width).arg(window.height)
                          << what << url.toString());
  EXPECT_TRUE(p.waitForFinished(180000)) << "chromium did not finish";
  EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  return p.readAllStandardOutput();
}

QString textOf(const QString& dom, const QString& id) {
  const QRegularExpressionMatch m =
      QRegularExpression(QString("id=\"%1\">([^<]*)<").arg(id)).match(dom);
  return m.hasMatch() ? m.captured(1) : QString("(no element %1)").arg(id);
}

// The report page in Chromium: the DOM it renders and a screenshot of the whole page.
TEST(WheelhostSamples, ReportPageRendersInChromium) {
  if (chromium().isEmpty()) {
    GTEST_SKIP() << "chromium is not installed (scripts/bootstrap installs it): the report page "
                    "is not checked in a browser";
  }
  const QTemporaryDir& out = sampleRun().out;
  ASSERT_EQ(sampleRun().result.exitCode, 0) << sampleRun().result.err.toStdString();
  const QString page = QDir(out.path()).filePath("report.html");
  ASSERT_TRUE(QFileInfo(page).isFile());

  // The DOM after the page's script ran, sorted by a click on "score" as the address asks: the
  // summary's figures (their layout is the page generator's own test).
  const cv::Size window(1280, 900);
  const QString dom = QString::fromUtf8(runChromium(page, "sort=score", "--dump-dom", window));
  const int shots = static_cast<int>(ws::bundledShots().size());
  EXPECT_EQ(textOf(dom, "sum-nowheel"), "1");
  EXPECT_EQ(textOf(dom, "sum-truth"), QString("%1 of %1 named correctly").arg(shots));
  // The figures themselves are the end-to-end test's.
  EXPECT_TRUE(textOf(dom, "sum-centre").startsWith("median "))
      << textOf(dom, "sum-centre").toStdString();

  // Every thumbnail is a file in the output folder: an overlay per image, a cut-out per wheel.
  int thumbnails = 0;
  auto images = QRegularExpression("<img src=\"([^\"]+)\"").globalMatch(dom);
  for (; images.hasNext(); ++thumbnails) {
    const QString src = QUrl::fromPercentEncoding(images.next().captured(1).toUtf8());
    EXPECT_TRUE(QFileInfo(QDir(out.path()).filePath(src)).isFile()) << src.toStdString();
  }
  EXPECT_EQ(thumbnails, 2 * shots - 1);

  // Sorted: the found wheels by rising score, the rows without a score last.
  QStringList keys;
  auto cells = QRegularExpression(
                   "<tr class=\"\\w+\" id=\"image-\\d+\">(?:<td[^>]*>.*?</td>){7}"
                   "<td class=\"num\" data-sort=\"([^\"]*)\">")
                   .globalMatch(dom);
  while (cells.hasNext()) keys << cells.next().captured(1);
  ASSERT_EQ(keys.size(), shots);
  EXPECT_EQ(keys.indexOf(""), shots - 1) << "the one row without a score is not last";
  EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end() - 1, [](const QString& a, const QString& b) {
    return a.toDouble() < b.toDouble();
  }));
  EXPECT_TRUE(dom.contains("aria-sort=\"ascending\" data-key=\"score\"") ||
              dom.contains("data-key=\"score\" aria-sort=\"ascending\""));

  // A screenshot of the whole page, as tall as the page measured itself.
  const QRegularExpressionMatch size = QRegularExpression("data-height=\"(\\d+)\"").match(dom);
  ASSERT_TRUE(size.hasMatch());
  const cv::Size whole(window.width, size.captured(1).toInt());
  ASSERT_GT(whole.height, window.height);
  const QString shot = QDir(out.path()).filePath("report.png");
  runChromium(page, {}, "--screenshot=" + shot, whole);
  const cv::Mat png = cv::imread(shot.toStdString(), cv::IMREAD_COLOR);
  ASSERT_FALSE(png.empty());
  EXPECT_EQ(png.size(), whole);
  // Not blank anywhere: every band of a fifth of the page holds text, charts or thumbnails.
  cv::Mat grey;
  cv::cvtColor(png, grey, cv::COLOR_BGR2GRAY);
  for (int band = 0; band < 5; ++band) {
    cv::Scalar mean, sigma;
    cv::meanStdDev(grey(cv::Rect(0, band * png.rows / 5, png.cols, png.rows / 5)), mean, sigma);
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
