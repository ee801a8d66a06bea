// Region files as people edit them: any YAML, XML or JSON text read into a DetectRoi, then used
// on an image and written back. Properties: reading and using never throw or crash (readText
// guards OpenCV's own parser), the ROI image and mask agree in size, and a region that was read
// writes the same text again after one more read.

#include <opencv2/core/persistence.hpp>
#include <string>

#include "fuzzsupport.h"
#include "vistrel/detectroi.h"

namespace {

std::string write(const vistrel::DetectRoi& roi, int format) {
  cv::FileStorage fs(".txt", cv::FileStorage::WRITE | cv::FileStorage::MEMORY | format);
  fs << "roi"
     << "{";
  roi.serialize(fs);
  fs << "}";
  return fs.releaseAndGetString();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzsupport::quietProcess();
  if (size < 1) return 0;
  static const int kFormats[] = {cv::FileStorage::FORMAT_YAML, cv::FileStorage::FORMAT_XML,
                                 cv::FileStorage::FORMAT_JSON};
  const int format = kFormats[data[0] % 3];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

  // The syntax is the text's own; the first byte picks the one the region is written back in.
  vistrel::DetectRoi roi;
  if (!roi.readText(text, "roi")) return 0;

  const cv::Mat image(48, 64, CV_8UC3, cv::Scalar(10, 20, 30));
  cv::Mat mask;
  const cv::Mat roiImage = roi.getRoiImage(image, &mask);
  fuzzsupport::require(mask.empty() || mask.size() == roiImage.size(), "mask and ROI image sizes");
  roi.highlightRoi(image);
  double x = 12.5, y = 7.25;
  roi.toRoi(x, y);
  roi.toImage(x, y);
  roi.translate(cv::Point2f(3.f, -2.f)).getRoiImage(image, &mask);

  const std::string once = write(roi, format);
  vistrel::DetectRoi again;
  fuzzsupport::require(again.readText(once, "roi"), "a written region does not read back");
  const std::string twice = write(again, format);
  fuzzsupport::require(once == twice, "the write-read round trip is not stable");
  return 0;
}
