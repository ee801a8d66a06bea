#pragma once

#include <QMap>
#include <QString>
#include <opencv2/core.hpp>

// A template matcher the host attaches to a catalogue model.
class IModelMatcher {
 public:
  virtual ~IModelMatcher() = default;

  // Scores `image` (8-bit grey, the cut-out wheel) against the model's template; lower is
  // better, -1.0 means no score. The remaining arguments are the host's matching options; the
  // plug-in always passes (0, 1, true, 0, 0.0, 0.0).
  virtual double Match(const cv::Mat& image, int option1, int option2, bool flag, int option3,
                       double value1, double value2) = 0;

  // The model's template; an empty matrix means the model has no template and is skipped.
  virtual cv::Mat TemplateImage() = 0;

  // Readies the matcher for Match; the plug-in passes 0.
  virtual void Prepare(int mode) = 0;

  // A match is accepted when its score is below this limit.
  virtual double AcceptLimit() = 0;
};

// One model of the host's catalogue (a QMap<QString, IWheelModel*> owned by the host).
class IWheelModel {
 public:
  virtual ~IWheelModel() = default;

  // Nominal diameter, in the unit of the "d2h" scale.
  virtual double Diameter() = 0;
  // Nominal thickness, in the unit of the "thickness" parameter.
  virtual double Thickness() = 0;
  // The model's template matcher; owned by the host. Null only for models without one.
  virtual IModelMatcher* Matcher() = 0;
  // The accepted range of the "Ratio" parameter; a bound of 0 or less disables the range.
  virtual double RatioMin() = 0;
  virtual double RatioMax() = 0;
};

// The host's model catalogue, passed as a pointer under the parameter "modelMap".
using WheelModelMap = QMap<QString, IWheelModel*>;
