// The way around OpenCV's codec module for common PNG files, from any bytes: whenever it decodes
// a file, the image must be exactly OpenCV's, and whenever it refuses one, OpenCV must too.
//
// Most inputs are made into PNG files that pass the structural check, so that libpng, ours and
// OpenCV's alike, sees them: a fuzzed header and ancillary chunks, and image data that is
// fuzzed before compression (filter bytes and lengths included) and sometimes after it
// (flipped, cut, split across chunks), all with correct checksums. The rest are taken as they
// come, with or without their checksums mended.

#include <QByteArray>
#include <QtEndian>
#include <algorithm>
#include <opencv2/imgcodecs.hpp>

#include "commonpng.h"
#include "fuzzsupport.h"
#include "testing/pngbytes.h"

namespace {

using pngbytes::be32;

void mendChecksums(QByteArray& bytes) {
  auto* p = reinterpret_cast<unsigned char*>(bytes.data());
  const std::size_t size = static_cast<std::size_t>(bytes.size());
  for (std::size_t at = 8; size >= 12 && at <= size - 12;) {
    const quint32 length = qFromBigEndian<quint32>(p + at);
    if (length > size - at - 12) break;
    bytes.replace(int(at + 8 + length), 4, be32(vistrel::codecs::pngCrc(p + at + 4, length + 4)));
    at += 12 + length;
  }
}

QByteArray madePng(FuzzedDataProvider& in) {
  const quint32 width = in.ConsumeIntegralInRange<quint32>(1, 40);
  const quint32 height = in.ConsumeIntegralInRange<quint32>(1, 40);
  const char colourType = in.PickValueInArray({0, 2, 6, 0, 2, 6, 3, 4});
  const char depth = in.ConsumeIntegralInRange(0, 9) == 0 ? 16 : 8;
  const bool interlaced = in.ConsumeBool();
  QByteArray file =
      pngbytes::signature() + pngbytes::header(width, height, depth, colourType, interlaced);
  for (int n = in.ConsumeIntegralInRange(0, 2); n > 0; --n) {
    const char* type =
        in.PickValueInArray({"gAMA", "sRGB", "pHYs", "tEXt", "cHRM", "iCCP", "tRNS"});
    const std::string data = in.ConsumeRandomLengthString(40);
    file += pngbytes::chunk(type, QByteArray(data.data(), int(data.size())));
  }
  // The uncompressed image data: rows of a filter byte and the pixels (of the seven passes of
  // an interlaced file), mostly of the right length and with valid filter types, so that many
  // files decode and the rest fail in every way libpng can fail.
  const int channels = colourType == 0 ? 1 : colourType == 2 ? 3 : colourType == 6 ? 4 : 2;
  const int bytesPerPixel = channels * depth / 8;
  std::vector<int> rowStarts;
  int exact = 0;
  for (const pngbytes::Pass& p : pngbytes::passes(interlaced)) {
    const int passWidth = (int(width) - p.x0 + p.dx - 1) / p.dx;
    const int passHeight = (int(height) - p.y0 + p.dy - 1) / p.dy;
    if (passWidth <= 0 || passHeight <= 0) continue;
    for (int y = 0; y < passHeight; ++y, exact += 1 + passWidth * bytesPerPixel)
      rowStarts.push_back(exact);
  }
  const int change = in.ConsumeIntegralInRange(0, 3) == 0 ? in.ConsumeIntegralInRange(-3, 3) : 0;
  const int length = std::max(0, exact + change);
  QByteArray raw(length, '\0');
  const std::string fill = in.ConsumeBytesAsString(std::size_t(length));
  for (int i = 0; i < length && !fill.empty(); ++i) raw[i] = fill[std::size_t(i) % fill.size()];
  if (in.ConsumeIntegralInRange(0, 3) != 0) {
    for (const int at : rowStarts)
      if (at < length) raw[at] = char(uchar(raw[at]) % 5);
  }
  QByteArray compressed = qCompress(raw, in.ConsumeIntegralInRange(0, 9)).mid(4);
  if (in.ConsumeIntegralInRange(0, 7) == 0 && !compressed.isEmpty()) {
    const int at = in.ConsumeIntegralInRange(0, int(compressed.size()) - 1);
    compressed[at] = char(compressed[at] ^ in.ConsumeIntegralInRange(1, 255));
  }
  if (in.ConsumeIntegralInRange(0, 9) == 0)
    compressed.chop(in.ConsumeIntegralInRange(0, int(compressed.size())));
  // One or more chunks of image data.
  while (!compressed.isEmpty()) {
    const int piece = in.ConsumeIntegralInRange(1, int(compressed.size()));
    file += pngbytes::chunk("IDAT", compressed.left(piece));
    compressed.remove(0, piece);
  }
  return file + pngbytes::chunk("IEND", {});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzsupport::quietProcess();
  if (size > (1 << 20)) return 0;
  FuzzedDataProvider in(data, size);
  const int flags = in.ConsumeBool() ? cv::IMREAD_GRAYSCALE : cv::IMREAD_UNCHANGED;
  QByteArray bytes;
  const int origin = in.ConsumeIntegralInRange(0, 7);
  if (origin < 2) {
    const std::string rest = in.ConsumeRemainingBytesAsString();
    bytes = QByteArray(rest.data(), int(rest.size()));
    if (origin == 1) mendChecksums(bytes);
  } else {
    bytes = madePng(in);
  }
  cv::Mat ours;
  const vistrel::codecs::PngOutcome outcome =
      vistrel::codecs::decodeCommonPng(reinterpret_cast<const unsigned char*>(bytes.constData()),
                                       std::size_t(bytes.size()), flags, ours);
  if (outcome == vistrel::codecs::PngOutcome::NotCommon) return 0;
  const cv::Mat theirs = cv::imdecode(cv::Mat(1, bytes.size(), CV_8U, bytes.data()), flags);
  if (outcome == vistrel::codecs::PngOutcome::Refused) {
    fuzzsupport::require(theirs.empty(), "refused what OpenCV decodes");
    return 0;
  }
  fuzzsupport::require(!theirs.empty(), "decoded what OpenCV refuses");
  fuzzsupport::require(ours.type() == theirs.type() && ours.size() == theirs.size(),
                       "a different type or size from OpenCV's");
  fuzzsupport::require(cv::norm(ours, theirs, cv::NORM_INF) == 0, "different pixels from OpenCV's");
  return 0;
}
