#pragma once

#include <QPixmap>
#include <opencv2/core.hpp>

namespace wheelhost {

// The grey pixels of a pixmap the plug-in made from a grey image (a new CV_8UC1 matrix). The
// pixmap may hold them as indexed, grey or 32-bit colour pixels; for colour, where the three
// channels of a grey image are equal, the blue one is taken. A null pixmap gives an empty
// matrix. Needs the QGuiApplication that every pixmap needs.
cv::Mat greyFromPixmap(const QPixmap& pixmap);

}  // namespace wheelhost
