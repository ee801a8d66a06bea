// The analysis as a host runs it: the plug-in loaded from its file, objects made by its entry
// points, the host's stand-in objects, and rendered wheels of known centre and radius.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>
#include <cmath>
#include <memory>
#include <opencv2/imgcodecs.hpp>
#include <string>
#include <tuple>
#include <vector>

#include "algorithmtest_catalogue.h"
#include "debuglog/debuglog.h"
#include "fluorescenceresult.h"
#include "ialgorithm.h"
#include "objects/configobject.h"
#include "objects/imageobject.h"
#include "objects/parameterbuilder.h"
#include "runner/cutoutlocator.h"
#include "runner/pluginlibrary.h"
#include "vistrel/qtcvutils.h"
#include "wheelshots/wheelshots.h"

namespace fluorescence {
namespace {

using wheelhost::ConfigObject;
using wheelhost::ImageObject;
using wheelhost::ParameterBuilder;
using wheelshots::Shot;
using Algorithm = wheelhost::PluginLibrary::AlgorithmPtr;
using Lines = std::vector<std::string>;

// An object of the plug-in, loaded once the way the host loads it and kept until the process
// ends: all process-wide state of the analysis (the background cache above all) lives inside
// this library. Null when the library does not load.
Algorithm newAlgorithm() {
  static const std::unique_ptr<wheelhost::PluginLibrary> library =
      wheelhost::PluginLibrary::load(QString::fromUtf8(ALGORITHM_PLUGIN_PATH), nullptr);
  return library ? library->create() : Algorithm();
}

// Qt's debug stream puts a space between the two items, after the one that ends the first.
const Lines kErrorLog = {"start alg", "algo run Error  CAlgorithmFluorescence::IImageAnalysis"};

// Two models; "WHEEL-A" matches best (0.1 under a limit of 0.5).
ScriptedCatalogue twoModels() { return {{"WHEEL-A", 0.1}, {"WHEEL-B", 0.3}}; }

// The parameters of a bright-rimmed wheel camera: 0.5 mm per pixel, so a wheel's diameter
// in mm equals its radius in pixels.
constexpr double kD2h = 0.5;
ParameterBuilder wheelParameters(ScriptedCatalogue* catalogue) {
  ParameterBuilder p;
  if (catalogue != nullptr) p.modelMap(catalogue->map()).defectList(catalogue->names());
  p.d2h(kD2h).filterSize(100).circlePolarity(1).thickness(180).ratio(2.5);
  return p;
}

// What one call returned, delivered and logged.
struct Outcome {
  int status = -1;
  QVariantMap results;
  std::unique_ptr<FluorescenceResult> record;
  Lines log;
  int deliveries = 0;
};

Outcome analyse(IAlgorithm& algorithm, ImageObject& image) {
  testlog::DebugLog log;
  Outcome o;
  o.status = algorithm.IImageAnalysis(&image, nullptr, nullptr);
  o.results = image.results();
  o.record = image.takeResult();
  o.log = log.lines();
  o.deliveries = image.setResultsCount();
  return o;
}

Outcome analyse(IAlgorithm& algorithm, const cv::Mat& pixels, const ParameterBuilder& params,
                ConfigObject* config = nullptr) {
  ImageObject image(pixels);
  image.setParameters(params.map());
  image.setConfig(config);
  return analyse(algorithm, image);
}

// The error path: 1 returned, nothing delivered, the error logged.
void expectFailed(const Outcome& o, const std::string& what) {
  EXPECT_EQ(o.status, 1) << what;
  EXPECT_EQ(o.deliveries, 0) << what;
  EXPECT_EQ(o.log, kErrorLog) << what;
}

bool samePixels(const QPixmap& a, const cv::Mat& b) {
  const cv::Mat grey = zq::QtCVUtils::qPixmapToGreyMat(a);
  return grey.size() == b.size() && cv::norm(grey, b, cv::NORM_INF) == 0.0;
}

// The record's cut-out starts where the true circle does, to the pixel.
void expectCutOutCovers(const FluorescenceResult& record, const Shot& shot) {
  const cv::Mat cut = zq::QtCVUtils::qPixmapToGreyMat(record.image);
  const auto placed = wheelhost::locateCutout(shot.image, cut);
  ASSERT_TRUE(placed.has_value()) << "the cut-out is no part of the shot";
  EXPECT_EQ(placed->residual, 0.0);
  EXPECT_NEAR(placed->rect.x, shot.centre.x - shot.radius, 1.0);
  EXPECT_NEAR(placed->rect.y, shot.centre.y - shot.radius, 1.0);
}

void expectDiameterOf(const FluorescenceResult& record, double radius) {
  const double truth = kD2h * 2.0 * radius;
  EXPECT_NEAR(record.diameter, truth, 0.005 * truth);
}

// The shots used more than once, each rendered once per process.
const Shot& bright640() {
  static const Shot s = wheelshots::brightWheel({640, 512}, {322.0, 250.0}, 180.0, 4);
  return s;
}
const wheelshots::RingLightShot& ringLight() {
  static const wheelshots::RingLightShot s =
      wheelshots::ringLightShot({1280, 1024}, {640.0, 512.0}, 330.0);
  return s;
}

// A plug-in object, the two-model catalogue and the camera's parameters naming it, in a scratch
// current directory (the analysis looks for ".\user\background.png" there).
class Analysis : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(algorithm, nullptr) << "no plug-in object from " << ALGORITHM_PLUGIN_PATH;
    ASSERT_TRUE(currentDir_.isValid());
    previousDir_ = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(currentDir_.path()));
  }
  void TearDown() override { QDir::setCurrent(previousDir_); }

  Outcome run(const cv::Mat& pixels, const ParameterBuilder& p, ConfigObject* config = nullptr) {
    return analyse(*algorithm, pixels, p, config);
  }

  Algorithm algorithm = newAlgorithm();
  ScriptedCatalogue catalogue = twoModels();
  const ParameterBuilder params = wheelParameters(&catalogue);

 private:
  QTemporaryDir currentDir_;
  QString previousDir_;
};

// The values a valid scene gives are pinned by the regression set; these are what it does not
// record: where the cut-out lies, what the host's objects see, the timing. (What the matchers
// are given is the regression set's too: its template matchers score the cut-out.)
TEST_F(Analysis, FindsTheWheelCutsItOutAndDeliversOnce) {
  const Shot shot = wheelshots::brightWheel({1280, 1024}, {600.0, 520.0}, 380.0, 3);
  ImageObject image(shot.image);
  image.setParameters(params.map());
  const Outcome o = analyse(*algorithm, image);

  // Status, keys, diameter, model, similarity and log lines of such a scene are the regression
  // set's; it never sets "Ratio".
  EXPECT_EQ(o.results.value("ratioVal").toDouble(), 2.5);
  ASSERT_NE(o.record, nullptr);
  expectCutOutCovers(*o.record, shot);
  EXPECT_GT(o.record->seconds, 0.0);
  EXPECT_TRUE(samePixels(o.record->source, shot.image));
  EXPECT_EQ(image.calls().back(), "SetResults");
  EXPECT_EQ(o.deliveries, 1);
}

// "CoarseQuarter" reaches the localisation. A wheel that the quarter-size copy shows is searched
// for there alone; a frame whose copy shows none is searched again at half size, one detector
// line more. (Identification runs the detector once more on a found wheel's cut-out.) Both
// settings find the same circle.
TEST_F(Analysis, CoarseQuarterSearchesAtHalfSizeOnlyWhatTheQuarterDoesNotShow) {
  const auto detectorRuns = [&](const cv::Mat& pixels, const ParameterBuilder& p, Outcome& o) {
    testing::internal::CaptureStdout();
    o = run(pixels, p);
    const std::string out = testing::internal::GetCapturedStdout();
    return static_cast<int>(out.size() / std::string("zvk: here!\n").size());
  };
  const cv::Mat& wheel = bright640().image;
  ParameterBuilder p = params;
  p.set("ReportCircle", true);
  Outcome half, quarter;
  EXPECT_EQ(detectorRuns(wheel, p, half), 2);
  ParameterBuilder withKey = p;
  withKey.set("CoarseQuarter", true);
  EXPECT_EQ(detectorRuns(wheel, withKey, quarter), 2);
  EXPECT_EQ(quarter.results.value("circle"), half.results.value("circle"));

  const cv::Mat flat(480, 640, CV_8UC1, cv::Scalar(90));
  EXPECT_EQ(detectorRuns(flat, p, half), 1);
  EXPECT_EQ(detectorRuns(flat, withKey, quarter), 2);
  EXPECT_EQ(quarter.results.keys(), half.results.keys());
}

TEST_F(Analysis, CutOutsOf900PixelsOrMoreAreHalvedBeforeMeasuringAndMatching) {
  // At the threshold: 2 x 449.7 = 899.4 gives 899 columns and stays; 2 x 450.3 gives 900.
  // (The diameter and the scores of a halved cut-out are the regression set's large scenes'.)
  Outcome o = run(wheelshots::brightWheel({1280, 1024}, {640.0, 512.0}, 449.7, 8).image, params);
  ASSERT_NE(o.record, nullptr);
  EXPECT_EQ(o.record->image.width(), 899);
  o = run(wheelshots::brightWheel({1280, 1024}, {640.0, 512.0}, 450.3, 8).image, params);
  ASSERT_NE(o.record, nullptr);
  EXPECT_EQ(o.record->image.size(), QSize(450, 450));
}

TEST_F(Analysis, CutImagesSkipLocalisationButAreStillIdentified) {
  // 960 x 920: whole, not halved, and not searched (the wheel is off-centre and small).
  const Shot shot = wheelshots::brightWheel({960, 920}, {300.0, 400.0}, 200.0, 10);
  ParameterBuilder cut = params;
  const Outcome o = run(shot.image, cut.isCutImg(1));
  ASSERT_NE(o.record, nullptr);
  EXPECT_EQ(std::make_tuple(o.record->diameter, o.record->thickness, o.record->model),
            std::make_tuple(0.0, 180.0, QString("WHEEL-A")));
  EXPECT_TRUE(samePixels(o.record->image, shot.image));
}

// A scale whose diameter no int holds ends the call through the error path.
TEST_F(Analysis, DiameterBeyondIntFailsTheCallInsteadOfConverting) {
  const Shot& shot = bright640();
  for (const QVariant& scale : {QVariant(std::nan("")), QVariant(HUGE_VAL), QVariant(-HUGE_VAL),
                                QVariant(1e308), QVariant("nan")}) {
    ParameterBuilder p = params;
    expectFailed(run(shot.image, p.set("d2h", scale)), scale.toString().toStdString());
  }
  // A large but representable diameter is delivered as computed.
  ParameterBuilder p = params;
  const Outcome o = run(shot.image, p.d2h(1e6));
  ASSERT_NE(o.record, nullptr);
  EXPECT_NEAR(o.record->diameter, 1e6 * 2 * shot.radius, 1e6);
}

TEST_F(Analysis, WithoutCatalogueTheWheelIsMeasuredButNotNamed) {
  WheelModelMap empty;
  QStringList names{"WHEEL-A"};
  for (WheelModelMap* models : {static_cast<WheelModelMap*>(nullptr), &empty}) {
    ParameterBuilder p = wheelParameters(nullptr);
    if (models != nullptr) p.modelMap(models).defectList(&names);
    const Outcome o = run(bright640().image, p);
    ASSERT_NE(o.record, nullptr);
    expectDiameterOf(*o.record, bright640().radius);
    EXPECT_EQ(std::make_tuple(o.record->model, o.record->score, o.record->similarity),
              std::make_tuple(QString(), 1000.0, 0.0));
  }
}

TEST_F(Analysis, FailuresAreCaughtLoggedAndDeliverNothing) {
  const Shot& shot = bright640();
  ScriptedCatalogue throwing = twoModels();
  throwing.matcher("WHEEL-B").failOn("Match");
  expectFailed(run(shot.image, wheelParameters(&throwing)), "a matcher throws");
  // The object is usable afterwards: its lock was released.
  EXPECT_NE(run(shot.image, params).record, nullptr);

  ImageObject noParameters(shot.image), failing(shot.image);
  noParameters.setNullParameters(true);
  failing.failOn("GetImageData");
  expectFailed(analyse(*algorithm, noParameters), "no parameter map");
  EXPECT_EQ(noParameters.calls(), (Lines{"GetImageFormat", "GetImageData", "QueryParams"}));
  expectFailed(analyse(*algorithm, failing), "an image object that fails");
}

// The host's configured directory with a reference background in it, and a way to bring the
// plug-in's process-wide cache to a known state whatever earlier tests left in it.
class AnalysisWithBackground : public Analysis {
 protected:
  void SetUp() override {
    Analysis::SetUp();
    ASSERT_TRUE(configured_.isValid());
    ASSERT_TRUE(QDir(configured_.path()).mkpath("user"));
    withBackground.useBackground(true);
  }

  // Stores `background` under both names the analysis reads from the configured directory.
  void storeBackground(const cv::Mat& background) {
    const std::string user = (configured_.path() + "/user/").toStdString();
    cv::Mat mirrored;
    cv::flip(background, mirrored, 1);
    ASSERT_TRUE(cv::imwrite(user + "background.png", background));
    ASSERT_TRUE(cv::imwrite(user + "background_r.png", mirrored));
  }

  // Leaves the cache so that the next call with `config` reads `background`: one call with a
  // size no background has sets the reload flag, or finds the cache empty and loads the
  // mirrored file.
  void prime(IAlgorithm& object, const cv::Mat& background) {
    storeBackground(background);
    const Outcome o = analyse(object, cv::Mat(12, 16, CV_8UC1, cv::Scalar(0)),
                              ParameterBuilder().useBackground(true), &config);
    ASSERT_EQ(o.status, 0);
    ASSERT_EQ(o.results.keys(), QStringList({"error", "ratioVal"}));
  }

  QTemporaryDir configured_;
  // The configured directory the host's way, with backslashes.
  ConfigObject config{{QString(configured_.path()).replace(QLatin1Char('/'), QLatin1Char('\\'))}};
  ParameterBuilder withBackground = params;
};

TEST_F(AnalysisWithBackground, MismatchedSizeReportsErrorAndTheNextCallReloads) {
  const wheelshots::RingLightShot& scene = ringLight();
  const Shot& small = bright640();
  prime(*algorithm, scene.emptyScene);
  ParameterBuilder cut = withBackground;
  cut.isCutImg(1);
  // How often the configured directory was asked for: once per file read.
  const auto reads = [this] { return static_cast<int>(config.askedKeys().count("filepath")); };
  const int primed = reads();
  EXPECT_EQ(run(scene.shot.image, withBackground, &config).status, 1);  // reloads
  EXPECT_EQ(reads(), primed + 1);

  // A 640 x 512 shot against the 1280 x 1024 background (status and keys as in prime()), and
  // the cache was loaded and not due for reload.
  Outcome o = run(small.image, withBackground, &config);
  EXPECT_EQ(o.record, nullptr);
  EXPECT_EQ(o.deliveries, 1);
  EXPECT_EQ(o.log, Lines{"start alg"});
  EXPECT_EQ(reads(), primed + 1);

  // The host changed the background meanwhile: the next call reads it again and succeeds.
  storeBackground(wheelshots::emptyBelt(small.image.size(), 5));
  o = run(small.image, withBackground, &config);
  ASSERT_NE(o.record, nullptr);
  expectDiameterOf(*o.record, small.radius);
  EXPECT_EQ(reads(), primed + 2);

  // A cut image neither sets nor clears the reload flag, though it reads the background.
  o = run(scene.shot.image, withBackground, &config);
  ASSERT_EQ(o.results.keys(), QStringList({"error", "ratioVal"}));
  for (int call = 1; call <= 2; ++call) {
    EXPECT_EQ(run(small.image, cut, &config).status, 1);
    EXPECT_EQ(reads(), primed + 2 + call);  // read again each time
  }
  run(small.image, withBackground, &config);  // clears the flag
  run(small.image, withBackground, &config);
  EXPECT_EQ(reads(), primed + 5);
}

TEST_F(AnalysisWithBackground, TwoObjectsShareOneBackground) {
  const wheelshots::RingLightShot& scene = ringLight();
  prime(*algorithm, scene.emptyScene);
  Outcome o = run(scene.shot.image, withBackground, &config);
  ASSERT_NE(o.record, nullptr);
  expectCutOutCovers(*o.record, scene.shot);  // cut from the shot, not from the difference

  // A second object has a directory without backgrounds, and needs none: it uses the
  // background the first one loaded.
  QTemporaryDir nothingThere;
  ConfigObject elsewhere({QDir::toNativeSeparators(nothingThere.path())});
  o = analyse(*newAlgorithm(), scene.shot.image, withBackground, &elsewhere);
  ASSERT_NE(o.record, nullptr);
  expectDiameterOf(*o.record, scene.shot.radius);
  EXPECT_EQ(elsewhere.askedKeys().count("filepath"), 0);
}

struct CircleCase {
  const char* name;
  bool wheel;     // the 640 x 512 bright wheel, or else the belt without a wheel
  bool cut;       // "IsCutImg" set
  bool reported;  // "circle" expected with "ReportCircle" true
};

void PrintTo(const CircleCase& c, std::ostream* os) { *os << c.name; }

class ReportCircle : public Analysis, public ::testing::WithParamInterface<CircleCase> {};

// Everything a call gives but the record's address, which differs from call to call.
auto comparable(const Outcome& o) {
  QVariantMap m = o.results;
  m.remove("result");
  const FluorescenceResult r = o.record ? *o.record : FluorescenceResult();
  return std::make_tuple(o.status, m, o.log, o.record != nullptr, r.diameter, r.thickness, r.score,
                         r.similarity, r.model, r.image.toImage(), r.source.toImage());
}

TEST_P(ReportCircle, AddsOnlyTheCircleBeforeHalvingWhenAsked) {
  const CircleCase& c = GetParam();
  const Shot& shot = bright640();
  const cv::Mat pixels = c.wheel ? shot.image : wheelshots::emptyBelt({320, 256}, 3);
  ParameterBuilder p = params;
  p.isCutImg(c.cut ? 1 : 0);
  // (false reads as absent: the parameter reading's test.)
  const Outcome absent = run(pixels, p);
  Outcome on = run(pixels, p.set("ReportCircle", true));

  // True adds "circle" and nothing else (a "circle" without the key would differ too).
  const QVariant circle = on.results.take("circle");
  EXPECT_TRUE(comparable(on) == comparable(absent));
  ASSERT_EQ(circle.isValid(), c.reported);
  if (!c.reported) return;
  const QVariantList values = circle.toList();
  ASSERT_EQ(values.size(), 3);
  for (const QVariant& v : values) EXPECT_EQ(v.userType(), QMetaType::Double);
  // The refined circle is accurate to a small fraction of a pixel (in full-size pixels when the
  // cut-out is halved: the runner's end-to-end test on the sample set's large shots).
  EXPECT_NEAR(values[0].toDouble(), shot.centre.x, 0.1);
  EXPECT_NEAR(values[1].toDouble(), shot.centre.y, 0.1);
  EXPECT_NEAR(values[2].toDouble(), shot.radius, 0.1);
}

INSTANTIATE_TEST_SUITE_P(Analysis, ReportCircle,
                         ::testing::Values(CircleCase{"Found", true, false, true},
                                           CircleCase{"NoWheel", false, false, false},
                                           CircleCase{"CutImage", true, true, false}),
                         ::testing::PrintToStringParamName());

}  // namespace
}  // namespace fluorescence
