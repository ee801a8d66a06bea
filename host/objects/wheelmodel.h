#pragma once

#include <opencv2/core.hpp>
#include <vector>

#include "iwheelmodel.h"
#include "objects/callrecorder.h"

namespace wheelhost {

// A template matcher that answers what the test scripted and records how it was asked.
class ScriptedMatcher : public IModelMatcher, public CallRecorder {
 public:
  // One Match call as the plug-in made it.
  struct MatchCall {
    cv::Mat image;  // a copy of the image passed
    int option1, option2;
    bool flag;
    int option3;
    double value1, value2;
  };

  ScriptedMatcher(double score, double acceptLimit, cv::Mat templateImage)
      : score_(score), acceptLimit_(acceptLimit), template_(std::move(templateImage)) {}

  double Match(const cv::Mat& image, int option1, int option2, bool flag, int option3,
               double value1, double value2) override;
  cv::Mat TemplateImage() override;
  void Prepare(int mode) override;
  double AcceptLimit() override;

  void setScore(double score) { score_ = score; }
  void setAcceptLimit(double limit) { acceptLimit_ = limit; }
  void setTemplate(cv::Mat templateImage) { template_ = std::move(templateImage); }

  const std::vector<MatchCall>& matchCalls() const { return matchCalls_; }
  const std::vector<int>& prepareModes() const { return prepareModes_; }

 private:
  double score_;
  double acceptLimit_;
  cv::Mat template_;
  std::vector<MatchCall> matchCalls_;
  std::vector<int> prepareModes_;
};

// A catalogue model with scripted nominal values; the matcher is not owned (null allowed).
class ScriptedWheelModel : public IWheelModel, public CallRecorder {
 public:
  ScriptedWheelModel(double diameter, double thickness, IModelMatcher* matcher,
                     double ratioMin = 0.0, double ratioMax = 0.0)
      : diameter_(diameter),
        thickness_(thickness),
        matcher_(matcher),
        ratioMin_(ratioMin),
        ratioMax_(ratioMax) {}

  double Diameter() override;
  double Thickness() override;
  IModelMatcher* Matcher() override;
  double RatioMin() override;
  double RatioMax() override;

 private:
  double diameter_;
  double thickness_;
  IModelMatcher* matcher_;
  double ratioMin_;
  double ratioMax_;
};

}  // namespace wheelhost
