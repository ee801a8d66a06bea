#include "nfa.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace ced {
namespace {

double logGammaWindschitl(double x) {
  return 0.918938533204673 + (x - 0.5) * std::log(x) - x +
         0.5 * x * std::log(x * std::sinh(1.0 / x) + 1.0 / (810.0 * std::pow(x, 6.0)));
}

double logGammaLanczos(double x) {
  static const double q[7] = {75122.633153,  80916.6278952, 36308.2951477, 8687.24529705,
                              1168.92649479, 83.8676043424, 2.50662827511};
  double a = (x + 0.5) * std::log(x + 5.5) - (x + 5.5);
  double b = 0.0;
  for (int i = 0; i < 7; ++i) {
    a -= std::log(x + i);
    b += q[i] * std::pow(x, static_cast<double>(i));
  }
  return a + std::log(b);
}

// True when a and b agree to about 100 ulps, relative to the larger magnitude; values below
// the smallest normal double count as equal to 0.
bool nearlyEqual(double a, double b) {
  if (a == b) return true;
  const double scale = std::max({std::fabs(a), std::fabs(b), 2.2250738585072014e-308});
  return std::fabs(a - b) / scale <= 2.220446049250313e-14;
}

// The reciprocal table is filled completely inside a function-local static initialiser: C++11
// guarantees that exactly one thread runs it and every other thread waits for it, so detectors
// built at the same time in several threads read a finished table and get the same numbers
// as a single thread would. Filling it costs well under a millisecond, once per process.
const std::vector<double>& reciprocalTable() {
  static const std::vector<double> table = [] {
    std::vector<double> t(kReciprocalCacheSize, 0.0);
    for (int i = 1; i < kReciprocalCacheSize; ++i) t[i] = 1.0 / static_cast<double>(i);
    return t;
  }();
  return table;
}

}  // namespace

double logGamma(double x) { return x > 15.0 ? logGammaWindschitl(x) : logGammaLanczos(x); }

double reciprocal(int i) {
  if (i >= 1 && i < kReciprocalCacheSize) return reciprocalTable()[i];
  return 1.0 / static_cast<double>(i);
}

double nfaScore(int n, int k, double p, double logNT) {
  if (n < 0 || k < 0 || k > n || p <= 0.0 || p >= 1.0) return -1.0;
  if (n == 0 || k == 0) return -logNT;
  if (n == k) return -logNT - static_cast<double>(n) * std::log10(p);

  // First term of the tail, C(n,k)·p^k·(1−p)^(n−k), through log-gamma to avoid overflow.
  const double logTerm = logGamma(n + 1.0) - logGamma(k + 1.0) - logGamma(n - k + 1.0) +
                         k * std::log(p) + (n - k) * std::log(1.0 - p);
  double term = std::exp(logTerm);
  if (nearlyEqual(term, 0.0)) {
    // The first term underflows; it dominates the tail when k lies above the mean.
    if (k > n * p) return -logTerm / std::log(10.0) - logNT;
    return -logNT;
  }

  // The terms decrease geometrically once (n−i+1)/i · p/(1−p) < 1; stop when the bound on the
  // rest of the tail is below 10 % of what it could change in the score.
  const double tolerance = 0.1;
  const double oddsRatio = p / (1.0 - p);
  double tail = term;
  for (int i = k + 1; i <= n; ++i) {
    const double f = (n - i + 1) * reciprocal(i);
    const double ratio = f * oddsRatio;
    term *= ratio;
    tail += term;
    if (f < 1.0) {
      const double bound = term * ((1.0 - std::pow(ratio, n - i + 1.0)) / (1.0 - ratio) - 1.0);
      if (bound < tolerance * std::fabs(-std::log10(tail) - logNT) * tail) break;
    }
  }
  return -std::log10(tail) - logNT;
}

}  // namespace ced
