#pragma once

#include <opencv2/core.hpp>

namespace wheelhost {

// The polar grid a wheel image is unwrapped onto. Both images of a comparison must use the same
// grid; the defaults suit wheels from about 100 px to several thousand px across.
struct PolarGrid {
  int side = 192;               // the wheel square is resampled to side x side px first
  int rings = 48;               // samples along the radius, centre outwards
  int angles = 256;             // samples around the circle (angular step 360 / angles degrees)
  double outerFraction = 0.95;  // outermost ring, as a fraction of the inscribed radius
  double blurSigma = 1.2;       // smoothing in grid pixels: tolerates a few % centring error
};

// The best rotational alignment of two signatures.
struct RotationMatch {
  // Half the mean squared difference of the two normalised polar images at the best rotation,
  // which equals 1 - (their correlation): 0 for identical wheels, about 1 for unrelated ones,
  // 2 at most (a photographic negative).
  double score = 2.0;
  // The rotation in degrees, [0, 360), that turns this wheel into the other one, counted from
  // +x towards +y (clockwise on screen, like cv::ellipse; cv::getRotationMatrix2D counts the
  // other way).
  double angleDeg = 0.0;
};

// A wheel image unwrapped to polar coordinates and normalised to zero mean and unit variance,
// with the spectrum of each ring kept for fast comparison under every rotation.
//
// The wheel is the disc inscribed in the centred square of the image: the image is the square
// around the wheel's outline (a cut-out or a template), of any size, so comparisons do not
// depend on scale. Pixels outside the disc are never read. Colour images are turned grey.
class PolarSignature {
 public:
  PolarSignature() = default;

  // Builds the signature of `wheel` (8-bit or float, 1, 3 or 4 channels). Returns an empty
  // signature when the image is empty, its centred square is smaller than 16 px, or it has no
  // contrast at all (a constant image cannot be normalised).
  static PolarSignature fromImage(const cv::Mat& wheel, const PolarGrid& grid = PolarGrid());

  bool empty() const { return polar_.empty(); }

  // The normalised polar image: grid.rings rows (centre first) by grid.angles columns (angle
  // 0 at +x, growing towards +y), CV_32F. Empty for an empty signature.
  const cv::Mat& polar() const { return polar_; }

  // Compares under every rotation (circular shift of the angle axis, refined to a fraction of
  // a step). Both signatures must be non-empty and made on the same grid; otherwise the
  // result is the worst score 2.0 at angle 0.
  RotationMatch bestRotation(const PolarSignature& other) const;

 private:
  cv::Mat polar_;     // rings x angles, CV_32F, mean 0, variance 1
  cv::Mat spectrum_;  // row-wise DFT of polar_, CV_32FC2
};

}  // namespace wheelhost
