// The plug-in's only exported symbols. Built into the shared library alone, never into
// algorithm_core, so the tests that link the internals do not export anything.
#include <new>

#include "algorithmfluorescence.h"
#include "ialgorithm.h"

extern "C" {

ALGORITHM_EXPORT IAlgorithm* Algorithm_Create(void* /*reserved*/) {
  // No exception may cross the C boundary into the host; running out of memory gives null.
  return new (std::nothrow) CAlgorithmFluorescence();
}

ALGORITHM_EXPORT void Algorithm_Delete(IAlgorithm* algorithm) { delete algorithm; }

}  // extern "C"
