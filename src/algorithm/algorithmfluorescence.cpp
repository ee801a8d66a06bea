#include "algorithmfluorescence.h"

#include <QDebug>
#include <QMutexLocker>
#include <limits>
#include <memory>
#include <mutex>
#include <opencv2/imgproc.hpp>
#include <stdexcept>
#include <vector>

#include "background.h"
#include "iimageobject.h"
#include "imageexchange.h"
#include "modelidentification.h"
#include "parameters.h"
#include "resultmap.h"
#include "vistrel/qtcvutils.h"
#include "wheellocalisation.h"

namespace {

// Cut-outs this large (in either direction) are halved before they are shown and matched.
constexpr int kHalvingSize = 900;

// The background cache and its reload flag are one process-wide state shared by every
// analysis object. A host may analyse on several objects at once, so each read-modify step
// of that state (fetching with the flag, setting or clearing the flag) runs under this lock;
// a caller keeps its own shared header of the image, so a reload by another call cannot
// change pixels under it. On one thread the order of reads and flag changes is unchanged.
std::mutex& backgroundMutex() {
  static std::mutex mutex;
  return mutex;
}

void setReloadFlag(bool reload) {
  std::lock_guard<std::mutex> lock(backgroundMutex());
  fluorescence::BackgroundCache::instance().setReloadRequested(reload);
}

// The diameter as the catalogue filter compares it, truncated to int. A scale that is no
// number or far too large ("d2h" NaN, inf, 1e308) gives a diameter no int holds: that call
// fails through the error path rather than converting it.
int truncatedDiameter(double diameter) {
  if (!(diameter > std::numeric_limits<int>::min() - 1.0 &&
        diameter < std::numeric_limits<int>::max() + 1.0)) {
    throw std::out_of_range("the diameter is not a number an int holds");
  }
  return static_cast<int>(diameter);
}

QDebug debugLog() {
  return QMessageLogger(QT_MESSAGELOG_FILE, QT_MESSAGELOG_LINE, QT_MESSAGELOG_FUNC).debug();
}

}  // namespace

CAlgorithmFluorescence::CAlgorithmFluorescence() : m_mutex(QMutex::NonRecursive) {}

CAlgorithmFluorescence::~CAlgorithmFluorescence() = default;

int CAlgorithmFluorescence::IImageAnalysis(IImageObject* image, tagZR_ALGORITHM_OPTION* /*option*/,
                                           IDetectorEngine* /*engine*/) {
  debugLog() << "start alg";
  QMutexLocker locker(&m_mutex);
  try {
    fluorescence::CircleParams circleParams;
    const int64 t0 = cv::getTickCount();
    // The host's buffer is read only here: everything after works on this copy. A four-channel
    // delivery already comes back as a plane of its own (OpenCV allocated it, so it has a
    // `u`), and copying that again would change nothing.
    const cv::Mat fetched = fetchImage(image);
    const cv::Mat input = fetched.u != nullptr ? fetched : fetched.clone();

    QVariant* params = image->QueryParams();
    if (params == nullptr) throw std::invalid_argument("the host gave no parameter map");
    const fluorescence::AnalysisParameters p = fluorescence::readParameters(params->toMap());
    circleParams = p.circle;

    QVariantMap results = fluorescence::beginResultMap(p.ratio);
    float radius = 0.0f;
    cv::Mat background;
    {
      std::lock_guard<std::mutex> lock(backgroundMutex());
      background =
          getBackground(image, fluorescence::BackgroundCache::instance().reloadRequested());
    }

    cv::Mat working;
    if (p.isCutImg != 0) {
      working = input;
    } else {
      if (p.useBackground && (background.cols != input.cols || background.rows != input.rows)) {
        fluorescence::addBackgroundMismatch(results);
        image->SetResults(results);
        setReloadFlag(true);
        return 0;
      }
      setReloadFlag(false);
      cv::Point2f centre(0.0f, 0.0f);
      double found = 0.0;
      working = p.useBackground
                    ? fluorescence::localiseWheelWithBackground(
                          input, background, p.equalize, p.filterSize, circleParams, centre, found)
                    : fluorescence::localiseWheel(input, p.equalize, p.filterSize, circleParams,
                                                  centre, found);
      radius = static_cast<float>(found);
      // Reported in the delivered image's pixels, before the halving below.
      if (p.reportCircle && !working.empty()) fluorescence::addCircle(results, centre, found);
      if (working.cols >= kHalvingSize || working.rows >= kHalvingSize) {
        cv::Mat half;
        cv::resize(working, half, cv::Size(working.cols / 2, working.rows / 2), 0, 0,
                   cv::INTER_LINEAR);
        working = half;
        radius /= 2;
      }
    }

    std::unique_ptr<FluorescenceResult> record = fluorescence::newFluorescenceResult(input);
    if (working.empty()) {
      fluorescence::addNoCircle(results, std::move(record));
      image->SetResults(results);
      return 0;
    }

    const double diameter = p.d2h * radius * 2.0;
    fluorescence::ModelQuery query;
    // No copy: identification only reads the query image and hands each matcher a copy of
    // its own, and the working image is only read after it.
    query.image = working;
    query.thickness = p.thickness;
    query.diameter = truncatedDiameter(diameter);
    query.useThickness = p.useThickness;
    query.useDiameter = p.useDiameter;
    query.names = p.defectList;
    query.ratio = p.ratio;
    query.ratioType = p.ratioType;

    if (p.modelMap != nullptr && !p.modelMap->isEmpty()) {
      std::vector<double> scores(static_cast<size_t>(p.modelMap->size()), 0.0);
      record->model = fluorescence::identifyModel(p.modelMap, query, scores.data(),
                                                  static_cast<int>(scores.size()));
      record->score = scores[0];
      const auto it = p.modelMap->constFind(record->model);
      if (it != p.modelMap->constEnd() && it.value() != nullptr &&
          it.value()->Matcher() != nullptr) {
        record->similarity =
            fluorescence::similarityFromScore(record->score, it.value()->Matcher()->AcceptLimit());
      }
    }

    debugLog() << "pull result";
    record->image = zq::QtCVUtils::cvMatToQPixmap(working, false);
    record->diameter = diameter;
    record->thickness = static_cast<double>(p.thickness);
    record->seconds = static_cast<double>(cv::getTickCount() - t0) / cv::getTickFrequency();
    fluorescence::addResult(results, std::move(record));
    image->SetResults(results);
    debugLog() << "finish alg";
    return 1;
  } catch (...) {
    // Every failure ends here: nothing is delivered, the object stays usable.
    debugLog() << "algo run Error "
               << "CAlgorithmFluorescence::IImageAnalysis";
    return 1;
  }
}

cv::Mat CAlgorithmFluorescence::fetchImage(IImageObject* image) {
  return fluorescence::fetchDeliveredImage(image);
}

cv::Mat CAlgorithmFluorescence::getBackground(IImageObject* image, bool reload) {
  return fluorescence::BackgroundCache::instance().get(
      [image] { return fluorescence::configuredDirectory(image); }, reload);
}
