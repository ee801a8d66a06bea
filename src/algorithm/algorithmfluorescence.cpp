#include "algorithmfluorescence.h"

#include "background.h"
#include "imageexchange.h"

CAlgorithmFluorescence::CAlgorithmFluorescence() : m_mutex(QMutex::NonRecursive) {}

CAlgorithmFluorescence::~CAlgorithmFluorescence() = default;

int CAlgorithmFluorescence::IImageAnalysis(IImageObject* /*image*/,
                                           tagZR_ALGORITHM_OPTION* /*option*/,
                                           IDetectorEngine* /*engine*/) {
  return 1;
}

cv::Mat CAlgorithmFluorescence::fetchImage(IImageObject* image) {
  return fetchDeliveredImage(image);
}

cv::Mat CAlgorithmFluorescence::getBackground(IImageObject* image, bool reload) {
  return BackgroundCache::instance().get([image] { return configuredDirectory(image); }, reload);
}
