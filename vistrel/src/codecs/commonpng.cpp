#include "commonpng.h"

#include <png.h>
#include <zlib.h>

#if defined(VISTREL_HAVE_LIBDEFLATE)
#include <libdeflate.h>
#endif

#include <cstdlib>
#include <cstring>
#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/imgcodecs.hpp>  // flag values
#include <opencv2/imgproc.hpp>
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
  bool interlaced = false;
  bool ancillary = false;  // any chunk besides IHDR, IDAT and IEND
  struct Piece {
    const unsigned char* data;
    std::uint32_t length;
  };
  std::vector<Piece> imageData;  // the IDAT chunks' data, in order
  std::size_t imageDataBytes = 0;
  int channels() const { return colourType == 0 ? 1 : colourType == 2 ? 3 : 4; }
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
      header->interlaced = data[12] == 1;
      const bool eightBit = data[8] == 8;
      const bool plain =
          header->colourType == 0 || header->colourType == 2 || header->colourType == 6;
      if (!eightBit || !plain || data[10] != 0 || data[11] != 0 || data[12] > 1) return false;
      state = kBeforeData;
    } else if (typeIs(type, "IDAT")) {
      if (state != kBeforeData && state != kInData) return false;
      state = kInData;
      header->imageDataBytes += length;
      header->imageData.push_back({data, length});
    } else if (typeIs(type, "IEND")) {
      if (state != kInData || length != 0) return false;
      state = kEnded;
    } else if (state != kBeforeData || !isInertAncillary(type) || length > kMaxAncillary) {
      return false;
    } else {
      header->ancillary = true;
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
  return pixels * std::uint64_t(header->channels()) <= 1032 * std::uint64_t(header->imageDataBytes);
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

#if defined(VISTREL_HAVE_LIBDEFLATE)
#if CV_SIMD128
// The running sum, modulo 256, of each byte with those a multiple of B bytes before it within
// the block, in log steps. Of a block holding one pixel at its start: that pixel in every place.
template <int B>
cv::v_uint8x16 runningSum(cv::v_uint8x16 x) {
  x = cv::v_add_wrap(x, cv::v_rotate_left<B>(x));
  x = cv::v_add_wrap(x, cv::v_rotate_left<2 * B>(x));
  if constexpr (4 * B < 16) x = cv::v_add_wrap(x, cv::v_rotate_left<4 * B>(x));
  if constexpr (8 * B < 16) x = cv::v_add_wrap(x, cv::v_rotate_left<8 * B>(x));
  return x;
}

// Sub undone for B bytes a pixel, a block of whole pixels at a time (sixteen bytes, or twelve
// for three-byte pixels): the block's running sum plus the pixel left of it, which is carried
// in a register as the last block's last pixel. Returns how far it got; the rest is left.
template <int B>
std::size_t subBlocks(const unsigned char* in, unsigned char* out, std::size_t n) {
  constexpr int kStep = B == 3 ? 12 : 16;
  const cv::v_uint8x16 firstPixel(255, B > 1 ? 255 : 0, B > 1 ? 255 : 0, B > 3 ? 255 : 0, 0, 0, 0,
                                  0, 0, 0, 0, 0, 0, 0, 0, 0);
  if (n < 16 + B) return 0;
  for (int k = 0; k < B; ++k) out[k] = in[k];  // forwards: `in` may overlap `out` just ahead
  cv::v_uint8x16 left = runningSum<B>(cv::v_load(out) & firstPixel);  // loads in-row bytes only
  std::size_t i = B;
  for (; i + 16 <= n; i += kStep) {
    const cv::v_uint8x16 x = cv::v_add_wrap(runningSum<B>(cv::v_load(in + i)), left);
    if constexpr (kStep == 16) {
      cv::v_store(out + i, x);
    } else {  // twelve bytes: the next block starts right after them
      cv::v_store_low(out + i, x);
      const std::uint32_t last4 = cv::v_extract_n<2>(cv::v_reinterpret_as_u32(x));
      std::memcpy(out + i + 8, &last4, 4);
    }
    left = runningSum<B>(cv::v_rotate_right<kStep - B>(x) & firstPixel);
  }
  return i;
}
#endif

// The Sub filter undone: each byte plus the one `b` bytes before it, a running sum along the row
// per byte of a pixel. `in` may run ahead of `out` in the same buffer.
void subRow(const unsigned char* in, unsigned char* out, std::size_t n, std::size_t b) {
  std::size_t i = 0;
#if CV_SIMD128
  if (b == 1) i = subBlocks<1>(in, out, n);
  if (b == 3) i = subBlocks<3>(in, out, n);
  if (b == 4) i = subBlocks<4>(in, out, n);
#endif
  for (; i < n; ++i) out[i] = static_cast<unsigned char>(in[i] + (i >= b ? out[i - b] : 0));
}

// The rows' filters undone in place (PNG's five filter types; `bpp` bytes a pixel): `raw` holds
// rows of a filter byte and `rowBytes` bytes; row y ends up at raw + y rowBytes, so the image
// lies at the buffer's start without the filter bytes. Each row is read ahead of where it is
// written, and the row above is already in place. False on an unknown filter type.
bool unfilterInPlace(unsigned char* raw, int rows, std::size_t rowBytes, int bpp) {
  const unsigned char* up = nullptr;
  for (int y = 0; y < rows; ++y) {
    const unsigned char* in = raw + std::size_t(y) * (rowBytes + 1);
    unsigned char* out = raw + std::size_t(y) * rowBytes;
    const int filter = in[0];
    ++in;
    const std::size_t n = rowBytes, b = std::size_t(bpp);
    switch (filter) {
      case 0:
        std::memmove(out, in, n);
        break;
      case 1:  // Sub
        subRow(in, out, n, b);
        break;
      case 2:  // Up
        for (std::size_t i = 0; i < n; ++i)
          out[i] = static_cast<unsigned char>(in[i] + (up ? up[i] : 0));
        break;
      case 3:  // Average
        for (std::size_t i = 0; i < n; ++i) {
          const int left = i >= b ? out[i - b] : 0, above = up ? up[i] : 0;
          out[i] = static_cast<unsigned char>(in[i] + ((left + above) >> 1));
        }
        break;
      case 4:  // Paeth
        for (std::size_t i = 0; i < n; ++i) {
          const int a = i >= b ? out[i - b] : 0, c = (up && i >= b) ? up[i - b] : 0;
          const int bb = up ? up[i] : 0;
          const int p = a + bb - c, pa = std::abs(p - a), pb = std::abs(p - bb),
                    pc = std::abs(p - c);
          const int pred = (pa <= pb && pa <= pc) ? a : (pb <= pc ? bb : c);
          out[i] = static_cast<unsigned char>(in[i] + pred);
        }
        break;
      default:
        return false;
    }
    up = out;
  }
  return true;
}

// The plainest files, IHDR, IDAT and IEND only and not interlaced, decoded without libpng:
// libdeflate inflates about 1.7 times as fast as zlib. Only a file libpng would read without a
// word takes this way: image data checksums right, one zlib stream (its window large enough
// for the data, its own checksum right) that fills the rows exactly and ends with the image
// data, and known filter types. Anything else returns false and goes to libpng, which then
// says what it says of it.
bool decodeWithoutLibpng(const Header& h, cv::Mat& image) {
  if (h.ancillary || h.interlaced || h.imageData.empty()) return false;
  for (const Header::Piece& piece : h.imageData) {
    if (pngCrc(piece.data - 4, piece.length + 4) != bigEndian32(piece.data + piece.length))
      return false;
  }
  const std::size_t compressedBytes = h.imageDataBytes;
  const int channels = h.channels();
  std::vector<unsigned char> joined;
  const unsigned char* stream = h.imageData[0].data;
  if (h.imageData.size() > 1) {
    joined.reserve(compressedBytes);
    for (const Header::Piece& piece : h.imageData)
      joined.insert(joined.end(), piece.data, piece.data + piece.length);
    stream = joined.data();
  }
  const int rows = static_cast<int>(h.height), cols = static_cast<int>(h.width);
  const std::size_t rowBytes = std::size_t(cols) * std::size_t(channels);
  const std::size_t rawBytes = std::size_t(rows) * (rowBytes + 1);
  // zlib's inflate, in libpng, refuses back references beyond the window the stream declares;
  // libdeflate does not look. A declared window that covers all the data makes them agree.
  const int windowLog = compressedBytes >= 2 ? (stream[0] >> 4) + 8 : 99;
  if (windowLog > 15 || (windowLog < 15 && (std::size_t(1) << windowLog) < rawBytes)) return false;
  cv::Mat buffer(1, static_cast<int>(rawBytes), CV_8UC1);
  libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
  if (inflater == nullptr) return false;
  std::size_t used = 0, produced = 0;
  const libdeflate_result result = libdeflate_zlib_decompress_ex(
      inflater, stream, compressedBytes, buffer.data, rawBytes, &used, &produced);
  libdeflate_free_decompressor(inflater);
  if (result != LIBDEFLATE_SUCCESS || used != compressedBytes || produced != rawBytes) return false;
  if (!unfilterInPlace(buffer.data, rows, rowBytes, channels)) return false;
  // The rows now start the buffer: a view of them, owning the buffer with it.
  image =
      buffer.colRange(0, static_cast<int>(std::size_t(rows) * rowBytes)).reshape(channels, rows);
  if (channels == 3) cv::cvtColor(image, image, cv::COLOR_RGB2BGR);
  if (channels == 4) cv::cvtColor(image, image, cv::COLOR_RGBA2BGRA);
  return true;
}
#endif

}  // namespace

std::uint32_t pngCrc(const unsigned char* data, std::size_t size, std::uint32_t crc) {
  return static_cast<std::uint32_t>(crc32_z(crc, data, size));
}

PngOutcome decodeCommonPng(const unsigned char* bytes, std::size_t size, int flags,
                           cv::Mat& image) {
  if (flags != cv::IMREAD_UNCHANGED && flags != cv::IMREAD_GRAYSCALE) return PngOutcome::NotCommon;
  Header header;
  if (bytes == nullptr || !readStructure(bytes, size, &header)) return PngOutcome::NotCommon;
  if (flags == cv::IMREAD_GRAYSCALE && header.colourType != 0) return PngOutcome::NotCommon;

#if defined(VISTREL_HAVE_LIBDEFLATE)
  if (decodeWithoutLibpng(header, image)) return PngOutcome::Decoded;
#endif
  const int channels = header.channels();
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
