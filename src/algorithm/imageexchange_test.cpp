#include "imageexchange.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "objects/imageobject.h"

namespace fluorescence {
namespace {

using wheelhost::ImageObject;

// Pixel (r, c) = 10 * r + c.
cv::Mat ramp(int rows, int cols) {
  cv::Mat m(rows, cols, CV_8UC1);
  m.forEach<uchar>([](uchar& v, const int* p) { v = static_cast<uchar>(10 * p[0] + p[1]); });
  return m;
}

TEST(FetchDeliveredImage, GreyIsAViewOfTheHostBufferReadAtTheStride) {
  const cv::Mat grey = ramp(3, 5);
  ImageObject image(grey, 7);
  const cv::Mat fetched = fetchDeliveredImage(&image);
  ASSERT_EQ(fetched.type(), CV_8UC1);
  ASSERT_EQ(fetched.size(), cv::Size(5, 3));
  EXPECT_EQ(fetched.step[0], 7u);
  EXPECT_EQ(fetched.data, image.buffer().data());
  EXPECT_EQ(cv::norm(fetched, grey, cv::NORM_INF), 0.0);  // no padding byte read
}

TEST(FetchDeliveredImage, EveryFormatOtherThanOneGivesTheFirstChannelAsANewMatrix) {
  cv::Mat bgra;  // the first channel is the ramp, and no two channels agree
  cv::merge(std::vector<cv::Mat>{ramp(4, 3), cv::Mat(4, 3, CV_8UC1, cv::Scalar(1)),
                                 255 - ramp(4, 3), cv::Mat(4, 3, CV_8UC1, cv::Scalar(3))},
            bgra);
  for (int format : {0, 2, 3, 4, -1}) {
    ImageObject image(bgra, format == 4 ? 16 : 0);
    image.setFormat(format);
    const cv::Mat fetched = fetchDeliveredImage(&image);
    ASSERT_EQ(fetched.type(), CV_8UC1) << format;
    EXPECT_EQ(cv::norm(fetched, ramp(4, 3), cv::NORM_INF), 0.0) << format;
    const uchar* buffer = image.buffer().data();
    EXPECT_TRUE(fetched.data < buffer || fetched.data >= buffer + image.buffer().size()) << format;
  }
}

TEST(FetchDeliveredImage, UnusableBuffersAreRefusedWithAClearError) {
  EXPECT_THROW(fetchDeliveredImage(nullptr), std::invalid_argument);

  ImageObject nullPixels(cv::Mat(2, 2, CV_8UC1, cv::Scalar(0)));
  nullPixels.setNullPixels(true);
  EXPECT_THROW(fetchDeliveredImage(&nullPixels), std::invalid_argument);

  // A grey buffer announced as four-channel has rows too short for four channels.
  ImageObject shortRows(cv::Mat(2, 3, CV_8UC1, cv::Scalar(0)));
  shortRows.setFormat(4);
  try {
    fetchDeliveredImage(&shortRows);
    FAIL() << "a stride shorter than a row was accepted";
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find("stride 3"), std::string::npos) << e.what();
  }
  ImageObject empty(cv::Mat(0, 0, CV_8UC1));
  EXPECT_THROW(fetchDeliveredImage(&empty), std::invalid_argument);
}

}  // namespace
}  // namespace fluorescence
