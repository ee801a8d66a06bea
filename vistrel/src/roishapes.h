#pragma once

// The shape records of a DetectRoi. Each takes its defining points (source coordinates), gives
// them back, adds its outline to the region's convex hull, and rasterises itself into a mask
// canvas in ROI image coordinates.
//
// draw() arguments, shared by every shape:
//   canvas    8-bit single-channel, the ROI image's size;
//   tl        top-left of the region's bounding rectangle in the source image;
//   transMat  2x3 CV_64F, crop coordinates (source minus tl) to ROI image coordinates;
//   color     255 for a united shape, 0 for a removed one;
//   fracBit   fractional bits of the coordinates handed to OpenCV's drawing calls (their shift);
//             0 draws 8-connected, 1 or more anti-aliased.
// Records are never changed after the region has taken them, so regions may share them.

#include <opencv2/core.hpp>
#include <vector>

#include "vistrel/detectroi.h"

namespace vistrel {

class DetectRoi::ShapedRoiBase {
 public:
  virtual ~ShapedRoiBase() = default;

  // Defines the shape; false (record unchanged) when there are too few points.
  virtual bool setVertexes(const std::vector<cv::Point2f>& pts) = 0;
  // The defining points: setVertexes of them on a fresh record rebuilds the same shape.
  virtual std::vector<cv::Point2f> getVertexes() const = 0;
  // The stored point list. The circle-based shapes keep none: they report and return an empty
  // list.
  virtual std::vector<cv::Point2f>& vertexesRef() = 0;
  // The convex hull (counter-clockwise, points) of `hull` together with this shape's outline.
  virtual std::vector<cv::Point2f> mergeHull(const std::vector<cv::Point2f>& hull) const = 0;
  virtual void draw(cv::Mat& canvas, const cv::Point& tl, const cv::Mat& transMat,
                    const cv::Scalar& color, int fracBit) const = 0;
  // draw() into a canvas that holds nothing yet (every pixel 255 - color): the same pixels,
  // where a shape may spare the layer it otherwise combines through.
  virtual void drawOnEmpty(cv::Mat& canvas, const cv::Point& tl, const cv::Mat& transMat,
                           const cv::Scalar& color, int fracBit) const {
    draw(canvas, tl, transMat, color, fracBit);
  }

  ShapeType type = ShapeType::None;

 protected:
  explicit ShapedRoiBase(ShapeType t) : type(t) {}
  ShapedRoiBase(const ShapedRoiBase&) = default;
  ShapedRoiBase& operator=(const ShapedRoiBase&) = default;
};

class DetectRoi::RoiRectangle : public ShapedRoiBase {
 public:
  RoiRectangle() : ShapedRoiBase(ShapeType::Rectangle), vertexes(4) {}
  bool setVertexes(const std::vector<cv::Point2f>& pts) override;
  std::vector<cv::Point2f> getVertexes() const override;
  std::vector<cv::Point2f>& vertexesRef() override;
  std::vector<cv::Point2f> mergeHull(const std::vector<cv::Point2f>& hull) const override;
  void draw(cv::Mat& canvas, const cv::Point& tl, const cv::Mat& transMat, const cv::Scalar& color,
            int fracBit) const override;

  std::vector<cv::Point2f> vertexes;
};

class DetectRoi::RoiPolygon : public ShapedRoiBase {
 public:
  RoiPolygon() : ShapedRoiBase(ShapeType::Polygon) {}
  bool setVertexes(const std::vector<cv::Point2f>& pts) override;
  std::vector<cv::Point2f> getVertexes() const override;
  std::vector<cv::Point2f>& vertexesRef() override;
  std::vector<cv::Point2f> mergeHull(const std::vector<cv::Point2f>& hull) const override;
  void draw(cv::Mat& canvas, const cv::Point& tl, const cv::Mat& transMat, const cv::Scalar& color,
            int fracBit) const override;

  std::vector<cv::Point2f> vertexes;

 protected:
  explicit RoiPolygon(ShapeType t) : ShapedRoiBase(t) {}
};

// A mask image placed in the source image with its top-left pixel at `anchor`; `vertexes`
// outline it for the hull. The mask is placed, not rasterised: fracBit only chooses between a
// hard (values >= 100 count) and a soft (values blend) combination.
class DetectRoi::RoiMask : public RoiPolygon {
 public:
  RoiMask() : RoiPolygon(ShapeType::Mask) {}
  bool setVertexes(const std::vector<cv::Point2f>& pts) override;
  std::vector<cv::Point2f> getVertexes() const override;
  void draw(cv::Mat& canvas, const cv::Point& tl, const cv::Mat& transMat, const cv::Scalar& color,
            int fracBit) const override;

  cv::Point2f anchor;
  cv::Mat mask;  // CV_8UC1 or empty; a shared header
};

class DetectRoi::RoiCircle : public ShapedRoiBase {
 public:
  RoiCircle() : ShapedRoiBase(ShapeType::Circle) {}
  bool setVertexes(const std::vector<cv::Point2f>& pts) override;
  std::vector<cv::Point2f> getVertexes() const override;
  std::vector<cv::Point2f>& vertexesRef() override;
  std::vector<cv::Point2f> mergeHull(const std::vector<cv::Point2f>& hull) const override;
  void draw(cv::Mat& canvas, const cv::Point& tl, const cv::Mat& transMat, const cv::Scalar& color,
            int fracBit) const override;

  cv::Point2f center;
  float radius = 0.f;

 protected:
  explicit RoiCircle(ShapeType t) : ShapedRoiBase(t) {}
  // The filled disc of radius `r` about `center`, mapped through transMat (whose scale reaches
  // the radius).
  void drawDisc(cv::Mat& canvas, const cv::Point& tl, const cv::Mat& transMat,
                const cv::Scalar& color, int fracBit, float r) const;
};

// `radius` is the outer radius, never smaller than `innerRadius`.
class DetectRoi::RoiAnnulus : public RoiCircle {
 public:
  RoiAnnulus() : RoiCircle(ShapeType::Annulus) {}
  bool setVertexes(const std::vector<cv::Point2f>& pts) override;
  std::vector<cv::Point2f> getVertexes() const override;
  void draw(cv::Mat& canvas, const cv::Point& tl, const cv::Mat& transMat, const cv::Scalar& color,
            int fracBit) const override;
  void drawOnEmpty(cv::Mat& canvas, const cv::Point& tl, const cv::Mat& transMat,
                   const cv::Scalar& color, int fracBit) const override;

  float innerRadius = 0.f;

 protected:
  explicit RoiAnnulus(ShapeType t) : RoiCircle(t) {}
  bool setRadii(const std::vector<cv::Point2f>& pts);
};

// Angles in degrees from +x toward +y; startAngle <= endAngle (startAngle may be negative when
// the sector crosses the 0-degree direction).
class DetectRoi::RoiAnnulusSector : public RoiAnnulus {
 public:
  RoiAnnulusSector() : RoiAnnulus(ShapeType::AnnulusSector), sectorPoints(5) {}
  bool setVertexes(const std::vector<cv::Point2f>& pts) override;
  std::vector<cv::Point2f> getVertexes() const override;
  std::vector<cv::Point2f> mergeHull(const std::vector<cv::Point2f>& hull) const override;
  void draw(cv::Mat& canvas, const cv::Point& tl, const cv::Mat& transMat, const cv::Scalar& color,
            int fracBit) const override;

  std::vector<cv::Point2f> sectorPoints;  // the five points after the centre, as given
  float startAngle = 0.f;
  float endAngle = 0.f;
};

// semiAxis1 >= semiAxis2; axisPoint1 ends the longer semi-axis.
class DetectRoi::RoiEllipse : public ShapedRoiBase {
 public:
  RoiEllipse() : ShapedRoiBase(ShapeType::Ellipse) {}
  bool setVertexes(const std::vector<cv::Point2f>& pts) override;
  std::vector<cv::Point2f> getVertexes() const override;
  std::vector<cv::Point2f>& vertexesRef() override;
  std::vector<cv::Point2f> mergeHull(const std::vector<cv::Point2f>& hull) const override;
  void draw(cv::Mat& canvas, const cv::Point& tl, const cv::Mat& transMat, const cv::Scalar& color,
            int fracBit) const override;

  cv::Point2f center;
  cv::Point2f axisPoint1;
  cv::Point2f axisPoint2;
  float semiAxis1 = 0.f;
  float semiAxis2 = 0.f;
};

namespace roishape_detail {

// cv::convexHull (counter-clockwise, points) of `hull` followed by `extra`.
std::vector<cv::Point2f> convexHullOf(const std::vector<cv::Point2f>& hull,
                                      const std::vector<cv::Point2f>& extra);
// A 2x3 matrix (CV_64F or CV_32F) as a float Matx.
cv::Matx23f toMatx23f(const cv::Mat& m);
// 2^fracBit as float.
float fracScale(int fracBit);
// cv::LINE_8 below 1 fractional bit, cv::LINE_AA from 1 on.
int lineTypeFor(int fracBit);
// (p - tl) through transMat in float, then scaled by 2^fracBit and rounded.
std::vector<cv::Point> mapToDrawing(const std::vector<cv::Point2f>& pts, const cv::Point& tl,
                                    const cv::Mat& transMat, int fracBit);

// The similarity part of transMat as the ellipse-based shapes use it: the centre mapped like
// any point, lengths multiplied by `lengthScale`, angles (degrees) increased by `turn`.
struct Similarity {
  cv::Point2f center;  // mapped centre, ROI image coordinates
  float lengthScale = 1.f;
  float turn = 0.f;
};
Similarity similarityOf(const cv::Point2f& center, const cv::Point& tl, const cv::Mat& transMat);

// Canvas update of the annulus and sector: `shape` holds the ring drawn in `color` over
// 255 - color; removed shapes (color 0) are ANDed in, united ones ORed.
void combineRing(cv::Mat& canvas, const cv::Mat& shape, const cv::Scalar& color);

}  // namespace roishape_detail

}  // namespace vistrel
