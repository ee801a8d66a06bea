#pragma once

// DetectRoi: where in a source image a detector is to look.
//
// A region is the union of its united shapes (addRoi) minus its removed shapes (subRoi),
// optionally turned by an angle and scaled. From a source image it yields
//   - the ROI image: the crop of the region's integer bounding rectangle (roiRect), warped by
//     transMat when the region is turned; and
//   - its mask: 8-bit, ROI image size, 255 inside the region and 0 outside, or an empty matrix
//     when every pixel of the ROI image is inside (one axis-aligned rectangle, nothing removed).
// Coordinates found in the ROI image go back to the source image with toImage; source
// coordinates go into the ROI image with toRoi.
//
// Frames: "source" is the image handed to getRoiImage; "crop" is source minus the top-left of
// roiRect; "ROI image" is crop mapped through transMat (identity when the angle is 0).
// All coordinates are pixels, x to the right, y downwards; angles are degrees.
//
// The derived geometry (roiRect, roiSize, transMat, invTransMat) is computed on demand by
// updateTransform and cached until a change. The getters therefore mutate the region: one
// instance serves one thread at a time. Copies share their shape records (shapes never change
// after they are added) and their transform matrices.
//
// A typical use, an annulus around a point:
//   vistrel::DetectRoi roi;
//   roi.addRoi({c, c + cv::Point2f(0, rMin), c + cv::Point2f(0, rMax)},
//              vistrel::DetectRoi::ShapeType::Annulus);
//   cv::Mat mask;
//   cv::Mat roiImage = roi.getRoiImage(image, &mask);   // a view into `image` when possible
//   ... find x, y in roiImage ...
//   roi.toImage(x, y);                                   // back to source coordinates

#include <cstdint>
#include <memory>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "vistrel/export.h"
#include "vistrel/moduleregistry.h"

namespace vistrel {

class VISTREL_EXPORT DetectRoi : public IVistrelModuleInstance {
 public:
  // Shape codes; the numbers are stored in region files and must not change.
  enum class ShapeType : std::int32_t {
    None = 0,           // never accepted
    Rectangle = 1,      // 4 corner points (more are ignored)
    Polygon = 2,        // 3 or more points, closed implicitly
    Circle = 3,         // centre, a point on the circle
    Annulus = 4,        // centre, two points at the two radii (either order)
    AnnulusSector = 5,  // centre, then 5 points: p1 and p2 at the two radii on the start ray,
                        // p3 free (kept, unused), p4 on the end ray, p5 (kept, hull only);
                        // the sector runs from the start ray to the end ray by increasing angle
    Ellipse = 6,        // centre, end points of the two semi-axes (either order)
    Mask = 7,           // anchor (source position of the mask's top-left pixel), then 3 or
                        // more outline points; the mask image is passed separately
  };

  // The shape records (defined in the library's roishapes.h).
  class ShapedRoiBase;
  class RoiRectangle;
  class RoiPolygon;
  class RoiMask;
  class RoiCircle;
  class RoiAnnulus;
  class RoiAnnulusSector;
  class RoiEllipse;
  using ShapeList = std::vector<std::shared_ptr<ShapedRoiBase>>;

  DetectRoi();
  ~DetectRoi() override;
  DetectRoi(const DetectRoi&);
  DetectRoi& operator=(const DetectRoi&);
  DetectRoi(DetectRoi&&) noexcept;
  DetectRoi& operator=(DetectRoi&&) noexcept;

  // --- Region content -------------------------------------------------------------------

  // Removes every shape and the derived geometry; the settings stay.
  virtual void clear();
  // True when there are neither united nor removed shapes.
  virtual bool empty() const;

  // Turns the ROI image so that `direction` (measured from +y toward +x) points down the
  // ROI image's +y axis: angle = fastAtan2(direction.x, direction.y).
  virtual void setAngle(const cv::Point2f& direction);
  // Turn of the ROI image in degrees; 0 means no warp.
  virtual void setAngle(float degrees);
  // Scale of the ROI image; used only when the angle is not 0. Must be above 0 (reported, the
  // old value is kept).
  virtual void setScale(float scale);
  // Margin in pixels around the region's bounding box; used only when above 0. A margin above
  // 2^24 is reported and the old value is kept.
  virtual void setReserveSize(int size);

  // Adds a united (addRoi) or removed (subRoi) shape built from `pts` in source coordinates
  // (see ShapeType for what each takes). `mask` is needed by ShapeType::Mask only: an 8-bit
  // single-channel image whose values of 100 or more count as inside; its header is kept,
  // so the pixels are shared, not copied. Returns false when nothing was added: a code outside
  // 1..7 (reported as "unexpected shape type"), too few points (silent), or an unusable mask
  // (reported), or a point that is not finite or lies beyond +-2^24 (reported). A region of
  // removed shapes only stays invalid: the united shapes define the bounding box.
  virtual bool addRoi(const std::vector<cv::Point2f>& pts, ShapeType type,
                      const cv::Mat* mask = nullptr);
  virtual bool subRoi(const std::vector<cv::Point2f>& pts, ShapeType type,
                      const cv::Mat* mask = nullptr);

  // --- ROI image and mask ---------------------------------------------------------------

  // setAngle(direction), then getRoiImage(image, mask).
  virtual cv::Mat getRoiImage(const cv::Mat& image, const cv::Point2f& direction,
                              cv::Mat* mask = nullptr);
  // setAngle(angle), then getRoiImage(image, mask).
  virtual cv::Mat getRoiImage(const cv::Mat& image, float angle, cv::Mat* mask = nullptr);
  // The ROI image of `image`. Unturned and inside the image: a view that shares the pixels of
  // `image`. Crossing the image border: a copy with 0 outside the image. Turned: a new image
  // warped with interFlag and borderMode. With maskOnly: `image` itself (shared).
  // `mask` (if given) receives getMask(image.size()).
  // An invalid region (empty, only removed shapes) returns `image` (shared) and an empty mask.
  // So does a region whose ROI image would be far larger than `image` (more than 16 times its
  // area plus 256 x 256 pixels; reported), which shows almost nothing of it.
  virtual cv::Mat getRoiImage(const cv::Mat& image, cv::Mat* mask = nullptr);

  // The mask in ROI image coordinates (roiSize, CV_8UC1, 255 inside, 0 outside; soft edges when
  // fracBit is above 0). Empty when needMask() is false (every pixel is inside) or the region
  // is invalid. `imageSize` matters only with maskOnly, where it is the ROI image size. Empty
  // too, after a report, for a mask far larger than the image (as getRoiImage).
  virtual cv::Mat getMask(const cv::Size& imageSize);
  // Whether the ROI image has pixels outside the region: false only for a single united
  // rectangle that is axis-aligned in the ROI image, with nothing removed, and not maskOnly.
  virtual bool needMask() const;

  // The source image as 8-bit BGRA with the region's mask (placed in the source frame) as
  // alpha: 255 inside the region, 0 outside. `image` must be 8-bit with 1, 3 or 4 channels;
  // otherwise reported, and an empty matrix is returned. A region that needs no mask, or an
  // invalid one, returns `image` itself (shared, same type).
  virtual cv::Mat highlightRoi(const cv::Mat& image);

  // The crop of `rect` from `image`: a view when `rect` lies inside the image; otherwise a new
  // zero image of the rectangle's size and the image's type with the part inside copied in.
  static cv::Mat cropImage(const cv::Mat& image, const cv::Rect& rect);

  // --- Coordinate mapping (no effect on an empty or invalid region) ---------------------

  // Adds the region's angle to an angle measured in the ROI image.
  virtual void toImage(float& angle);
  // Maps the centre and the angle of a rotated rectangle; its size is left as it is.
  virtual void toImage(cv::RotatedRect& rect);
  virtual void toImage(int& x, int& y);  // rounded to the nearest pixel
  virtual void toImage(double& x, double& y);
  virtual void toImage(float& x, float& y);
  // Maps both end points of a segment (x1, y1, x2, y2), then clips it to the region's hull:
  // the ends become the hull crossings nearest to them (the segment extended if it does not
  // reach the hull). Unchanged when the line misses the hull.
  virtual void toImage(cv::Vec4f& line);
  virtual void toImage(std::vector<cv::Vec4f>& lines);
  virtual void toRoi(int& x, int& y);  // rounded to the nearest pixel
  virtual void toRoi(double& x, double& y);
  virtual void toRoi(float& x, float& y);

  // The region's integer bounding rectangle in the source image (both end pixels included),
  // or (0, 0, 0, 0) when the region is invalid.
  virtual cv::Rect getRoiRect();
  // The ROI image size, or (0, 0) when the region is invalid.
  virtual cv::Size getRoiSize();

  // --- Derived regions (same settings, transformed shapes) ------------------------------

  // Every shape moved by `offset`; mask images are shared.
  virtual DetectRoi translate(const cv::Point2f& offset) const;
  // Every shape scaled about the source origin; mask images resized (nearest neighbour).
  // Both factors must be above 0 (reported; a default region is returned).
  virtual DetectRoi scaled(float sx, float sy) const;
  // Every shape mapped through a 2x3 CV_64FC1 affine matrix; mask images warped (nearest
  // neighbour) so that every mask pixel lands where the matrix sends it. Another matrix is
  // reported and gives a default region (no settings, no shapes).
  virtual DetectRoi convert(const cv::Mat& affine) const;

  // --- Settings -------------------------------------------------------------------------

  float angle() const { return angle_; }
  float scale() const { return scale_; }
  int reserveSize() const { return reserveSize_; }
  // Interpolation of the ROI image warp (default cv::INTER_AREA): cv::INTER_NEAREST ..
  // cv::INTER_LANCZOS4, optionally with cv::WARP_FILL_OUTLIERS and cv::WARP_INVERSE_MAP.
  // Others are reported and the old value is kept.
  int interFlag() const { return interFlag_; }
  void setInterFlag(int flag);
  // Border mode of the ROI image warp (default cv::BORDER_CONSTANT, value 0):
  // cv::BORDER_CONSTANT .. cv::BORDER_TRANSPARENT. Others are reported and the old value is
  // kept.
  int borderMode() const { return borderMode_; }
  void setBorderMode(int mode);
  // Fractional bits of the mask rasterisation, 0..16: 0 draws hard 8-connected edges; 1 or
  // more draws anti-aliased edges on a 2^fracBit sub-pixel grid. Others are reported and the
  // old value is kept.
  int fracBit() const { return fracBit_; }
  void setFracBit(int bits);
  // The ROI image is the whole source image; only a mask is built.
  bool maskOnly() const { return maskOnly_; }
  void setMaskOnly(bool on) {
    maskOnly_ = on;
    needUpdate_ = true;
  }

  // --- Read access to the region and its derived geometry --------------------------------

  const ShapeList& addRois() const { return addRois_; }
  const ShapeList& subRois() const { return subRois_; }
  // Convex hull of the united shapes' outlines, source coordinates.
  const std::vector<cv::Point2f>& roiHull() const { return roiHull_; }
  // cv::minAreaRect of the hull.
  const cv::RotatedRect& hullRect() const { return hullRect_; }
  // Crop to ROI image (2x3 CV_64F), and ROI image to source; empty while invalid. Call
  // updateTransform (or any getter) first.
  const cv::Mat& transMat() const { return transMat_; }
  const cv::Mat& invTransMat() const { return invTransMat_; }
  // Recomputes the derived geometry if something changed; true when the region is valid.
  // `imageSize` is used by maskOnly regions only.
  bool updateTransform(const cv::Size& imageSize);

  // --- Persistence (cv::FileStorage: YAML, XML or JSON) ---------------------------------

  // Writes the region's keys into the mapping open at the storage's current position; the
  // caller opens and closes that mapping. Settings equal to their defaults are not written.
  bool serialize(cv::FileStorage& fs) const;
  // Replaces the region with the content of `node` (a mapping written by serialize). Missing
  // keys take the defaults; unusable shape entries are reported and skipped. Always true.
  bool deserialize(const cv::FileNode& node);
  // The longest text readText takes. OpenCV's reader reads this much in well under a second; a
  // region file is a few KiB.
  static constexpr std::size_t kMaxTextBytes = std::size_t{16} << 20;
  // Reads the region stored under `key` in YAML, XML or JSON text (as serialize wrote it inside
  // a mapping of that name), guarding OpenCV's reader: text it cannot take safely (over 16 MiB,
  // holding a NUL byte, or outside the plain structure that the writer produces, on which the
  // reader can loop or read past the end) is refused before it reaches it, and what it throws
  // is caught. On false (reported) the region is unchanged; a missing key reads as an empty
  // region. Read region files through this, not through cv::FileStorage directly.
  bool readText(const std::string& text, const std::string& key);

  // --- Shared instances by name (module "DetectRoi") -------------------------------------

  static std::shared_ptr<DetectRoi> getInstance(const std::string& name);
  static bool setInstance(const std::string& name, std::shared_ptr<DetectRoi> instance);
  static bool releaseInstance(const std::string& name);

 private:
  bool addShape(const std::vector<cv::Point2f>& pts, ShapeType type, const cv::Mat* mask,
                bool united);
  void copySettingsTo(DetectRoi& other) const;
  bool transformValid() const { return !transMat_.empty(); }
  bool canMap() const { return !empty() && transformValid(); }

  // Settings (persisted).
  float angle_ = 0.f;
  float scale_ = 1.f;
  int interFlag_ = 3;   // cv::INTER_AREA
  int borderMode_ = 0;  // cv::BORDER_CONSTANT
  int reserveSize_ = 0;
  int fracBit_ = 0;
  bool maskOnly_ = false;
  // The region.
  ShapeList addRois_;
  ShapeList subRois_;
  // Derived.
  std::vector<cv::Point2f> roiHull_;
  cv::RotatedRect hullRect_{cv::Point2f(0, 0), cv::Size2f(0, 0), 0.f};
  cv::Rect roiRect_{0, 0, 0, 0};
  cv::Size roiSize_{0, 0};
  cv::Mat transMat_;
  cv::Mat invTransMat_;
  bool needUpdate_ = false;
};

}  // namespace vistrel
