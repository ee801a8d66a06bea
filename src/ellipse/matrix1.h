#pragma once

#include <cstddef>
#include <vector>

// Small dense matrices with 1-based indices, as the direct ellipse fit is written: an n×m
// matrix has rows 1..n and columns 1..m; row 0 and column 0 exist and stay unused.

namespace ced {

class Matrix1 {
 public:
  // A zero matrix of `rows` × `cols` (both at least 0).
  Matrix1(int rows, int cols);
  Matrix1(const Matrix1& other);
  Matrix1& operator=(const Matrix1& other);

  int rows() const { return rows_; }
  int cols() const { return cols_; }
  // Element (i, j), 1 <= i <= rows, 1 <= j <= cols (index 0 is addressable and unused).
  double& operator()(int i, int j) { return data_[i * (cols_ + 1) + j]; }
  double operator()(int i, int j) const { return data_[i * (cols_ + 1) + j]; }

 private:
  // Matrices up to 6 × 12 (the work matrix of a 6 × 6 inversion) keep their elements in place:
  // an ellipse fit makes a dozen of them, and none needs the heap.
  static constexpr int kInlineElements = 7 * 13;

  size_t elements() const { return static_cast<size_t>(rows_ + 1) * (cols_ + 1); }
  void copyFrom(const Matrix1& other);

  int rows_, cols_;
  double* data_;
  std::vector<double> heap_;
  double inline_[kInlineElements];
};

// A·B, Aᵀ·B and A·Bᵀ. Sizes must agree (reported, and a zero matrix returned, when not).
Matrix1 multiply(const Matrix1& a, const Matrix1& b);
Matrix1 multiplyTransposedLeft(const Matrix1& a, const Matrix1& b);   // Aᵀ·B
Matrix1 multiplyTransposedRight(const Matrix1& a, const Matrix1& b);  // A·Bᵀ
Matrix1 transpose(const Matrix1& a);

// Lower-triangular L with S = L·Lᵀ for a symmetric n×n S. A non-positive pivot leaves its
// diagonal entry 0 (and the entries below it non-finite), as the ellipse fit expects.
Matrix1 choleskyLower(const Matrix1& s);

// Inverse of the n×n matrix by Gauss–Jordan elimination with partial pivoting. When the
// largest available pivot magnitude falls below 1e-19 the elimination stops and the result is
// the zero matrix; `ok` (optional) then receives false.
Matrix1 invertGaussJordan(const Matrix1& m, bool* ok = nullptr);

// Eigenvalues `d` (1..n) and eigenvectors (columns of `v`) of a symmetric n×n matrix by the
// cyclic Jacobi method, at most 50 sweeps. Returns the number of rotations made.
int jacobiEigen(const Matrix1& m, std::vector<double>& d, Matrix1& v);

}  // namespace ced
