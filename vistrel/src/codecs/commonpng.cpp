#include "commonpng.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <array>
#include <climits>
#include <cstring>
#include <opencv2/imgcodecs.hpp>  // flag values
#include <opencv2/imgproc.hpp>

namespace vistrel::codecs {
namespace {

std::uint32_t bigEndian32(const unsigned char* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
         std::uint32_t(p[3]);
}

bool typeIs(const unsigned char* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

// Chunks that carry no pixel transformation in either reader.
bool isInertAncillary(const unsigned char* type) {
  for (const char* name : {"pHYs", "tEXt", "zTXt", "iTXt", "tIME", "gAMA", "cHRM", "sRGB", "iCCP"})
    if (typeIs(type, name)) return true;
  return false;
}

// What the file says of its pixels, when it is a file whose decoding cannot differ.
struct Header {
  std::uint32_t width = 0, height = 0;
  int colourType = -1;
};

bool readStructure(const unsigned char* p, std::size_t size, Header* header) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (size < 8 || std::memcmp(p, kSignature, 8) != 0) return false;
  // The chunk sequence: IHDR first, one run of IDAT, IEND last; inert chunks only before the
  // image data (after it, whether a reader even looks at them is the reader's choice).
  enum { kHeader, kBeforeData, kInData, kEnded } state = kHeader;
  std::size_t at = 8;
  std::uint64_t imageDataBytes = 0;
  while (state != kEnded) {
    if (size - at < 12) return false;
    const std::uint32_t length = bigEndian32(p + at);
    if (length > size - at - 12) return false;
    const unsigned char* type = p + at + 4;
    // A bad checksum on image data fails libpng in both readers alike; on any other chunk it
    // is checked here, so that no reader's choice of what to skip can matter.
    if (!typeIs(type, "IDAT") && pngCrc(type, length + 4) != bigEndian32(type + 4 + length))
      return false;
    const unsigned char* data = type + 4;
    if (state == kHeader) {
      if (!typeIs(type, "IHDR") || length != 13) return false;
      header->width = bigEndian32(data);
      header->height = bigEndian32(data + 4);
      header->colourType = data[9];
      const bool eightBit = data[8] == 8;
      const bool plain =
          header->colourType == 0 || header->colourType == 2 || header->colourType == 6;
      if (!eightBit || !plain || data[10] != 0 || data[11] != 0 || data[12] > 1) return false;
      state = kBeforeData;
    } else if (typeIs(type, "IDAT")) {
      if (state != kBeforeData && state != kInData) return false;
      state = kInData;
      imageDataBytes += length;
    } else if (typeIs(type, "IEND")) {
      if (state != kInData || length != 0) return false;
      state = kEnded;
    } else if (state != kBeforeData || !isInertAncillary(type)) {
      return false;
    }
    at += 12 + length;
  }
  // OpenCV refuses images beyond these sizes; leave them to it.
  const std::uint64_t kMaxSide = 1u << 20, kMaxPixels = 1u << 30;
  const std::uint64_t pixels = std::uint64_t(header->width) * header->height;
  if (header->width < 1 || header->height < 1 || header->width > kMaxSide ||
      header->height > kMaxSide || pixels > kMaxPixels)
    return false;
  // Deflate expands at most 1032-fold. A file whose image data cannot hold its pixels is
  // broken, and Qt would first allocate the whole image it claims (gigabytes from a few bytes).
  const std::uint64_t channels = header->colourType == 0 ? 1 : header->colourType == 2 ? 3 : 4;
  return pixels * channels <= 1032 * imageDataBytes;
}

}  // namespace

std::uint32_t pngCrc(const unsigned char* data, std::size_t size, std::uint32_t crc) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

cv::Mat decodeCommonPng(const unsigned char* bytes, std::size_t size, int flags) {
#if Q_BYTE_ORDER != Q_LITTLE_ENDIAN
  return cv::Mat();  // the copies below take Qt's 32-bit pixels as bytes B, G, R, A
#endif
  if (flags != cv::IMREAD_UNCHANGED && flags != cv::IMREAD_GRAYSCALE) return cv::Mat();
  Header header;
  if (bytes == nullptr || size > std::size_t(INT_MAX) || !readStructure(bytes, size, &header))
    return cv::Mat();
  if (flags == cv::IMREAD_GRAYSCALE && header.colourType != 0) return cv::Mat();
  const int rows = static_cast<int>(header.height), cols = static_cast<int>(header.width);
  const QImage::Format format = header.colourType == 0   ? QImage::Format_Grayscale8
                                : header.colourType == 2 ? QImage::Format_RGB32
                                                         : QImage::Format_ARGB32;
  // Qt's reader keeps an image it is given when size and format fit, so the pixels are decoded
  // straight into the matrix: no second frame-sized buffer and copy.
  cv::Mat pixels(rows, cols, format == QImage::Format_Grayscale8 ? CV_8UC1 : CV_8UC4);
  QImage image(pixels.data, cols, rows, static_cast<int>(pixels.step), format);
  QBuffer device;
  device.setData(QByteArray::fromRawData(reinterpret_cast<const char*>(bytes), int(size)));
  QImageReader reader(&device, "png");
  if (!reader.read(&image) || image.format() != format || image.width() != cols ||
      image.height() != rows)
    return cv::Mat();
  if (image.constBits() != pixels.data) {
    cv::Mat(rows, cols, pixels.type(), const_cast<uchar*>(image.constBits()),
            static_cast<std::size_t>(image.bytesPerLine()))
        .copyTo(pixels);
  }
  if (format != QImage::Format_RGB32) return pixels;
  cv::Mat bgr;
  cv::cvtColor(pixels, bgr, cv::COLOR_BGRA2BGR);
  return bgr;
}

}  // namespace vistrel::codecs
