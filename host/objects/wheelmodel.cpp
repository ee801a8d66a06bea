#include "objects/wheelmodel.h"

namespace wheelhost {

double ScriptedMatcher::Match(const cv::Mat& image, int option1, int option2, bool flag,
                              int option3, double value1, double value2) {
  record("Match");
  matchCalls_.push_back({image.clone(), option1, option2, flag, option3, value1, value2});
  return score_;
}

cv::Mat ScriptedMatcher::TemplateImage() {
  record("TemplateImage");
  return template_;
}

void ScriptedMatcher::Prepare(int mode) {
  record("Prepare");
  prepareModes_.push_back(mode);
}

double ScriptedMatcher::AcceptLimit() {
  record("AcceptLimit");
  return acceptLimit_;
}

double ScriptedWheelModel::Diameter() {
  record("Diameter");
  return diameter_;
}

double ScriptedWheelModel::Thickness() {
  record("Thickness");
  return thickness_;
}

IModelMatcher* ScriptedWheelModel::Matcher() {
  record("Matcher");
  return matcher_;
}

double ScriptedWheelModel::RatioMin() {
  record("RatioMin");
  return ratioMin_;
}

double ScriptedWheelModel::RatioMax() {
  record("RatioMax");
  return ratioMax_;
}

}  // namespace wheelhost
