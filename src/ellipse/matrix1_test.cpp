#include "matrix1.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>
#include <utility>

#include "ellipsetest_expect.h"
#include "vistrel/assert.h"

namespace ced {
namespace {

Matrix1 fromRows(int rows, int cols, std::initializer_list<double> values) {
  Matrix1 m(rows, cols);
  auto it = values.begin();
  for (int i = 1; i <= rows; ++i)
    for (int j = 1; j <= cols; ++j) m(i, j) = *it++;
  return m;
}

void expectMatrix(const Matrix1& m, int rows, int cols, std::initializer_list<double> values,
                  double tol = 1e-12) {
  ASSERT_EQ(std::pair(m.rows(), m.cols()), std::pair(rows, cols));
  auto it = values.begin();
  for (int i = 1; i <= rows; ++i)
    for (int j = 1; j <= cols; ++j) EXPECT_NEAR(m(i, j), *it++, tol) << i << "," << j;
}

TEST(Matrix1, ProductsAndTransposedProductsByHand) {
  const Matrix1 a = fromRows(2, 3, {1, 2, 3, 4, 5, 6});
  const Matrix1 b = fromRows(3, 2, {7, 8, 9, 10, 11, 12});
  expectMatrix(multiply(a, b), 2, 2, {58, 64, 139, 154});
  // A·Aᵀ: 2×2 Gram matrix of the rows.
  expectMatrix(multiplyTransposedRight(a, a), 2, 2, {14, 32, 32, 77});
  expectMatrix(transpose(a), 3, 2, {1, 4, 2, 5, 3, 6});

  vistrel::AssertCapture capture;
  const Matrix1 bad = multiply(a, a);
  EXPECT_TRUE(capture.contains("a.cols() == b.rows() (3 vs 2)"));
  expectMatrix(bad, 2, 3, {0, 0, 0, 0, 0, 0});
}

TEST(Matrix1, GaussJordanInverseNeedsPivotingAndStopsOnTinyPivots) {
  // A zero in the first pivot position: only partial pivoting gets past it.
  bool ok = false;
  expectMatrix(invertGaussJordan(fromRows(3, 3, {0, 1, 0, 2, 0, 0, 0, 0, 4}), &ok), 3, 3,
               {0, 0.5, 0, 1, 0, 0, 0, 0, 0.25});
  EXPECT_TRUE(ok);
  // [[2, 1], [5, 3]]⁻¹ = [[3, −1], [−5, 2]].
  expectMatrix(invertGaussJordan(fromRows(2, 2, {2, 1, 5, 3})), 2, 2, {3, -1, -5, 2}, 1e-12);

  // Singular and nearly singular (pivot 1e-20 < 1e-19): the inverse stays all zero.
  expectMatrix(invertGaussJordan(fromRows(2, 2, {1, 2, 2, 4}), &ok), 2, 2, {0, 0, 0, 0});
  EXPECT_FALSE(ok);
  invertGaussJordan(fromRows(2, 2, {1, 0, 0, 1e-20}), &ok);
  EXPECT_FALSE(ok);
  // 1e-18 is above the limit and inverts.
  expectMatrix(invertGaussJordan(fromRows(2, 2, {1, 0, 0, 1e-18}), &ok), 2, 2, {1, 0, 0, 1e18},
               1e3);
  EXPECT_TRUE(ok);
  // A non-finite entry cannot be inverted either.
  invertGaussJordan(fromRows(2, 2, {1, 0, NAN, 1}), &ok);
  EXPECT_FALSE(ok);
}

TEST(Matrix1, JacobiFindsEigenpairsOfSymmetricMatrices) {
  // [[2, 1], [1, 2]]: eigenvalues 1 and 3 with eigenvectors (1, −1)/√2 and (1, 1)/√2.
  std::vector<double> d;
  Matrix1 v(2, 2);
  jacobiEigen(fromRows(2, 2, {2, 1, 1, 2}), d, v);
  ASSERT_EQ(d.size(), 3u);
  const int j3 = d[1] > d[2] ? 1 : 2;
  EXPECT_TRUE(testexpect::allNear(
      {std::min(d[1], d[2]), std::max(d[1], d[2]), std::fabs(v(1, j3)), v(1, j3) - v(2, j3)},
      {1, 3, std::sqrt(0.5), 0}, 1e-12));

  // A diagonal matrix needs no rotation.
  EXPECT_EQ(jacobiEigen(fromRows(3, 3, {5, 0, 0, 0, -2, 0, 0, 0, 7}), d, v), 0);
  EXPECT_EQ(d, (std::vector<double>{d[0], 5, -2, 7}));
}

TEST(Matrix1, TransposedLeftProductAddsEachEntryInRowOrder) {
  // Every entry, bit for bit, must be the sum of its products from the first row down, for a
  // matrix with itself (the symmetric case) and with another; values of mixed magnitudes make
  // any other order of addition round differently.
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-20, 20);
  for (const auto& [rows, cols, other] : {std::tuple{1, 1, 1}, {7, 3, 5}, {40, 6, 6}, {5, 6, 2}}) {
    auto random = [&](int r, int c) {
      Matrix1 m(r, c);
      for (int i = 1; i <= r; ++i)
        for (int j = 1; j <= c; ++j) m(i, j) = std::ldexp(mantissa(rng), exponent(rng));
      return m;
    };
    const Matrix1 a = random(rows, cols), b = random(rows, other);
    for (const Matrix1* right : {&a, &b}) {
      const Matrix1 r = multiplyTransposedLeft(a, *right);
      ASSERT_EQ(std::pair(r.rows(), r.cols()), std::pair(cols, right->cols()));
      for (int i = 1; i <= cols; ++i)
        for (int j = 1; j <= right->cols(); ++j) {
          double sum = 0;
          for (int k = 1; k <= rows; ++k) sum += a(k, i) * (*right)(k, j);
          EXPECT_EQ(r(i, j), sum) << rows << "x" << cols << " (" << i << ", " << j << ")";
        }
    }
  }
}

TEST(Matrix1, CopiesKeepEveryElementInPlaceOrOnTheHeap) {
  Matrix1 small(2, 3), large(10, 10);
  small(2, 3) = 5;
  large(10, 10) = 7;
  large(1, 1) = 3;
  Matrix1 copy = large;
  EXPECT_EQ(std::tuple(copy.rows(), copy(10, 10), copy(1, 1), copy(5, 5)),
            std::tuple(10, 7.0, 3.0, 0.0));
  copy = small;
  EXPECT_EQ(std::tuple(copy.rows(), copy.cols(), copy(2, 3), copy(1, 1)),
            std::tuple(2, 3, 5.0, 0.0));
  copy = large;
  large(10, 10) = 1;  // the copy has its own elements
  EXPECT_EQ(copy(10, 10), 7.0);
  Matrix1 again = small;
  small(2, 3) = 1;
  EXPECT_EQ(again(2, 3), 5.0);
}

}  // namespace
}  // namespace ced
