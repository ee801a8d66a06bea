// A stand-in analysis plug-in for the runner's tests: the real plug-in's entry points and
// result maps around a deliberately simple analysis, so that the runner is tested on known
// answers whatever state the real analysis is in.
//
// The "wheel" is the bounding box of the pixels of 128 and above (a sample scene's bright rim);
// its circle is the box's centre and half its larger side. The cut-out, its halving at 900 px
// and the naming by the lowest matcher score follow the real plug-in. Special cases reach every
// path of the runner: a mean below 5 grey levels is an "internal error" that delivers nothing;
// "useBackground" true gives "error" after logging the configured folder; no bright pixel
// gives "noCircle" with a record of only the source. Like the real detector it prints a line
// to standard output in every call, which the runner must keep out of its results.
#include <QDebug>
#include <QStringList>
#include <cstdio>
#include <limits>
#include <new>
#include <opencv2/imgproc.hpp>

#include "fluorescenceresult.h"
#include "hostconfig.h"
#include "ialgorithm.h"
#include "iimageobject.h"
#include "iwheelmodel.h"
#include "variantpointer.h"
#include "vistrel/qtcvutils.h"

namespace {

class FakeAnalysis : public IAlgorithm {
 public:
  int IImageAnalysis(IImageObject* image, tagZR_ALGORITHM_OPTION*, IDetectorEngine*) override {
    std::printf("fake: here!\n");
    std::fflush(stdout);
    int width = 0, height = 0, reserved = 0, stride = 0;
    unsigned char* data = image->GetImageData(&width, &height, &reserved, &stride);
    const int type = image->GetImageFormat() == 1 ? CV_8UC1 : CV_8UC4;
    cv::Mat input;
    cv::extractChannel(cv::Mat(height, width, type, data, stride), input, 0);
    const QVariantMap params = image->QueryParams()->toMap();
    auto* catalogue = pointerFromVariant<WheelModelMap>(params.value("modelMap"));
    const auto* listed = pointerFromVariant<QStringList>(params.value("defectList"));
    if (cv::mean(input)[0] < 5.0) {
      qDebug() << "algo run Error FakeAnalysis::IImageAnalysis";
      return 1;
    }
    QVariantMap results{{"ratioVal", params.value("Ratio").toDouble()}};
    if (params.value("useBackground").toBool()) {
      // The folder the real analysis would read the background from, as the host hands it on.
      IHostConfig* config = image->GetConfig();
      qDebug().noquote() << "configured folder"
                         << (config != nullptr ? config->GetValues("filepath").value(0) : "none");
      results.insert("error", 0);
      image->SetResults(results);
      return 0;
    }
    auto* record = new FluorescenceResult();
    record->source = zq::QtCVUtils::cvMatToQPixmap(input, false);
    results.insert("result", variantFromPointer(record));
    cv::Mat bright;
    cv::compare(input, 128, bright, cv::CMP_GE);
    const cv::Rect box = cv::boundingRect(bright);
    if (box.empty()) {
      results.insert("noCircle", 0);
      image->SetResults(results);
      return 0;
    }
    const double cx = box.x + (box.width - 1) / 2.0, cy = box.y + (box.height - 1) / 2.0;
    double r = std::max(box.width, box.height) / 2.0;
    const int side = static_cast<int>(2 * r);
    const cv::Rect square(std::max(0, int(cx - r)), std::max(0, int(cy - r)), side, side);
    cv::Mat cut = input(square & cv::Rect(0, 0, width, height));
    if (cut.cols >= 900 || cut.rows >= 900) {
      cv::resize(cut, cut, cv::Size(cut.cols / 2, cut.rows / 2), 0, 0, cv::INTER_LINEAR);
      r /= 2;
    }
    double best = std::numeric_limits<double>::max();
    for (const QString& name : listed ? *listed : QStringList()) {
      IWheelModel* model = catalogue ? catalogue->value(name) : nullptr;
      if (!model || !model->Matcher() || model->Matcher()->TemplateImage().empty()) continue;
      model->Matcher()->Prepare(0);
      const double score = model->Matcher()->Match(cut.clone(), 0, 1, true, 0, 0.0, 0.0);
      if (score != -1.0 && score < best) {
        best = record->score = score;
        record->model = name;
      }
    }
    record->image = zq::QtCVUtils::cvMatToQPixmap(cut, false);
    record->diameter = params.value("d2h", -1).toDouble() * r * 2.0;
    image->SetResults(results);
    return 1;
  }
};

}  // namespace

extern "C" {
ALGORITHM_EXPORT IAlgorithm* Algorithm_Create(void*) { return new (std::nothrow) FakeAnalysis(); }
ALGORITHM_EXPORT void Algorithm_Delete(IAlgorithm* algorithm) { delete algorithm; }
}  // extern "C"
