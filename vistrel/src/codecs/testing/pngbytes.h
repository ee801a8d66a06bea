#pragma once

// PNG files written by hand, byte by byte: for the tests and the fuzz target of PNG decoding.

#include <QByteArray>
#include <vector>

#include "commonpng.h"

namespace pngbytes {

inline QByteArray be32(quint32 v) {
  const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
  return QByteArray(b, 4);
}

inline QByteArray signature() { return QByteArray("\x89PNG\r\n\x1a\n", 8); }

// A chunk: its length, type, data and checksum.
inline QByteArray chunk(const char* type, const QByteArray& data) {
  const QByteArray body = QByteArray(type, 4) + data;
  return be32(quint32(data.size())) + body +
         be32(vistrel::codecs::pngCrc(reinterpret_cast<const unsigned char*>(body.constData()),
                                      std::size_t(body.size())));
}

// The IHDR chunk.
inline QByteArray header(quint32 width, quint32 height, int depth, int colourType,
                         bool interlaced) {
  return chunk("IHDR", be32(width) + be32(height) + QByteArray(1, char(depth)) +
                           QByteArray(1, char(colourType)) + QByteArray(2, '\0') +
                           QByteArray(1, interlaced ? 1 : 0));
}

// The passes of the image data: pixels x0 + i dx of rows y0 + j dy. One for a plain file, the
// seven of Adam7 for an interlaced one (a pass without pixels has no rows at all).
struct Pass {
  int x0, y0, dx, dy;
};
inline const std::vector<Pass>& passes(bool interlaced) {
  static const std::vector<Pass> adam7 = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                          {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  static const std::vector<Pass> plain = {{0, 0, 1, 1}};
  return interlaced ? adam7 : plain;
}

}  // namespace pngbytes
