#include "commonpng.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QtEndian>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "testing/pngbytes.h"

namespace vistrel::codecs {
namespace {

using pngbytes::be32;
using pngbytes::chunk;

// A PNG written by hand from an OpenCV image (grey, BGR or BGRA), optionally Adam7-interlaced,
// with `before` chunks ahead of the image data and `after` chunks behind it.
// `rawTail` is appended to the uncompressed image data (a negative count cuts it instead).
// `everyFilter` (plain files only): row y takes filter type y mod 5, and the image data is split
// over three chunks.
QByteArray handMadePng(const cv::Mat& image, bool interlaced, const QByteArray& before = {},
                       const QByteArray& after = {}, int rawTail = 0, bool everyFilter = false) {
  const int bpp = image.channels();
  cv::Mat png = image.clone();  // in PNG's channel order
  if (bpp == 3) cv::cvtColor(image, png, cv::COLOR_BGR2RGB);
  if (bpp == 4) cv::cvtColor(image, png, cv::COLOR_BGRA2RGBA);
  QByteArray raw;
  for (const pngbytes::Pass& pass : pngbytes::passes(interlaced)) {
    if (pass.x0 >= png.cols || pass.y0 >= png.rows) continue;  // an empty pass has no rows
    for (int y = pass.y0; y < png.rows; y += pass.dy) {
      const int filter = everyFilter ? y % 5 : 0;
      const uchar* cur = png.ptr(y);
      const uchar* up = y > 0 ? png.ptr(y - 1) : nullptr;
      raw.append(char(filter));
      for (int x = pass.x0; x < png.cols; x += pass.dx) {
        for (int i = x * bpp; i < (x + 1) * bpp; ++i) {
          const int a = i >= bpp ? cur[i - bpp] : 0, b = up ? up[i] : 0;
          const int c = up && i >= bpp ? up[i - bpp] : 0;
          const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
          const int paeth = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
          const int predicted[5] = {0, a, b, (a + b) / 2, paeth};
          raw.append(char(cur[i] - predicted[filter]));
        }
      }
    }
  }
  if (rawTail > 0) raw.append(QByteArray(rawTail, '\x11'));
  if (rawTail < 0) raw.chop(-rawTail);
  const QByteArray z = qCompress(raw, everyFilter ? 6 : 9).mid(4);
  const int part = everyFilter ? int(z.size()) / 3 : int(z.size());
  QByteArray data = chunk("IDAT", z.left(part));
  if (everyFilter) data += chunk("IDAT", z.mid(part, part)) + chunk("IDAT", z.mid(2 * part));
  const int colourType[5] = {0, 0, 0, 2, 6};  // by channel count: grey, RGB, RGBA
  return pngbytes::signature() +
         pngbytes::header(png.cols, png.rows, 8, colourType[bpp], interlaced) + before + data +
         after + chunk("IEND", {});
}

cv::Mat pattern(int type, int rows = 13, int cols = 11) {
  cv::Mat image(rows, cols, type);
  cv::randu(image, 0, 256);
  return image;
}

QByteArray openCvPng(const cv::Mat& image) {
  std::vector<uchar> bytes;
  cv::imencode(".png", image, bytes);
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
}

QImage qtImage(QImage::Format format) {
  QImage image(9, 4, format);
  for (int y = 0; y < image.height(); ++y)
    for (int i = 0; i < image.bytesPerLine(); ++i) image.scanLine(y)[i] = uchar(37 * y + 11 * i);
  return image;
}

QByteArray qtPng(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

QByteArray withByteFlipped(QByteArray bytes, int at) {
  bytes[at] = static_cast<char>(bytes[at] ^ 0x40);
  return bytes;
}

// The file with its header claiming another size (and a checksum to match).
QByteArray withClaimedSize(QByteArray png, quint32 width, quint32 height) {
  png.replace(16, 8, be32(width) + be32(height));
  return png.replace(29, 4, be32(pngCrc(reinterpret_cast<const uchar*>(png.constData()) + 12, 17)));
}

// The file with one byte of its image data changed (and the chunk's checksum to match).
QByteArray withImageDataFlipped(QByteArray png) {
  const int at = png.indexOf("IDAT");
  const int length = int(qFromBigEndian<quint32>(png.constData() + at - 4));
  png[at + 4 + length / 2] = char(png[at + 4 + length / 2] ^ 0x5A);
  const auto* body = reinterpret_cast<const uchar*>(png.constData()) + at;
  return png.replace(at + 4 + length, 4, be32(pngCrc(body, std::size_t(length) + 4)));
}

struct PngCase {
  const char* name;
  QByteArray bytes;
  PngOutcome outcome;  // with cv::IMREAD_UNCHANGED
  bool grey = false;   // the same with cv::IMREAD_GRAYSCALE (else NotCommon)
};

class CommonPng : public testing::TestWithParam<PngCase> {};

// Whatever the file, the result is OpenCV's: either the same matrix, decoded through Qt, or
// nothing, and the caller asks OpenCV.
TEST_P(CommonPng, DecodesExactlyAsOpenCVOrLeavesItToOpenCV) {
  const QByteArray& bytes = GetParam().bytes;
  const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
  const auto size = static_cast<std::size_t>(bytes.size());
  for (const int flags : {cv::IMREAD_UNCHANGED, cv::IMREAD_GRAYSCALE}) {
    cv::Mat ours;
    const PngOutcome outcome = decodeCommonPng(data, size, flags, ours);
    EXPECT_EQ(outcome, flags == cv::IMREAD_UNCHANGED || GetParam().grey ? GetParam().outcome
                                                                        : PngOutcome::NotCommon)
        << flags;
    EXPECT_EQ(ours.empty(), outcome != PngOutcome::Decoded) << flags;
    if (outcome == PngOutcome::NotCommon) continue;
    const cv::Mat theirs =
        cv::imdecode(cv::Mat(1, bytes.size(), CV_8U, const_cast<uchar*>(data)), flags);
    ASSERT_EQ(ours.empty(), theirs.empty()) << flags;
    if (ours.empty()) continue;
    ASSERT_EQ(ours.type(), theirs.type()) << flags;
    ASSERT_EQ(ours.size(), theirs.size()) << flags;
    EXPECT_EQ(cv::norm(ours, theirs, cv::NORM_INF), 0.0) << flags;
  }
  // Other flags are OpenCV's to handle.
  cv::Mat colour;
  EXPECT_EQ(decodeCommonPng(data, size, cv::IMREAD_COLOR, colour), PngOutcome::NotCommon);
}

const cv::Mat kGrey = pattern(CV_8UC1), kBgr = pattern(CV_8UC3), kBgra = pattern(CV_8UC4);
const QByteArray kGamma = chunk("gAMA", be32(45455)), kLinear = chunk("gAMA", be32(100000));
constexpr PngOutcome kDecoded = PngOutcome::Decoded, kNotCommon = PngOutcome::NotCommon,
                     kRefused = PngOutcome::Refused;

QByteArray everyFilterPng(int type) {
  return handMadePng(pattern(type, 60, 64), false, {}, {}, 0, true);
}
QByteArray withChunk(const cv::Mat& image, const char* type, const QByteArray& data) {
  return handMadePng(image, false, chunk(type, data));
}

INSTANTIATE_TEST_SUITE_P(
    Files, CommonPng,
    testing::ValuesIn(std::vector<PngCase>{
        {"OpenCvGrey", openCvPng(kGrey), kDecoded, true},
        {"OpenCvBgr", openCvPng(kBgr), kDecoded},
        {"OpenCvBgra", openCvPng(kBgra), kDecoded},
        {"OneByOne", openCvPng(pattern(CV_8UC3, 1, 1)), kDecoded},
        {"QtGrey", qtPng(qtImage(QImage::Format_Grayscale8)), kDecoded, true},
        {"QtArgb", qtPng(qtImage(QImage::Format_ARGB32)), kDecoded},
        {"EveryFilterGrey", everyFilterPng(CV_8UC1), kDecoded, true},
        {"EveryFilterBgr", everyFilterPng(CV_8UC3), kDecoded},
        {"EveryFilterBgra", everyFilterPng(CV_8UC4), kDecoded},
        {"InterlacedGrey", handMadePng(kGrey, true), kDecoded, true},
        {"InterlacedBgra", handMadePng(kBgra, true), kDecoded},
        {"GammaAndSrgbApplyToNoPixel",
         handMadePng(kBgr, false, kGamma + chunk("sRGB", QByteArray(1, 0))), kDecoded},
        {"LinearGamma", handMadePng(kGrey, false, kLinear), kDecoded, true},
        {"TextAndResolution",
         handMadePng(kBgr, false,
                     chunk("tEXt", QByteArray("Camera\0A7", 9)) +
                         chunk("pHYs", be32(3780) + be32(3780) + QByteArray(1, 1))),
         kDecoded},
        {"SixteenBit", openCvPng(pattern(CV_16UC3)), kNotCommon},
        {"Palette", qtPng(qtImage(QImage::Format_RGB32).convertToFormat(QImage::Format_Indexed8)),
         kNotCommon},
        {"OneBit", qtPng(qtImage(QImage::Format_Mono)), kNotCommon},
        {"TransparencyKey", withChunk(kGrey, "tRNS", QByteArray("\0\x07", 2)), kNotCommon},
        {"SignificantBits", withChunk(kGrey, "sBIT", "\x05"), kNotCommon},
        {"UnknownChunk", withChunk(kGrey, "vpAg", "1234"), kNotCommon},
        {"TextAfterTheImage",
         handMadePng(kGrey, false, {}, chunk("tEXt", QByteArray("Note\0x", 6))), kNotCommon},
        {"BadChecksum", withByteFlipped(handMadePng(kGrey, false, kGamma), 45), kNotCommon},
        {"MoreDataThanPixels", handMadePng(kGrey, false, {}, {}, 5), kDecoded, true},
        {"LessDataThanPixels", handMadePng(kBgr, false, {}, {}, -5), kRefused},
        {"CorruptImageData", withImageDataFlipped(handMadePng(kGrey, false)), kRefused, true},
        {"DataTooShortForTheClaimedSize", withClaimedSize(handMadePng(kGrey, false), 30000, 30000),
         kNotCommon},
        {"NoEnd", handMadePng(kGrey, false).chopped(12), kNotCommon},
        {"NotAPng", QByteArray("GIF89a.....................", 27), kNotCommon},
        {"Empty", QByteArray(), kNotCommon}}),
    [](const testing::TestParamInfo<PngCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vistrel::codecs
