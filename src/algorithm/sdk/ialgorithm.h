#pragma once

#include "algorithmexport.h"

class IImageObject;

// The host's per-call option record and detector engine. The plug-in never reads either, so
// they stay opaque here; null is accepted for both.
struct tagZR_ALGORITHM_OPTION;
class IDetectorEngine;

// The plug-in interface. The host gets one object from Algorithm_Create, calls IImageAnalysis
// once per delivered image, and hands the object back to Algorithm_Delete.
class IAlgorithm {
 public:
  virtual ~IAlgorithm() = default;

  // Analyses the delivered image and hands the results to image->SetResults. Returns 1 when
  // the analysis ran to its end (or an error was caught and nothing delivered), 0 when the
  // results report a background size mismatch ("error") or no wheel ("noCircle"). Calls on
  // one object are serialised; the host keeps `image` alive for the whole call.
  virtual int IImageAnalysis(IImageObject* image, tagZR_ALGORITHM_OPTION* option,
                             IDetectorEngine* engine) = 0;
};

extern "C" {

// Creates an analysis object on the heap. `reserved` is not used. Returns null only when
// memory runs out.
ALGORITHM_EXPORT IAlgorithm* Algorithm_Create(void* reserved);

// Destroys an object made by Algorithm_Create. Null does nothing.
ALGORITHM_EXPORT void Algorithm_Delete(IAlgorithm* algorithm);

}  // extern "C"

// For hosts that resolve the entry points by name (GetProcAddress, dlsym, QLibrary::resolve).
using AlgorithmCreateFn = IAlgorithm* (*)(void*);
using AlgorithmDeleteFn = void (*)(IAlgorithm*);
inline constexpr const char kAlgorithmCreateName[] = "Algorithm_Create";
inline constexpr const char kAlgorithmDeleteName[] = "Algorithm_Delete";
