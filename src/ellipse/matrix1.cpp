#include "matrix1.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "vistrel/assert.h"

namespace ced {

Matrix1::Matrix1(int rows, int cols)
    : rows_(rows < 0 ? 0 : rows), cols_(cols < 0 ? 0 : cols), data_(inline_) {
  if (elements() <= kInlineElements) {
    std::fill_n(inline_, elements(), 0.0);
  } else {
    heap_.assign(elements(), 0.0);
    data_ = heap_.data();
  }
}

Matrix1::Matrix1(const Matrix1& other) : rows_(0), cols_(0), data_(inline_) { copyFrom(other); }

Matrix1& Matrix1::operator=(const Matrix1& other) {
  if (this != &other) copyFrom(other);
  return *this;
}

void Matrix1::copyFrom(const Matrix1& other) {
  rows_ = other.rows_;
  cols_ = other.cols_;
  if (elements() <= kInlineElements) {
    std::copy_n(other.data_, elements(), inline_);
    data_ = inline_;
    heap_.clear();
  } else {
    heap_.assign(other.data_, other.data_ + elements());
    data_ = heap_.data();
  }
}

Matrix1 multiply(const Matrix1& a, const Matrix1& b) {
  if (!VISTREL_CHECK_EQ(a.cols(), b.rows())) {
    return Matrix1(a.rows(), b.cols());
  }
  Matrix1 r(a.rows(), b.cols());
  for (int i = 1; i <= a.rows(); ++i)
    for (int j = 1; j <= b.cols(); ++j) {
      double s = 0;
      for (int k = 1; k <= a.cols(); ++k) s += a(i, k) * b(k, j);
      r(i, j) = s;
    }
  return r;
}

Matrix1 multiplyTransposedLeft(const Matrix1& a, const Matrix1& b) {
  if (!VISTREL_CHECK_EQ(a.rows(), b.rows())) {
    return Matrix1(a.cols(), b.cols());
  }
  Matrix1 r(a.cols(), b.cols());
  // Row by row of the inputs, so that the sums are independent of each other rather than one
  // long chain each; every r(i, j) still adds its products from k = 1 up. Aᵀ·A (the scatter
  // matrix of a fit) is symmetric, and r(j, i) would add the same products in the same order:
  // only its upper half is summed.
  const bool symmetric = &a == &b;
  for (int k = 1; k <= a.rows(); ++k)
    for (int i = 1; i <= a.cols(); ++i) {
      const double aki = a(k, i);
      for (int j = symmetric ? i : 1; j <= b.cols(); ++j) r(i, j) += aki * b(k, j);
    }
  if (symmetric)
    for (int i = 1; i <= a.cols(); ++i)
      for (int j = 1; j < i; ++j) r(i, j) = r(j, i);
  return r;
}

Matrix1 multiplyTransposedRight(const Matrix1& a, const Matrix1& b) {
  if (!VISTREL_CHECK_EQ(a.cols(), b.cols())) {
    return Matrix1(a.rows(), b.rows());
  }
  Matrix1 r(a.rows(), b.rows());
  for (int i = 1; i <= a.rows(); ++i)
    for (int j = 1; j <= b.rows(); ++j) {
      double s = 0;
      for (int k = 1; k <= a.cols(); ++k) s += a(i, k) * b(j, k);
      r(i, j) = s;
    }
  return r;
}

Matrix1 transpose(const Matrix1& a) {
  Matrix1 r(a.cols(), a.rows());
  for (int i = 1; i <= a.rows(); ++i)
    for (int j = 1; j <= a.cols(); ++j) r(j, i) = a(i, j);
  return r;
}

Matrix1 choleskyLower(const Matrix1& s) {
  const int n = s.rows();
  Matrix1 l(n, n);
  if (!VISTREL_CHECK_EQ(s.rows(), s.cols())) return l;
  for (int i = 1; i <= n; ++i) {
    for (int j = i; j <= n; ++j) {
      double sum = s(i, j);
      for (int k = 1; k < i; ++k) sum -= l(i, k) * l(j, k);
      if (j == i) {
        if (sum > 0) l(i, i) = std::sqrt(sum);
      } else {
        l(j, i) = sum / l(i, i);
      }
    }
  }
  return l;
}

Matrix1 invertGaussJordan(const Matrix1& m, bool* ok) {
  const int n = m.rows();
  if (ok) *ok = false;
  if (!VISTREL_CHECK_EQ(m.rows(), m.cols())) return Matrix1(m.rows(), m.cols());
  // Work on [M | I]; a non-finite entry (from a failed Cholesky column) makes it singular.
  Matrix1 w(n, 2 * n);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      if (!std::isfinite(m(i, j))) return Matrix1(n, n);
      w(i, j) = m(i, j);
    }
    w(i, n + i) = 1;
  }
  for (int c = 1; c <= n; ++c) {
    int pivotRow = c;
    double best = std::fabs(w(c, c));
    for (int r = c + 1; r <= n; ++r) {
      if (std::fabs(w(r, c)) > best) {
        best = std::fabs(w(r, c));
        pivotRow = r;
      }
    }
    if (best < 1e-19) return Matrix1(n, n);
    if (pivotRow != c)
      for (int j = 1; j <= 2 * n; ++j) std::swap(w(c, j), w(pivotRow, j));
    const double p = w(c, c);
    for (int j = 1; j <= 2 * n; ++j) w(c, j) /= p;
    for (int r = 1; r <= n; ++r) {
      if (r == c) continue;
      const double f = w(r, c);
      if (f == 0) continue;
      for (int j = 1; j <= 2 * n; ++j) w(r, j) -= f * w(c, j);
    }
  }
  Matrix1 inv(n, n);
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) inv(i, j) = w(i, n + j);
  if (ok) *ok = true;
  return inv;
}

int jacobiEigen(const Matrix1& m, std::vector<double>& d, Matrix1& v) {
  const int n = m.rows();
  d.assign(static_cast<size_t>(n) + 1, 0.0);
  v = Matrix1(n, n);
  if (!VISTREL_CHECK_EQ(m.rows(), m.cols())) return 0;
  Matrix1 a = m;
  for (int i = 1; i <= n; ++i) v(i, i) = 1;
  int rotations = 0;
  for (int sweep = 1; sweep <= 50; ++sweep) {
    double off = 0;
    for (int p = 1; p < n; ++p)
      for (int q = p + 1; q <= n; ++q) off += std::fabs(a(p, q));
    if (off == 0) break;
    const double threshold = sweep < 4 ? 0.2 * off / (n * n) : 0.0;
    for (int p = 1; p < n; ++p) {
      for (int q = p + 1; q <= n; ++q) {
        const double g = 100.0 * std::fabs(a(p, q));
        if (sweep > 4 && g == 0) {
          a(p, q) = a(q, p) = 0;
          continue;
        }
        if (!(std::fabs(a(p, q)) > threshold)) continue;
        // Rotation that annihilates a(p, q): t = tan of the angle, the smaller root.
        const double h = a(q, q) - a(p, p);
        const double theta = 0.5 * h / a(p, q);
        double t = 1.0 / (std::fabs(theta) + std::sqrt(1.0 + theta * theta));
        if (!std::isfinite(theta)) t = 0.5 / std::fabs(theta);
        if (theta < 0) t = -t;
        const double c = 1.0 / std::sqrt(1 + t * t);
        const double s = t * c;
        for (int k = 1; k <= n; ++k) {
          const double akp = a(k, p), akq = a(k, q);
          a(k, p) = c * akp - s * akq;
          a(k, q) = s * akp + c * akq;
        }
        for (int k = 1; k <= n; ++k) {
          const double apk = a(p, k), aqk = a(q, k);
          a(p, k) = c * apk - s * aqk;
          a(q, k) = s * apk + c * aqk;
        }
        a(p, q) = a(q, p) = 0;
        for (int k = 1; k <= n; ++k) {
          const double vkp = v(k, p), vkq = v(k, q);
          v(k, p) = c * vkp - s * vkq;
          v(k, q) = s * vkp + c * vkq;
        }
        ++rotations;
      }
    }
  }
  for (int i = 1; i <= n; ++i) d[i] = a(i, i);
  return rotations;
}

}  // namespace ced
