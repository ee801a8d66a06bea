// wheelhost as users run it: the built program in a subprocess, with a stand-in plug-in whose
// answers are known (testing/fakeplugin.cpp), on small rendered scenes.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <opencv2/imgcodecs.hpp>

#include "runner/testing/qtprinters.h"
#include "runner/testing/textfile.h"
#include "runner/testing/wheelhostprocess.h"
#include "scenes/scenes.h"

namespace {

using Result = WheelhostResult;

// A scratch folder with two catalogue models (5 and 6 spokes) and helpers to run wheelhost.
class Workspace {
 public:
  Workspace() {
    EXPECT_TRUE(dir_.isValid());
    QDir(dir_.path()).mkpath("templates");
    writeImage("templates/five.png", wheel({120, 120}, {60, 60}, 60, 5, 0));
    writeImage("templates/six.png", wheel({120, 120}, {60, 60}, 60, 6, 0));
    writeTextFile(path("catalogue.json"), R"({"models": [
        {"name": "FIVE", "diameter": 300, "template": "templates/five.png", "acceptLimit": 0.15},
        {"name": "SIX", "diameter": 320, "template": "templates/six.png"}]})");
  }

  QString path(const QString& name) const { return QDir(dir_.path()).filePath(name); }
  void writeImage(const QString& name, const cv::Mat& image) const {
    ASSERT_TRUE(cv::imwrite(path(name).toStdString(), image));
  }

  // A bright-rimmed wheel on a dark ground; `centre` in OpenCV pixel coordinates.
  static cv::Mat wheel(cv::Size size, cv::Point2d centre, double radius, int spokes,
                       double angleDeg) {
    scenes::WheelLayout look;
    look.size = size;
    look.centre = centre + cv::Point2d(0.5, 0.5);
    look.radius = radius;
    look.spokes = spokes;
    look.boltHoles = 4;
    look.angleDeg = angleDeg;
    look.noiseSigma = 2.0;
    return scenes::renderWheel(look);
  }

  // Runs wheelhost with the stand-in plug-in, the catalogue unless told not to, and `line`:
  // arguments separated by spaces, "ws:NAME" the workspace's file NAME, "@notaplugin" the built
  // library that is no plug-in (its path may hold spaces, so it is not spelt out).
  Result run(const QString& line, bool withCatalogue = true,
             const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) const {
    QStringList args{"--plugin", WHEELHOST_FAKE_PLUGIN, "--no-progress"};
    if (withCatalogue) args << "--catalogue" << path("catalogue.json");
    for (const QString& a : line.split(' ', Qt::SkipEmptyParts)) {
      if (a == "@notaplugin") {
        args << WHEELHOST_NOT_A_PLUGIN;
      } else {
        args << (a.startsWith("ws:") ? path(a.mid(3)) : a);
      }
    }
    return runWheelhost(args, env);
  }

 private:
  QTemporaryDir dir_;
};

TEST(WheelhostCli, HelpAndARunPrintNoWarningAndHelpNoSourcePath) {
  // XDG_RUNTIME_DIR unset, as a service or a container may run it.
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("XDG_RUNTIME_DIR");
  for (const QStringList& args : {QStringList{"--help"}, QStringList{"--version"}}) {
    const Result r = runWheelhost(args, env);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    EXPECT_FALSE(r.out.isEmpty());
    EXPECT_FALSE(r.out.contains(WHEELHOST_SOURCE_DIR)) << r.out.toStdString();
  }
  Workspace ws;
  ws.writeImage("wheel.png", Workspace::wheel({320, 260}, {160.0, 130.0}, 90, 5, 0));
  const Result r = ws.run("--set d2h=0.5 ws:wheel.png", false, env);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
}

// Arguments wheelhost cannot use, one of each source of refusal: it exits with 2, names the
// problem on standard error and writes no result.
struct Refusal {
  const char* name;
  const char* args;  // as Workspace::run() reads them
  const char* expected;
  bool withCatalogue = true;
};

class WheelhostRefuses : public ::testing::TestWithParam<Refusal> {};

TEST_P(WheelhostRefuses, ExitsWithTwoAndNamesTheProblem) {
  Workspace ws;
  ws.writeImage("a.png", Workspace::wheel({240, 200}, {120, 100}, 70, 5, 0));
  writeTextFile(ws.path("junk.so"), "not a library");
  writeTextFile(ws.path("bad.json"),
                R"({"models": [{"name": "A", "template": "templates/five.png"}]})");
  writeTextFile(ws.path("params.json"), R"({"defectList": 5})");
  QDir(ws.path("")).mkpath("emptyfolder");
  const Result r = ws.run(GetParam().args, GetParam().withCatalogue);
  EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains(GetParam().expected)) << r.err.toStdString();
  EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
}

const Refusal kRefusals[] = {
    {"UnknownOption", "--frobnicate ws:a.png", "unknown option '--frobnicate'"},
    {"BadSetting", "--set filterSize=big ws:a.png",
     "--set filterSize: expects an integer, got \"big\""},
    {"ModelNotInCatalogue", "--models SEVEN ws:a.png", "\"SEVEN\" is not in the catalogue"},
    {"ModelsWithoutCatalogue", "--models FIVE ws:a.png", "--models needs a catalogue", false},
    {"BadCatalogue", "--catalogue ws:bad.json ws:a.png",
     "bad.json: model 1 (\"A\"): \"diameter\" is missing", false},
    {"BadParameterFile", "--params ws:params.json ws:a.png",
     "params.json: \"defectList\" is set by wheelhost itself (use --models)"},
    {"MissingConfigFolder", "--config ws:nowhere ws:a.png", "nowhere: no such folder"},
    {"MissingTruth", "--truth ws:truth.json ws:a.png", "truth.json: no such file"},
    {"MissingPlugin", "--plugin ws:missing.so ws:a.png", "missing.so: no such file"},
    {"UnloadablePlugin", "--plugin ws:junk.so ws:a.png", "junk.so: cannot load it"},
    {"NotAPlugin", "--plugin @notaplugin ws:a.png", "lacks Algorithm_Create"},
    {"NoImageInFolder", "ws:emptyfolder", ""},
};
INSTANTIATE_TEST_SUITE_P(WheelhostCli, WheelhostRefuses, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WheelhostCli, EveryOutcomeHasItsLineAndTheOthersStillAnalysed) {
  Workspace ws;
  ws.writeImage("good1.png", Workspace::wheel({320, 260}, {150.0, 130.0}, 90, 5, 30));
  ws.writeImage("black.png", cv::Mat(100, 120, CV_8UC1, cv::Scalar(0)));
  ws.writeImage("dim.png", cv::Mat(100, 120, CV_8UC1, cv::Scalar(60)));
  ws.writeImage("good2.png", Workspace::wheel({320, 260}, {170.0, 120.0}, 95, 6, 10));
  // An unreadable file fails alone (what each kind of file is told is the file reader's test).
  Result r = ws.run("ws:good1.png ws:missing.png ws:black.png ws:dim.png ws:good2.png");
  EXPECT_EQ(r.exitCode, 1);
  const QStringList lines = r.outLines();
  // One line per image in the order given, then the summary.
  ASSERT_GE(lines.size(), 5) << r.out.toStdString();
  EXPECT_TRUE(lines[0].contains("good1.png  found")) << lines[0].toStdString();
  EXPECT_TRUE(lines[1].contains("missing.png  failed: no such file"));
  // Nothing delivered: failed, with the plug-in's error log line.
  EXPECT_TRUE(lines[2].contains("failed: the analysis delivered no results (it returned 1)"));
  EXPECT_TRUE(lines[2].contains("algo run Error"));
  EXPECT_TRUE(lines[3].contains("dim.png  no wheel"));
  EXPECT_TRUE(lines[4].contains("good2.png  found")) << lines[4].toStdString();
  EXPECT_TRUE(r.out.contains("images 5: found 2, no wheel 1, failed 2"));
  EXPECT_TRUE(r.out.contains("models named: FIVE 1, SIX 1, unnamed 0"));
  EXPECT_TRUE(r.err.contains(ws.path("missing.png") + ": no such file"));
  // The plug-in's own standard output never reaches the results.
  EXPECT_FALSE(r.out.contains("fake: here!"));

  // "error": the background does not fit; named as such. A sample set's folder is the folder
  // the plug-in is given for its background.
  QDir(ws.path("")).mkpath("images");
  ASSERT_TRUE(QFile::copy(ws.path("good1.png"), ws.path("images/good1.png")));
  r = ws.run("-v --set useBackground=true --samples ws:");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.out.contains("background error: the reference background")) << r.out.toStdString();
  EXPECT_TRUE(r.out.contains(ws.path("user/background_r.png"))) << r.out.toStdString();
  EXPECT_TRUE(r.err.contains("configured folder " + QDir(ws.path("")).path()))
      << r.err.toStdString();
}

TEST(WheelhostCli, JsonOutputAndFilesWrittenWithOut) {
  Workspace ws;
  QDir(ws.path("")).mkpath("in/sub");
  // Natural order: w2 before w10; the sub-folder only with --recursive.
  // In colour: the analysis sees the first (blue) channel, and the cut-out is placed in it.
  const cv::Mat w2 = Workspace::wheel({360, 300}, {170.0, 150.0}, 100, 5, 40);
  cv::Mat w2colour;
  cv::merge(std::vector<cv::Mat>{w2, 255 - w2, cv::Mat::zeros(w2.size(), CV_8UC1)}, w2colour);
  ws.writeImage("in/w2.png", w2colour);
  ws.writeImage("in/w10.jpg", Workspace::wheel({300, 280}, {150.0, 141.0}, 110, 6, 0));
  ws.writeImage("in/sub/w2.png", Workspace::wheel({300, 280}, {150.0, 140.0}, 100, 5, 0));
  ws.writeImage("in/nowheel.bmp", cv::Mat(50, 61, CV_8UC1, cv::Scalar(40)));
  // A cut-out of 900 px or more comes halved, and the runner finds it so.
  ws.writeImage("in/w30.png", Workspace::wheel({1000, 960}, {500.0, 480.0}, 460, 6, 0));
  const Result r = ws.run("--json --out ws:out --set d2h=0.5 ws:in");
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  const QStringList lines = r.outLines();
  ASSERT_EQ(lines.size(), 4) << r.out.toStdString();  // JSON only; the summary went to stderr
  // Natural name order: nowheel, w2, w10, w30.
  const QList<QJsonObject> json = jsonLines(r.out);
  const QJsonObject first = json[1];

  // The fake finds the rim's bounding box and reports no circle: the runner places its cut-out,
  // centre within a pixel; the model comes from the matchers.
  EXPECT_EQ(first["model"].toString(), "FIVE");
  EXPECT_EQ(first["circleFrom"].toString(), "cut-out");
  EXPECT_FALSE(first["halved"].toBool());
  const QJsonArray c = first["centre"].toArray();
  ASSERT_EQ(c.size(), 2);
  EXPECT_NEAR(c[0].toDouble(), 170.0, 1.0);
  EXPECT_NEAR(c[1].toDouble(), 150.0, 1.0);
  EXPECT_NEAR(first["radius"].toDouble(), 100.0, 1.0);
  EXPECT_NEAR(first["diameter"].toDouble(), 100.0, 1.0);  // 0.5 * 2 * r
  const QJsonObject candidates = first["candidates"].toObject();
  EXPECT_LT(candidates["FIVE"].toDouble(), candidates["SIX"].toDouble());
  EXPECT_EQ(json[2]["model"].toString(), "SIX");
  EXPECT_TRUE(json[3]["halved"].toBool());

  // Files: the JSON lines, the CSV, a cut-out per found wheel, an overlay per image.
  EXPECT_EQ(
      QString::fromUtf8(readFile(ws.path("out/results.jsonl"))).split('\n', Qt::SkipEmptyParts),
      lines);
  const QStringList rows =
      QString::fromUtf8(readFile(ws.path("out/results.csv"))).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(rows.size(), 5);
  EXPECT_TRUE(rows[0].startsWith("file,status,centre_x,centre_y,radius"));
  EXPECT_TRUE(rows[1].contains(",no wheel,"));
  const cv::Mat cut = cv::imread(ws.path("out/cutouts/w2.png").toStdString(), cv::IMREAD_UNCHANGED);
  EXPECT_EQ(cut.type(), CV_8UC1);
  EXPECT_NEAR(cut.cols, 200, 2);
  const auto overlaySize = [&](const char* name) {
    return cv::imread(ws.path("out/overlays/").toStdString() + name).size();
  };
  EXPECT_EQ(overlaySize("w2.png"), cv::Size(360, 300));
  EXPECT_EQ(overlaySize("nowheel.png"), cv::Size(61, 50));

  // The sub-folder's w2.png gets files of its own instead of overwriting the other's.
  EXPECT_EQ(ws.run("--recursive --json --out ws:all ws:in").outLines().size(), 5);
  for (const char* file : {"cutouts/w2.png", "cutouts/w2_2.png", "overlays/w2_2.png"})
    EXPECT_TRUE(QFile::exists(ws.path("all/") + file)) << file;
}

}  // namespace
