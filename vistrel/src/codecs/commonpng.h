#pragma once

#include <cstddef>
#include <cstdint>
#include <opencv2/core.hpp>

namespace vistrel::codecs {

// Decodes the PNG files that cameras and OpenCV write most, 8-bit grey, RGB or RGBA without
// palette or transparency key, through Qt's PNG reader, to exactly what
// cv::imdecode(bytes, flags) gives:
// - cv::IMREAD_UNCHANGED: CV_8UC1 (grey), CV_8UC3 (BGR) or CV_8UC4 (BGRA);
// - cv::IMREAD_GRAYSCALE: CV_8UC1, for grey files only (OpenCV's own conversion of colour
//   files to grey is left to it).
// A new matrix. Returns an empty matrix for every other file and flag, so that the caller hands
// it to OpenCV and OpenCV's answer, a refusal included, stands.
//
// Only files whose decoding cannot differ take this way: every chunk whole with a correct
// checksum (libpng checks those of the image data), nothing but IHDR, the image data, IEND
// and, before the image data, ancillary chunks that change no pixel in either reader (pHYs,
// text, tIME, and the colour-space chunks gAMA, cHRM, sRGB and iCCP, which neither applies),
// and a size within OpenCV's reading limits.
cv::Mat decodeCommonPng(const unsigned char* bytes, std::size_t size, int flags);

// The CRC-32 of PNG chunks (ISO 3309, as zlib computes it) over [data, data + size), continuing
// from `crc` (the CRC of what came before; 0 to start).
std::uint32_t pngCrc(const unsigned char* data, std::size_t size, std::uint32_t crc = 0);

}  // namespace vistrel::codecs
