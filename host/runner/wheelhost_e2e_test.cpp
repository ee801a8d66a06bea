// wheelhost with the real plug-in on the bundled sample set: every wheel found where the truth
// puts it, every model named, every output written. Needs the full analysis in the plug-in.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <opencv2/imgcodecs.hpp>

#include "runner/testing/qtprinters.h"
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

Result wheelhost(const QStringList& args) {
  return runWheelhost(QStringList{"--no-progress"} + args);
}

// A result file's text without the times, which differ from run to run.
QString withoutSeconds(QString text) {
  text.replace(QRegularExpression("\"(wallSeconds|seconds)\":[-0-9.e]+"), "\"\\1\":0");
  text.replace(QRegularExpression("[0-9.]+ s\\b"), "0 s");
  return text;
}

QString csvWithoutSeconds(const QString& text) {
  QStringList rows;
  for (const QString& row : text.split('\n')) {
    QStringList fields = row.split(',');
    if (fields.size() > 9) fields.removeAt(9);  // "seconds"; files and errors hold no comma here
    rows << fields.join(',');
  }
  return rows.join('\n');
}

QByteArray fileBytes(const QString& path) {
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
  return f.readAll();
}

TEST(WheelhostSamples, EveryWheelFoundAndNamedAndFourJobsGiveTheOneJobOutputs) {
  const QString set = sampleSet();
  QTemporaryDir one, four;
  const Result r = wheelhost({"--samples", set, "--json", "--jobs", "1", "--out", one.path()});
  const Result b = wheelhost({"--samples", set, "--json", "--jobs", "4", "--out", four.path()});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_EQ(b.exitCode, 0) << b.err.toStdString();
  const QList<QJsonObject> lines = jsonLines(r.out);
  const auto& shots = ws::bundledShots();
  ASSERT_EQ(lines.size(), static_cast<int>(shots.size()));
  EXPECT_TRUE(r.err.contains(QString("truth: %1 of %1 named correctly").arg(shots.size())))
      << r.err.toStdString();
  const QRegularExpressionMatch centreError =
      QRegularExpression("centre error median ([0-9.]+) px, worst ([0-9.]+) px").match(r.err);
  ASSERT_TRUE(centreError.hasMatch()) << r.err.toStdString();
  EXPECT_LE(centreError.captured(1).toDouble(), 0.05);
  EXPECT_LE(centreError.captured(2).toDouble(), 0.2);

  for (const QJsonObject& o : lines) {
    const QString file = o["file"].toString();
    const QJsonObject truth = o["truth"].toObject();
    EXPECT_TRUE(truth["correct"].toBool()) << file.toStdString();
    if (truth["model"].isNull()) {
      EXPECT_EQ(o["status"].toString(), "no wheel") << file.toStdString();
      continue;
    }
    EXPECT_EQ(o["status"].toString(), "found") << file.toStdString();
    EXPECT_EQ(o["model"].toString(), truth["model"].toString()) << file.toStdString();
    // The plug-in's own sub-pixel circle, in the truth's pixel convention.
    EXPECT_EQ(o["circleFrom"].toString(), "plug-in") << file.toStdString();
    EXPECT_LT(truth["centreError"].toDouble(), 0.2) << file.toStdString();
    EXPECT_LT(std::abs(truth["radiusError"].toDouble()), 0.5) << file.toStdString();
    EXPECT_EQ(o["halved"].toBool(), o["sourceSize"].toArray()[0].toInt() > 2000);
    EXPECT_LT(o["score"].toDouble(), 0.15);
  }

  // Four jobs: the same lines, summary and files, in input order; only times differ. The
  // summary's time line names the slowest image.
  const auto withoutTimeLine = [](const QString& err, const QString& out) {
    QStringList lines = QString(err).replace(out, "OUT").split('\n');
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [](const QString& l) { return l.startsWith("time per image"); }),
                lines.end());
    return withoutSeconds(lines.join('\n'));
  };
  EXPECT_EQ(withoutSeconds(b.out), withoutSeconds(r.out));
  EXPECT_EQ(withoutTimeLine(b.err, four.path()), withoutTimeLine(r.err, one.path()));
  EXPECT_EQ(withoutSeconds(QString::fromUtf8(fileBytes(four.filePath("results.jsonl")))),
            withoutSeconds(QString::fromUtf8(fileBytes(one.filePath("results.jsonl")))));
  EXPECT_EQ(csvWithoutSeconds(QString::fromUtf8(fileBytes(four.filePath("results.csv")))),
            csvWithoutSeconds(QString::fromUtf8(fileBytes(one.filePath("results.csv")))));
  // A cut-out per wheel, an overlay per image.
  const int cutouts = static_cast<int>(
      std::count_if(shots.begin(), shots.end(), [](const ws::Shot& s) { return s.model >= 0; }));
  for (const auto& [folder, count] : {std::pair{"cutouts", cutouts}, {"overlays", lines.size()}}) {
    const QStringList names = QDir(one.filePath(folder)).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(names.size(), count) << folder;
    EXPECT_EQ(QDir(four.filePath(folder)).entryList(QDir::Files, QDir::Name), names);
    for (const QString& name : names) {
      EXPECT_EQ(fileBytes(four.filePath(QString(folder) + "/" + name)),
                fileBytes(one.filePath(QString(folder) + "/" + name)))
          << name.toStdString();
    }
  }
}

TEST(WheelhostSamples, BackgroundSubtractionUsesTheConfiguredFolder) {
  const QString set = sampleSet();
  // The background fits the 1280 x 1024 camera only: its images are found, the others are
  // reported as background errors.
  const Result r = wheelhost({"--samples", set, "--json", "--set", "useBackground=true"});
  EXPECT_EQ(r.exitCode, 1);
  for (const QJsonObject& o : jsonLines(r.out)) {
    const bool fine = o["sourceSize"].toArray()[0].toInt() == 1280;
    const QString file = o["file"].toString();
    if (!fine) {
      EXPECT_EQ(o["status"].toString(), "background error") << file.toStdString();
    } else if (!o["truth"].toObject()["model"].isNull()) {
      EXPECT_EQ(o["status"].toString(), "found") << file.toStdString();
      EXPECT_TRUE(o["truth"].toObject()["correct"].toBool()) << file.toStdString();
    }
  }
}

// A sweep of the rim polarity over the sample set: its bright rims need polarity 1, which the
// table marks best and the parameter file carries over the set's own parameters.
TEST(WheelhostSamples, SweepMarksTheRimsPolarityBestAndWritesIt) {
  const QString set = sampleSet();
  QTemporaryDir out;
  const QString best = out.filePath("best.json");
  const Result r = wheelhost(
      {"--samples", set, "--jobs", "2", "--sweep", "Circle_Polarity=0,1", "--best", best});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  const QStringList rows = r.out.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(rows.size(), 4) << r.out.toStdString();  // header, as given, 0, 1
  EXPECT_TRUE(rows[0].contains("located"));
  // The set's parameters already say polarity 1: as given locates all 14 wheels, and so does 1
  // (either may be marked: on a tie the faster by a tenth wins); 0 finds the rims' inner edge.
  EXPECT_TRUE(rows[1].contains("(as given)") && rows[1].contains("100.0 % (14/14)"));
  EXPECT_TRUE(rows[2].contains("Circle_Polarity=0") && !rows[2].contains("(14/14)"));
  EXPECT_FALSE(rows[2].startsWith("*"));
  EXPECT_TRUE(rows[3].contains("Circle_Polarity=1") && rows[3].contains("(14/14)"));
  EXPECT_TRUE(rows[1].startsWith("*") != rows[3].startsWith("*")) << r.out.toStdString();
  QFile file(best);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QJsonObject params = QJsonDocument::fromJson(file.readAll()).object();
  EXPECT_EQ(params.value("Circle_Polarity").toInt(), 1);
  EXPECT_EQ(params.value("filterSize").toInt(), 200);
}

}  // namespace
