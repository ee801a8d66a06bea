#pragma once

#include <cstddef>
#include <cstdint>
#include <opencv2/core.hpp>

namespace vistrel::codecs {

enum class PngOutcome {
  NotCommon,  // not a file of the kinds below: OpenCV's to decode
  Decoded,    // the image is set
  Refused,    // libpng refused the file and printed why, as it does for OpenCV
};

// Decodes the PNG files that cameras and OpenCV write most, 8-bit grey, RGB or RGBA without
// palette or transparency key, with libpng, to exactly what cv::imdecode(bytes, flags) gives:
// - cv::IMREAD_UNCHANGED: CV_8UC1 (grey), CV_8UC3 (BGR) or CV_8UC4 (BGRA);
// - cv::IMREAD_GRAYSCALE: CV_8UC1, for grey files only (OpenCV's own conversion of colour
//   files to grey is left to it).
// `image` becomes a new matrix when the outcome is Decoded and is untouched otherwise.
//
// OpenCV decodes PNG with the same libpng, with libpng's own error and warning messages; this is
// that decoding without loading OpenCV's codec module. The plainest files (IHDR, IDAT and IEND
// only, not interlaced, nothing in them libpng would remark on) are inflated with libdeflate
// and unfiltered here instead, about a quarter to a third faster: for a valid file PNG leaves
// no choice in the result. Only files whose decoding cannot differ
// take this way: every chunk whole with a correct checksum (libpng checks those of the image
// data), nothing but IHDR, the image data, IEND and, before the image data, ancillary chunks
// that change no pixel unless the reader asks libpng to (pHYs, text, tIME, and the colour-space
// chunks gAMA, cHRM, sRGB and iCCP), and a size within OpenCV's and libpng's reading limits.
PngOutcome decodeCommonPng(const unsigned char* bytes, std::size_t size, int flags, cv::Mat& image);

// The CRC-32 of PNG chunks (ISO 3309, as zlib computes it) over [data, data + size), continuing
// from `crc` (the CRC of what came before; 0 to start).
std::uint32_t pngCrc(const unsigned char* data, std::size_t size, std::uint32_t crc = 0);

}  // namespace vistrel::codecs
