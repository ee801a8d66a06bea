// DetectRoi: reading and writing a region with cv::FileStorage (YAML, XML or JSON).
#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <opencv2/core/persistence.hpp>
#include <string>

#include "roishapes.h"
#include "storagetext.h"
#include "vistrel/assert.h"

namespace vistrel {
namespace {

// Keys of the region mapping and of a shape entry.
constexpr char kAngle[] = "angle";
constexpr char kScale[] = "scale";
constexpr char kInterFlag[] = "interFlag";
constexpr char kBorderMode[] = "borderMode";
constexpr char kReserveSize[] = "reserveSize";
constexpr char kFracBit[] = "fracBit";
constexpr char kMaskOnly[] = "maskOnly";
constexpr char kAddRois[] = "addRois";
constexpr char kSubRois[] = "subRois";
constexpr char kType[] = "type";
constexpr char kVertexes[] = "vertexes";
constexpr char kMask[] = "mask";

void writeShapes(cv::FileStorage& fs, const char* key, const DetectRoi::ShapeList& shapes) {
  fs << key << "[";
  for (const auto& shape : shapes) {
    const bool carriesMask = shape->type == DetectRoi::ShapeType::Mask;
    // Shape entries are flow mappings, except those that carry a mask image: OpenCV writes a
    // matrix inside a YAML flow mapping in block form and then cannot read the file back. A
    // block mapping reads back in every format, and XML and JSON do not tell the two apart.
    fs << (carriesMask ? "{" : "{:");
    fs << kType << static_cast<int>(shape->type);
    fs << kVertexes << shape->getVertexes();
    if (carriesMask) {
      fs << kMask << static_cast<const DetectRoi::RoiMask&>(*shape).mask;
    }
    fs << "}";
  }
  fs << "]";
}

bool isNumber(const cv::FileNode& node) { return node.isInt() || node.isReal(); }

// The number under `key`, or `fallback` when the key is missing or holds something else (the
// latter is reported).
double readNumber(const cv::FileNode& region, const char* key, double fallback) {
  const cv::FileNode value = region[key];
  if (value.empty()) {
    return fallback;
  }
  return VISTREL_CHECK(isNumber(value)) ? value.real() : fallback;
}

// A float setting under `key`, as readNumber; a finite number beyond float is reported and
// gives `fallback` (one that is no number goes on to the setter, which reports it).
float readFloat(const cv::FileNode& region, const char* key, float fallback) {
  const double value = readNumber(region, key, fallback);
  return VISTREL_CHECK(!(std::fabs(value) > FLT_MAX)) ? static_cast<float>(value) : fallback;
}

// An integer setting under `key`: `fallback` when the key is missing, or (reported) when it
// holds something else or a number no int holds.
int readInteger(const cv::FileNode& region, const char* key, int fallback) {
  const double value = readNumber(region, key, fallback);
  return VISTREL_CHECK(value > INT_MIN - 1.0 && value < INT_MAX + 1.0) ? static_cast<int>(value)
                                                                       : fallback;
}

// The channel count of an OpenCV element type code such as "u", "3u" or "2f".
int channelsOf(const std::string& dt) {
  int n = 0;
  std::size_t i = 0;
  for (; i < dt.size() && i < 2 && dt[i] >= '0' && dt[i] <= '9'; ++i) n = n * 10 + (dt[i] - '0');
  return i == 0 ? 1 : n;
}

// A matrix node that says what it holds and holds that much: OpenCV allocates what "rows" and
// "cols" claim before it looks at the data.
bool plausibleMatrix(const cv::FileNode& node) {
  if (!node.isMap()) return false;
  const cv::FileNode rows = node["rows"], cols = node["cols"], dt = node["dt"], data = node["data"];
  if (!rows.isInt() || !cols.isInt() || !dt.isString()) {
    return false;
  }
  const int r = static_cast<int>(rows), c = static_cast<int>(cols);
  const int cn = channelsOf(static_cast<std::string>(dt));
  if (r < 0 || c < 0 || cn < 1) return false;
  // An empty matrix allocates nothing (XML writes its data as an empty string).
  return double(r) * c == 0 || (data.isSeq() && double(r) * c * cn == double(data.size()));
}

// Reads one shape entry; false when it cannot be read at all.
bool readShape(const cv::FileNode& entry, int& type, std::vector<cv::Point2f>& pts, cv::Mat& mask) {
  if (!VISTREL_CHECK(entry.isMap())) {
    return false;
  }
  const cv::FileNode typeNode = entry[kType];
  type = isNumber(typeNode) ? static_cast<int>(typeNode) : 0;
  const cv::FileNode vertexes = entry[kVertexes];
  if (!vertexes.empty()) {
    if (!VISTREL_CHECK(vertexes.isSeq() && vertexes.size() % 2 == 0)) {
      return false;
    }
    for (std::size_t i = 0; i + 1 < vertexes.size(); i += 2) {
      const cv::FileNode x = vertexes[static_cast<int>(i)];
      const cv::FileNode y = vertexes[static_cast<int>(i + 1)];
      if (!VISTREL_CHECK(isNumber(x) && isNumber(y))) {
        return false;
      }
      pts.emplace_back(static_cast<float>(x), static_cast<float>(y));
    }
  }
  if (type == static_cast<int>(DetectRoi::ShapeType::Mask)) {
    const cv::FileNode maskNode = entry[kMask];
    if (!maskNode.empty()) {
      if (!VISTREL_CHECK(plausibleMatrix(maskNode))) {
        return false;
      }
      maskNode >> mask;
    }
  }
  return true;
}

void readShapes(DetectRoi& roi, const cv::FileNode& list, bool united) {
  if (list.empty()) {
    return;
  }
  if (!VISTREL_CHECK(list.isSeq())) {
    return;
  }
  for (cv::FileNodeIterator it = list.begin(); it != list.end(); ++it) {
    int type = 0;
    std::vector<cv::Point2f> pts;
    cv::Mat mask;
    try {
      if (!readShape(*it, type, pts, mask)) {
        continue;
      }
    } catch (const cv::Exception&) {
      // A malformed matrix node: this entry is lost, the others are still read.
      VISTREL_REPORT("unreadable shape entry");
      continue;
    }
    const auto shapeType = static_cast<DetectRoi::ShapeType>(type);
    const cv::Mat* maskArg = shapeType == DetectRoi::ShapeType::Mask ? &mask : nullptr;
    if (united) {
      roi.addRoi(pts, shapeType, maskArg);
    } else {
      roi.subRoi(pts, shapeType, maskArg);
    }
  }
}

}  // namespace

bool DetectRoi::readText(const std::string& text, const std::string& key) {
  if (text.size() > kMaxTextBytes) {
    VISTREL_REPORT("region text over 16 MiB");
    return false;
  }
  // A NUL byte ends the text for parts of OpenCV's reader and not for others: it then reads
  // past the end. The report names the first line at fault, for whoever edited the file.
  const std::size_t fault = std::min(text.find('\0'), detail::storageTextFault(text));
  if (fault != std::string::npos) {
    const auto line = 1 + std::count(text.begin(), text.begin() + fault, '\n');
    const std::string report =
        "region text that the reader cannot take safely, at line " + std::to_string(line);
    VISTREL_REPORT(report.c_str());
    return false;
  }
  DetectRoi read;
  try {
    cv::FileStorage fs(text, cv::FileStorage::READ | cv::FileStorage::MEMORY);
    if (!fs.isOpened()) {
      VISTREL_REPORT("region text could not be opened");
      return false;
    }
    read.deserialize(fs[key]);
  } catch (const cv::Exception&) {
    VISTREL_REPORT("region text refused by the reader");
    return false;
  } catch (const std::exception&) {
    // OpenCV 4.6's reader throws std::length_error on some malformed text.
    VISTREL_REPORT("region text refused by the reader");
    return false;
  }
  *this = std::move(read);
  return true;
}

bool DetectRoi::serialize(cv::FileStorage& fs) const {
  if (angle_ != 0) {
    fs << kAngle << angle_;
  }
  if (scale_ != 1) {
    fs << kScale << scale_;
  }
  if (interFlag_ != 3) {
    fs << kInterFlag << interFlag_;
  }
  if (borderMode_ != 0) {
    fs << kBorderMode << borderMode_;
  }
  if (reserveSize_ != 0) {
    fs << kReserveSize << reserveSize_;
  }
  if (fracBit_ != 0) {
    fs << kFracBit << fracBit_;
  }
  if (maskOnly_) {
    fs << kMaskOnly << 1;
  }
  writeShapes(fs, kAddRois, addRois_);
  writeShapes(fs, kSubRois, subRois_);
  return true;
}

bool DetectRoi::deserialize(const cv::FileNode& node) {
  clear();
  const DetectRoi defaults;
  angle_ = defaults.angle_;
  scale_ = defaults.scale_;
  interFlag_ = defaults.interFlag_;
  borderMode_ = defaults.borderMode_;
  reserveSize_ = defaults.reserveSize_;
  fracBit_ = defaults.fracBit_;
  maskOnly_ = defaults.maskOnly_;
  if (node.empty()) {
    return true;
  }
  if (!VISTREL_CHECK(node.isMap())) {
    return true;
  }
  // Through the setters, so that a value they refuse is reported and the default stays.
  setAngle(readFloat(node, kAngle, defaults.angle_));
  setScale(readFloat(node, kScale, defaults.scale_));
  setInterFlag(readInteger(node, kInterFlag, defaults.interFlag_));
  setBorderMode(readInteger(node, kBorderMode, defaults.borderMode_));
  setReserveSize(readInteger(node, kReserveSize, defaults.reserveSize_));
  setFracBit(readInteger(node, kFracBit, defaults.fracBit_));
  maskOnly_ = readInteger(node, kMaskOnly, 0) != 0;
  readShapes(*this, node[kAddRois], true);
  readShapes(*this, node[kSubRois], false);
  needUpdate_ = true;
  return true;
}

}  // namespace vistrel
