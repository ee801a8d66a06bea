#pragma once

#include <QString>
#include <QStringList>
#include <opencv2/core.hpp>

namespace wheelhost {

// Natural order of file names, as people number their files: "img2" before "img10", letters
// without regard to case. A strict weak order.
bool naturalLess(const QString& a, const QString& b);

// True for the file names wheelhost reads as images: .png .jpg .jpeg .bmp .dib .tif .tiff, in
// any letter case.
bool isImageFileName(const QString& fileName);

// Reads an image file as 8-bit with 1, 3 (BGR) or 4 (BGRA) channels: 16-bit images are scaled
// to 8 bits, grey+alpha keeps the grey. Multi-page TIFF: the first page. Returns an empty
// matrix and sets `problem` (without the path) when the file is missing, unreadable, not an
// image or of an unsupported depth. Reads through Qt, so any path the system can open works.
cv::Mat readImageFile(const QString& path, QString* problem);

// The image as the host delivers it: CV_8UC1 stays grey (format 1), colour becomes CV_8UC4
// (BGRA, format 4). Shares pixels when no conversion is needed.
cv::Mat toDelivered(const cv::Mat& image);

// The grey image the analysis works on: the image itself when grey, else its first channel (a
// new matrix).
cv::Mat analysedGrey(const cv::Mat& image);

// Writes an 8-bit image; the extension picks the format. Returns false and sets `problem`.
bool writeImageFile(const QString& path, const cv::Mat& image, QString* problem);

// Lists the image files named by `inputs`: anything that is not a folder as given (also when it
// does not exist: reading it then reports the problem), folders expanded to their image files
// in natural name order (img2 before img10), sub-folders too when `recursive`. A folder without
// image files is reported in `problems`.
QStringList collectImageFiles(const QStringList& inputs, bool recursive, QStringList* problems);

}  // namespace wheelhost
