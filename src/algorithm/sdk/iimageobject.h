#pragma once

#include <QVariant>
#include <QVariantMap>

class IHostConfig;

// One delivered camera image and the exchange around it; the host creates one per analysis
// call and owns it for the duration of that call. The plug-in calls the operations in this
// order: GetImageFormat, GetImageData, QueryParams, GetConfig (only when it must load a
// background image), SetResults (at most once).
class IImageObject {
 public:
  virtual ~IImageObject() = default;

  // 1: 8-bit single-channel pixels. Any other value: 8-bit four-channel pixels, of which the
  // plug-in uses the first channel only.
  virtual int GetImageFormat() = 0;

  // Returns the first pixel and writes width and height in pixels and the row stride in bytes
  // (rows are `stride` bytes apart). `reserved` is written by the host and ignored by the
  // plug-in. The buffer stays valid and unchanged for the whole analysis call.
  virtual unsigned char* GetImageData(int* width, int* height, int* reserved, int* stride) = 0;

  // The host's configuration object, or null when the host has none.
  virtual IHostConfig* GetConfig() = 0;

  // Takes the finished result map of the call. The record under "result" (a
  // FluorescenceResult*, see fluorescenceresult.h) passes to the host, which deletes it.
  virtual void SetResults(QVariantMap& results) = 0;

  // The call's parameters: a QVariant holding a QVariantMap with the keys of
  // analysiskeys.h. Must not be null.
  virtual QVariant* QueryParams() = 0;
};
