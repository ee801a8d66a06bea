#include "imageexchange.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "algorithmfluorescence.h"
#include "objects/imageobject.h"

namespace fluorescence {
namespace {

using wheelhost::ImageObject;

// Pixel (r, c) = 10 * r + c.
cv::Mat ramp(int rows, int cols) {
  cv::Mat m(rows, cols, CV_8UC1);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) m.at<uchar>(r, c) = static_cast<uchar>(10 * r + c);
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
  EXPECT_EQ(image.calls(), (std::vector<std::string>{"GetImageFormat", "GetImageData"}));
}

TEST(FetchDeliveredImage, FourChannelsGiveTheirFirstChannelAsANewMatrix) {
  const cv::Mat bgra(4, 3, CV_8UC4, cv::Scalar(10, 20, 30, 255));
  for (int stride : {0, 16}) {
    ImageObject image(bgra, stride);
    const cv::Mat fetched = fetchDeliveredImage(&image);
    ASSERT_EQ(fetched.type(), CV_8UC1);
    ASSERT_EQ(fetched.size(), cv::Size(3, 4));
    EXPECT_EQ(cv::countNonZero(fetched != 10), 0);
    EXPECT_TRUE(fetched.data < image.buffer().data() ||
                fetched.data >= image.buffer().data() + image.buffer().size());
  }
  // Channel 0 only, also where the channels differ from pixel to pixel.
  cv::Mat mixed(1, 2, CV_8UC4);
  mixed.at<cv::Vec4b>(0, 0) = {7, 1, 2, 3};
  mixed.at<cv::Vec4b>(0, 1) = {200, 9, 9, 9};
  ImageObject image(mixed);
  const cv::Mat expected = (cv::Mat_<uchar>(1, 2) << 7, 200);
  EXPECT_EQ(cv::norm(fetchDeliveredImage(&image), expected, cv::NORM_INF), 0.0);
}

TEST(FetchDeliveredImage, EveryFormatOtherThanOneIsFourChannel) {
  const cv::Mat bgra(2, 2, CV_8UC4, cv::Scalar(33, 44, 55, 66));
  for (int format : {0, 2, 3, 4, -1}) {
    ImageObject image(bgra);
    image.setFormat(format);
    const cv::Mat fetched = fetchDeliveredImage(&image);
    EXPECT_EQ(fetched.size(), cv::Size(2, 2)) << format;
    EXPECT_EQ(fetched.at<uchar>(1, 1), 33) << format;
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

TEST(FetchDeliveredImage, AnalysisObjectFetchesTheSameWay) {
  const cv::Mat grey = ramp(2, 2);
  ImageObject image(grey);
  EXPECT_EQ(cv::norm(CAlgorithmFluorescence::fetchImage(&image), grey, cv::NORM_INF), 0.0);
}

}  // namespace
}  // namespace fluorescence
