#pragma once

#include <QMutex>
#include <opencv2/core.hpp>

#include "ialgorithm.h"

// The plug-in's analysis object: one per Algorithm_Create. Its only state is the mutex that
// serialises the calls on one object; everything kept between calls (the reference background
// and its reload flag, the grey colour table) is process-wide and shared by all objects.
class CAlgorithmFluorescence : public IAlgorithm {
 public:
  CAlgorithmFluorescence();
  ~CAlgorithmFluorescence() override;
  CAlgorithmFluorescence(const CAlgorithmFluorescence&) = delete;
  CAlgorithmFluorescence& operator=(const CAlgorithmFluorescence&) = delete;

  int IImageAnalysis(IImageObject* image, tagZR_ALGORITHM_OPTION* option,
                     IDetectorEngine* engine) override;

  // The delivered image as 8-bit grey (see fetchDeliveredImage): a view of the host's buffer
  // for format 1, else a new matrix with the first channel.
  static cv::Mat fetchImage(IImageObject* image);

  // The process-wide reference background (see BackgroundCache::get); shares the cache's
  // pixels. The host's configured directory is asked for only when a file below it is read.
  static cv::Mat getBackground(IImageObject* image, bool reload);

 private:
  QMutex m_mutex;
};
