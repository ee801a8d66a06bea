// CircleDetector with any settings, centre and image: detect and detectMany on the image,
// detectInRoi and detectManyInRoi on it as a region (with and without a mask). Every circle
// reported must be finite, and a search that finds nothing must leave the circle untouched.

#include <cmath>
#include <vector>

#include "fuzzsupport.h"
#include "vistrel/circledetector.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzsupport::quietProcess();
  FuzzedDataProvider in(data, size);
  vistrel::CircleDetector d;
  d.setPolarity(static_cast<vistrel::Polarity>(in.ConsumeIntegralInRange(-1, 3)));
  d.setFindBy(static_cast<vistrel::FindBy>(in.ConsumeIntegralInRange(-1, 4)));
  d.setAcceptThreshold(in.ConsumeIntegralInRange(-5, 105));
  d.setMethod(static_cast<vistrel::CircleMethod>(in.ConsumeIntegralInRange(-1, 2)));
  d.setEdgeWidth(in.ConsumeBool() ? in.ConsumeIntegralInRange(-4, 12) : in.ConsumeIntegral<int>());
  if (in.ConsumeBool()) {
    d.setRadiusRange(in.ConsumeIntegralInRange(-20, 200), in.ConsumeIntegralInRange(-20, 200));
  } else {
    d.setRadiusRange(in.ConsumeIntegral<int>(), in.ConsumeIntegral<int>());
  }
  d.setPrecisionPreset(in.ConsumeIntegralInRange(-2, 4));
  d.setFixedMagnitudeScale(in.ConsumeBool());
  const int maxCount =
      in.ConsumeBool() ? in.ConsumeIntegralInRange(-1, 8) : in.ConsumeIntegral<int>();
  const cv::Point2f centre =
      in.ConsumeBool()
          ? cv::Point2f(in.ConsumeFloatingPointInRange(-50.f, 150.f),
                        in.ConsumeFloatingPointInRange(-50.f, 150.f))
          : cv::Point2f(in.ConsumeFloatingPoint<float>(), in.ConsumeFloatingPoint<float>());
  const int channels = in.PickValueInArray({1, 1, 1, 2, 3, 4});
  const cv::Mat img = fuzzsupport::image(in, 128, CV_8UC(channels));
  std::vector<float> profile, scores;
  std::vector<cv::Vec3f> circles;

  const cv::Vec3f untouched(0, 0, 0);
  cv::Vec3f circle = untouched;
  const float score = d.detect(img, centre, circle, &profile);
  fuzzsupport::require(score == 0 || std::isfinite(score), "detect: score not finite");
  fuzzsupport::require(cv::checkRange(circle), "detect: circle not finite");
  const int n = d.detectMany(img, centre, &circles, &scores, &profile, 0, maxCount);
  fuzzsupport::require(n >= 0 && static_cast<size_t>(n) <= circles.size(), "detectMany: count");
  for (const cv::Vec3f& c : circles) fuzzsupport::require(cv::checkRange(c), "detectMany: circle");

  cv::Mat mask;
  if (in.ConsumeBool() && !img.empty()) {
    mask = cv::Mat(img.size(), CV_8UC1);
    const std::string bits = in.ConsumeBytesAsString(64);
    for (size_t i = 0; i < mask.total(); ++i) {
      mask.data[i] = bits.empty() || (bits[i % bits.size()] & 1) ? 255 : 0;
    }
  }
  cv::Vec3f inRoi = untouched;
  d.detectInRoi(img, inRoi, &profile, mask);
  d.detectManyInRoi(img, &circles, nullptr, nullptr, 0, maxCount, mask);
  fuzzsupport::require(cv::checkRange(inRoi), "detectInRoi: circle not finite");
  return 0;
}
