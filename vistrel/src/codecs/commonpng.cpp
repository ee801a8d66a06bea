#include "commonpng.h"

#include <png.h>

#include <array>
#include <cstring>
#include <opencv2/imgcodecs.hpp>  // flag values
#include <vector>

namespace vistrel::codecs {
namespace {

std::uint32_t bigEndian32(const unsigned char* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
         std::uint32_t(p[3]);
}

bool typeIs(const unsigned char* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

// Chunks that change no pixel unless the reader asks libpng to transform (OpenCV does not).
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

// Far below what libpng keeps of an ancillary chunk by default (8 MB).
constexpr std::uint32_t kMaxAncillary = 1 << 16;

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
    } else if (state != kBeforeData || !isInertAncillary(type) || length > kMaxAncillary) {
      return false;
    }
    at += 12 + length;
  }
  // OpenCV refuses images beyond 2^20 pixels a side or 2^30 in all, and libpng beyond 10^6 a
  // side unless told otherwise; leave such files to them.
  const std::uint64_t kMaxSide = 1000000, kMaxPixels = 1u << 30;
  const std::uint64_t pixels = std::uint64_t(header->width) * header->height;
  if (header->width < 1 || header->height < 1 || header->width > kMaxSide ||
      header->height > kMaxSide || pixels > kMaxPixels)
    return false;
  // Deflate expands at most 1032-fold. A file whose image data cannot hold its pixels is
  // broken: refused before the whole image it claims (gigabytes from a few bytes) is allocated.
  const std::uint64_t channels = header->colourType == 0 ? 1 : header->colourType == 2 ? 3 : 4;
  return pixels * channels <= 1032 * imageDataBytes;
}

// The file in memory, as libpng reads it.
struct MemoryInput {
  const unsigned char* data;
  std::size_t size, at;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t count) {
  auto* in = static_cast<MemoryInput*>(png_get_io_ptr(png));
  // The chunk structure was checked whole, so libpng never asks beyond the end.
  if (count > in->size - in->at) png_error(png, "Read Error");
  std::memcpy(out, in->data + in->at, count);
  in->at += count;
}

// libpng leaves through longjmp on an error, so only plain data lives in this frame. The file is
// read to its end, as a reader that checks the image data's own checksum must.
bool readRows(png_structp png, png_infop info, unsigned char** rows, bool colour) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  if (colour) png_set_bgr(png);  // OpenCV's channel order
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  png_read_image(png, rows);
  png_read_end(png, nullptr);
  return true;
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

PngOutcome decodeCommonPng(const unsigned char* bytes, std::size_t size, int flags,
                           cv::Mat& image) {
  if (flags != cv::IMREAD_UNCHANGED && flags != cv::IMREAD_GRAYSCALE) return PngOutcome::NotCommon;
  Header header;
  if (bytes == nullptr || !readStructure(bytes, size, &header)) return PngOutcome::NotCommon;
  if (flags == cv::IMREAD_GRAYSCALE && header.colourType != 0) return PngOutcome::NotCommon;

  const int channels = header.colourType == 0 ? 1 : header.colourType == 2 ? 3 : 4;
  cv::Mat pixels(static_cast<int>(header.height), static_cast<int>(header.width), CV_8UC(channels));
  std::vector<unsigned char*> rows(static_cast<std::size_t>(pixels.rows));
  for (int y = 0; y < pixels.rows; ++y) rows[static_cast<std::size_t>(y)] = pixels.ptr(y);
  // libpng's own error and warning handlers, as OpenCV leaves them: the same messages.
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return PngOutcome::NotCommon;
  png_infop info = png_create_info_struct(png);
  const bool started = info != nullptr;
  MemoryInput input{bytes, size, 0};
  bool read = false;
  if (started) {
    png_set_read_fn(png, &input, readFromMemory);
    read = readRows(png, info, rows.data(), channels > 1);
  }
  png_destroy_read_struct(&png, started ? &info : nullptr, nullptr);
  if (!started) return PngOutcome::NotCommon;
  if (!read) return PngOutcome::Refused;
  image = pixels;
  return PngOutcome::Decoded;
}

}  // namespace vistrel::codecs
