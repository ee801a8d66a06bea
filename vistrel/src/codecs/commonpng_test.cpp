#include "commonpng.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QtEndian>
#include <functional>
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
QByteArray handMadePng(const cv::Mat& image, bool interlaced, const QByteArray& before = {},
                       const QByteArray& after = {}, int rawTail = 0) {
  const int channels = image.channels();
  const char colourType = channels == 1 ? 0 : channels == 3 ? 2 : 6;
  cv::Mat png;  // in PNG's channel order
  if (channels == 3)
    cv::cvtColor(image, png, cv::COLOR_BGR2RGB);
  else if (channels == 4)
    cv::cvtColor(image, png, cv::COLOR_BGRA2RGBA);
  else
    png = image;
  QByteArray raw;
  for (const pngbytes::Pass& p : pngbytes::passes(interlaced)) {
    if (p.x0 >= png.cols || p.y0 >= png.rows) continue;  // an empty pass has no rows
    for (int y = p.y0; y < png.rows; y += p.dy) {
      raw.append('\0');  // filter type None
      for (int x = p.x0; x < png.cols; x += p.dx)
        raw.append(reinterpret_cast<const char*>(png.ptr(y, x)), channels);
    }
  }
  if (rawTail > 0) raw.append(QByteArray(rawTail, '\x11'));
  if (rawTail < 0) raw.chop(-rawTail);
  return pngbytes::signature() + pngbytes::header(png.cols, png.rows, 8, colourType, interlaced) +
         before + chunk("IDAT", qCompress(raw, 9).mid(4)) + after + chunk("IEND", {});
}

// A plain PNG whose rows take the five filter types in turn (row y: type y mod 5), its image
// data split over three chunks.
QByteArray everyFilterPng(const cv::Mat& image) {
  const int bpp = image.channels();
  cv::Mat png = image.clone();  // in PNG's channel order
  if (bpp == 3) cv::cvtColor(image, png, cv::COLOR_BGR2RGB);
  if (bpp == 4) cv::cvtColor(image, png, cv::COLOR_BGRA2RGBA);
  const int n = png.cols * bpp;
  QByteArray raw;
  for (int y = 0; y < png.rows; ++y) {
    const uchar* cur = png.ptr(y);
    const uchar* up = y > 0 ? png.ptr(y - 1) : nullptr;
    raw.append(char(y % 5));
    for (int i = 0; i < n; ++i) {
      const int a = i >= bpp ? cur[i - bpp] : 0, b = up ? up[i] : 0;
      const int c = up && i >= bpp ? up[i - bpp] : 0;
      const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
      const int paeth = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      const int predicted[5] = {0, a, b, (a + b) / 2, paeth};
      raw.append(char(cur[i] - predicted[y % 5]));
    }
  }
  const QByteArray z = qCompress(raw, 6).mid(4);
  const int third = int(z.size()) / 3;
  return pngbytes::signature() +
         pngbytes::header(png.cols, png.rows, 8,
                          bpp == 1   ? 0
                          : bpp == 3 ? 2
                                     : 6,
                          false) +
         chunk("IDAT", z.left(third)) + chunk("IDAT", z.mid(third, third)) +
         chunk("IDAT", z.mid(2 * third)) + chunk("IEND", {});
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
  std::function<QByteArray()> bytes;
  PngOutcome outcome;  // with cv::IMREAD_UNCHANGED
  bool grey = false;   // the same with cv::IMREAD_GRAYSCALE (else NotCommon)
};

class CommonPng : public testing::TestWithParam<PngCase> {};

// Whatever the file, the result is OpenCV's: either the same matrix, decoded through Qt, or
// nothing, and the caller asks OpenCV.
TEST_P(CommonPng, DecodesExactlyAsOpenCVOrLeavesItToOpenCV) {
  const QByteArray bytes = GetParam().bytes();
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

INSTANTIATE_TEST_SUITE_P(
    Files, CommonPng,
    testing::Values(
        PngCase{"OpenCvGrey", [] { return openCvPng(kGrey); }, PngOutcome::Decoded, true},
        PngCase{"OpenCvBgr", [] { return openCvPng(kBgr); }, PngOutcome::Decoded},
        PngCase{"OpenCvBgra", [] { return openCvPng(kBgra); }, PngOutcome::Decoded},
        PngCase{"OneByOne", [] { return openCvPng(pattern(CV_8UC3, 1, 1)); }, PngOutcome::Decoded},
        PngCase{"QtGrey", [] { return qtPng(qtImage(QImage::Format_Grayscale8)); },
                PngOutcome::Decoded, true},
        PngCase{"QtArgb", [] { return qtPng(qtImage(QImage::Format_ARGB32)); },
                PngOutcome::Decoded},
        PngCase{"EveryFilterGrey", [] { return everyFilterPng(pattern(CV_8UC1, 60, 64)); },
                PngOutcome::Decoded, true},
        PngCase{"EveryFilterBgr", [] { return everyFilterPng(pattern(CV_8UC3, 60, 64)); },
                PngOutcome::Decoded},
        PngCase{"EveryFilterBgra", [] { return everyFilterPng(pattern(CV_8UC4, 60, 64)); },
                PngOutcome::Decoded},
        PngCase{"InterlacedGrey", [] { return handMadePng(kGrey, true); }, PngOutcome::Decoded,
                true},
        PngCase{"InterlacedBgra", [] { return handMadePng(kBgra, true); }, PngOutcome::Decoded},
        PngCase{"GammaAndSrgbApplyToNoPixel",
                [] { return handMadePng(kBgr, false, kGamma + chunk("sRGB", QByteArray(1, 0))); },
                PngOutcome::Decoded},
        PngCase{"LinearGamma", [] { return handMadePng(kGrey, false, kLinear); },
                PngOutcome::Decoded, true},
        PngCase{"TextAndResolution",
                [] {
                  return handMadePng(kBgr, false,
                                     chunk("tEXt", QByteArray("Camera\0A7", 9)) +
                                         chunk("pHYs", be32(3780) + be32(3780) + QByteArray(1, 1)));
                },
                PngOutcome::Decoded},
        PngCase{"SixteenBit", [] { return openCvPng(pattern(CV_16UC3)); }, PngOutcome::NotCommon},
        PngCase{"Palette",
                [] {
                  return qtPng(
                      qtImage(QImage::Format_RGB32).convertToFormat(QImage::Format_Indexed8));
                },
                PngOutcome::NotCommon},
        PngCase{"OneBit", [] { return qtPng(qtImage(QImage::Format_Mono)); },
                PngOutcome::NotCommon},
        PngCase{"TransparencyKey",
                [] { return handMadePng(kGrey, false, chunk("tRNS", QByteArray("\0\x07", 2))); },
                PngOutcome::NotCommon},
        PngCase{"SignificantBits", [] { return handMadePng(kGrey, false, chunk("sBIT", "\x05")); },
                PngOutcome::NotCommon},
        PngCase{"UnknownChunk", [] { return handMadePng(kGrey, false, chunk("vpAg", "1234")); },
                PngOutcome::NotCommon},
        PngCase{
            "TextAfterTheImage",
            [] { return handMadePng(kGrey, false, {}, chunk("tEXt", QByteArray("Note\0x", 6))); },
            PngOutcome::NotCommon},
        PngCase{"BadChecksum",
                [] { return withByteFlipped(handMadePng(kGrey, false, kGamma), 45); },
                PngOutcome::NotCommon},
        PngCase{"MoreDataThanPixels", [] { return handMadePng(kGrey, false, {}, {}, 5); },
                PngOutcome::Decoded, true},
        PngCase{"LessDataThanPixels", [] { return handMadePng(kBgr, false, {}, {}, -5); },
                PngOutcome::Refused},
        PngCase{"CorruptImageData", [] { return withImageDataFlipped(handMadePng(kGrey, false)); },
                PngOutcome::Refused, true},
        PngCase{"DataTooShortForTheClaimedSize",
                [] { return withClaimedSize(handMadePng(kGrey, false), 30000, 30000); },
                PngOutcome::NotCommon},
        PngCase{"NoEnd", [] { return handMadePng(kGrey, false).chopped(12); },
                PngOutcome::NotCommon},
        PngCase{"NotAPng", [] { return QByteArray("GIF89a.....................", 27); },
                PngOutcome::NotCommon},
        PngCase{"Empty", [] { return QByteArray(); }, PngOutcome::NotCommon}),
    [](const testing::TestParamInfo<PngCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vistrel::codecs
