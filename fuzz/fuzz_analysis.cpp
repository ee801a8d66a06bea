// One analysis call through the exported entry points, with everything the host controls
// fuzzed: image geometry, format, stride and pixels; every parameter key with values of any
// type (or absent); a catalogue of scripted models and matchers; a configured background of
// any size. Properties: the host's pixels are never written, results are delivered at most
// once, and a delivered record is named in the delivered map.

#include <QDir>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cmath>
#include <memory>
#include <opencv2/imgcodecs.hpp>
#include <vector>

#include "analysiskeys.h"
#include "fuzzsupport.h"
#include "ialgorithm.h"
#include "objects/configobject.h"
#include "objects/imageobject.h"
#include "objects/wheelmodel.h"
#include "variantpointer.h"

namespace {

// A value of any type the host might put under a key, or none.
QVariant anyValue(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 7)) {
    case 0:
      return QVariant();
    case 1:
      return QVariant(in.ConsumeIntegralInRange(-20, 400));
    case 2:
      return QVariant(in.ConsumeIntegral<int>());
    case 3:
      return QVariant(in.ConsumeFloatingPoint<double>());
    case 4:
      return QVariant(in.PickValueInArray({std::nan(""), HUGE_VAL, -HUGE_VAL, 1e308, -0.0, 0.5}));
    case 5:
      return QVariant(in.ConsumeBool());
    case 6:
      return QVariant(QString::fromStdString(in.ConsumeRandomLengthString(12)));
    default:
      return QVariant(static_cast<qlonglong>(in.ConsumeIntegral<int64_t>()));
  }
}

// The host's catalogue: models with scripted nominal values and matchers; it outlives the call.
struct Catalogue {
  std::vector<std::unique_ptr<wheelhost::ScriptedMatcher>> matchers;
  std::vector<std::unique_ptr<wheelhost::ScriptedWheelModel>> models;
  WheelModelMap map;
  QStringList names;
};

void fillCatalogue(FuzzedDataProvider& in, Catalogue& c) {
  const int n = in.ConsumeIntegralInRange(0, 3);
  for (int i = 0; i < n; ++i) {
    const QString name = QString("M%1").arg(i);
    const double any[] = {in.ConsumeFloatingPoint<double>(), 0.1, 0.0, -1.0, std::nan("")};
    auto matcher = std::make_unique<wheelhost::ScriptedMatcher>(
        any[in.ConsumeIntegralInRange(0, 4)], in.ConsumeFloatingPointInRange(-1.0, 2.0),
        cv::Mat(8, 8, CV_8UC1, cv::Scalar(in.ConsumeIntegral<uint8_t>())));
    auto model = std::make_unique<wheelhost::ScriptedWheelModel>(
        in.ConsumeFloatingPointInRange(-10.0, 1000.0), in.ConsumeFloatingPointInRange(-10.0, 400.0),
        in.ConsumeBool() ? matcher.get() : nullptr, in.ConsumeFloatingPointInRange(-1.0, 3.0),
        in.ConsumeFloatingPointInRange(-1.0, 3.0));
    c.map.insert(name, model.get());
    if (in.ConsumeBool()) c.names << name;
    c.matchers.push_back(std::move(matcher));
    c.models.push_back(std::move(model));
  }
  if (in.ConsumeBool()) c.names << "not in the catalogue";
}

// Stores a background of fuzzed size under the configured directory's two names.
void storeBackground(FuzzedDataProvider& in, const std::string& dir) {
  QDir().mkpath(QString::fromStdString(dir + "/user"));
  const cv::Mat background = fuzzsupport::image(in, 160, CV_8UC1);
  if (background.empty()) return;
  cv::imwrite(dir + "/user/background.png", background);
  cv::imwrite(dir + "/user/background_r.png", background);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzsupport::quietProcess();
  fuzzsupport::ensureGuiApplication();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const int channels = in.ConsumeBool() ? 1 : 4;
  cv::Mat pixels = fuzzsupport::image(in, 256, CV_8UC(channels));
  if (pixels.empty()) pixels = cv::Mat(1, 1, CV_8UC(channels), cv::Scalar::all(0));
  const int stride =
      in.ConsumeBool() ? 0 : pixels.cols * channels + in.ConsumeIntegralInRange(0, 9);
  wheelhost::ImageObject image(pixels, stride);
  if (in.ConsumeIntegralInRange(0, 7) == 0) image.setFormat(in.ConsumeIntegralInRange(-1, 5));
  image.setNullPixels(in.ConsumeIntegralInRange(0, 15) == 0);

  Catalogue catalogue;
  fillCatalogue(in, catalogue);
  QVariantMap params;
  if (in.ConsumeBool()) params.insert("modelMap", variantFromPointer(&catalogue.map));
  if (in.ConsumeBool()) params.insert("defectList", variantFromPointer(&catalogue.names));
  for (const char* key :
       {"IsCutImg", "thickness", "useThickness", "useDiameter", "d2h", "useBackground", "RatioType",
        "Ratio", "bEqual", "filterSize", "Circle_Polarity", "Circle_ACThres", "Circle_EdgeWidth",
        "RobustRefine", "CoarseQuarter"}) {
    const QVariant v = anyValue(in);
    if (v.isValid()) params.insert(key, v);
  }
  image.setParameters(params);

  const std::string dir = fuzzsupport::scratchDirectory();
  wheelhost::ConfigObject config(
      {QString::fromStdString(dir).replace(QLatin1Char('/'), QLatin1Char('\\'))});
  if (in.ConsumeBool()) {
    if (in.ConsumeIntegralInRange(0, 7) == 0) storeBackground(in, dir);
    image.setConfig(&config);
  }

  const std::vector<unsigned char> before = image.buffer();
  IAlgorithm* algorithm = Algorithm_Create(nullptr);
  const int status = algorithm->IImageAnalysis(&image, nullptr, nullptr);
  Algorithm_Delete(algorithm);

  fuzzsupport::require(image.buffer() == before, "the host's pixels were written");
  fuzzsupport::require(image.setResultsCount() <= 1, "results delivered more than once");
  fuzzsupport::require(status == 0 || status == 1, "return value");
  if (status == 0) fuzzsupport::require(image.setResultsCount() == 1, "0 without results");
  if (image.result() != nullptr) {
    fuzzsupport::require(image.results().contains(algorithmkeys::kResult),
                         "a record outside the map");
  }
  return 0;
}
