// The way through Qt for common PNG files, from any bytes: whenever it gives an image, that
// image must be exactly OpenCV's. Chunk checksums are mended before the test, so that the
// fuzzer reaches the chunk structure and the compressed data instead of stopping at checksums.

#include <QByteArray>
#include <opencv2/imgcodecs.hpp>

#include "commonpng.h"
#include "fuzzsupport.h"

namespace {

quint32 bigEndian32(const unsigned char* p) {
  return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}

void mendChecksums(QByteArray& bytes) {
  auto* p = reinterpret_cast<unsigned char*>(bytes.data());
  const std::size_t size = static_cast<std::size_t>(bytes.size());
  for (std::size_t at = 8; size >= 12 && at <= size - 12;) {
    const quint32 length = bigEndian32(p + at);
    if (length > size - at - 12) break;
    const quint32 crc = vistrel::codecs::pngCrc(p + at + 4, length + 4);
    for (int i = 0; i < 4; ++i)
      p[at + 8 + length + i] = static_cast<unsigned char>(crc >> (24 - 8 * i));
    at += 12 + length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzsupport::quietProcess();
  if (size < 1 || size > (1 << 20)) return 0;
  QByteArray bytes(reinterpret_cast<const char*>(data + 1), static_cast<int>(size - 1));
  if (data[0] & 1) mendChecksums(bytes);
  const int flags = (data[0] & 2) ? cv::IMREAD_GRAYSCALE : cv::IMREAD_UNCHANGED;
  const cv::Mat ours = vistrel::codecs::decodeCommonPng(
      reinterpret_cast<const unsigned char*>(bytes.constData()), size - 1, flags);
  if (ours.empty()) return 0;
  const cv::Mat theirs = cv::imdecode(cv::Mat(1, bytes.size(), CV_8U, bytes.data()), flags);
  fuzzsupport::require(!theirs.empty(), "decoded through Qt what OpenCV refuses");
  fuzzsupport::require(ours.type() == theirs.type() && ours.size() == theirs.size(),
                       "a different type or size from OpenCV's");
  fuzzsupport::require(cv::norm(ours, theirs, cv::NORM_INF) == 0, "different pixels from OpenCV's");
  return 0;
}
