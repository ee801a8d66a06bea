#include "nfa.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

namespace ced {
namespace {

// The binomial tail P(X >= k), X ~ B(n, p), summed exactly term by term in long double.
long double exactTail(int n, int k, long double p) {
  long double term = std::pow(1.0L - p, static_cast<long double>(n));  // P(X = 0)
  long double tail = 0.0L;
  for (int i = 0; i <= n; ++i) {
    if (i >= k) tail += term;
    term *= static_cast<long double>(n - i) / (i + 1) * p / (1.0L - p);
  }
  return tail;
}

TEST(Nfa, LogGammaMatchesTheLibraryOnBothBranches) {
  // From 20 on the large-argument series is good to a few ulps, while the small-argument sum
  // is off by some 1e-13 there: the tighter bound shows that the right branch ran.
  for (double x : {0.5, 1.0, 2.0, 3.5, 7.0, 14.9, 15.0, 15.1, 20.0, 100.0, 1234.5, 1e5}) {
    const double expected = std::lgamma(x);
    const double tolerance = x >= 20.0 ? 5e-14 : 1e-12;
    EXPECT_NEAR(logGamma(x), expected, tolerance * std::max(1.0, std::fabs(expected))) << x;
  }
}

TEST(Nfa, ReciprocalIsExactInsideAndOutsideTheCache) {
  for (int i : {1, 2, 3, 7, 1000, 99999, 100000, 123457}) EXPECT_EQ(reciprocal(i), 1.0 / i) << i;
}

TEST(Nfa, DegenerateArgumentsAndClosedForms) {
  // Invalid input gives −1; k = 0 (or n = 0) a tail of 1, so the score is −logNT.
  EXPECT_EQ(
      (std::vector{nfaScore(-1, 0, 0.125, 3.0), nfaScore(5, -1, 0.125, 3.0),
                   nfaScore(5, 6, 0.125, 3.0), nfaScore(5, 2, 0.0, 3.0), nfaScore(5, 2, 1.0, 3.0),
                   nfaScore(0, 0, 0.125, 3.0), nfaScore(40, 0, 0.125, 3.0)}),
      (std::vector{-1.0, -1.0, -1.0, -1.0, -1.0, -3.0, -3.0}));
}

TEST(Nfa, AgreesWithExactBinomialTails) {
  // The early stop leaves out at most 10 % of what the rest of the tail could change, and
  // the omitted terms are positive, so the score can only come out a little high.
  const double logNT = 14.0;
  for (int n = 1; n <= 300; n += 7) {
    for (int k = 1; k <= n; k += 3) {
      const double got = nfaScore(n, k, 0.125, logNT);
      const double want = static_cast<double>(-std::log10(exactTail(n, k, 0.125L))) - logNT;
      EXPECT_GE(got, want - 1e-8 * std::max(1.0, std::fabs(want))) << n << " " << k;
      EXPECT_LE(got, want + 0.05 * std::fabs(want) + 1e-8) << n << " " << k;
    }
  }
}

TEST(Nfa, UnderflowingFirstTermUsesItsLogarithm) {
  // C(n,k)·p^k·(1−p)^(n−k) is far below the smallest double here; the tail is dominated by
  // the first term, whose log10 comes from lgamma.
  const int n = 20000, k = 19000;
  const double p = 0.125;
  const long double logTerm =
      std::lgamma(n + 1.0L) - std::lgamma(k + 1.0L) - std::lgamma(n - k + 1.0L) +
      k * std::log(static_cast<long double>(p)) + (n - k) * std::log(1.0L - p);
  const double want = static_cast<double>(-logTerm / std::log(10.0L)) - 5.0;
  EXPECT_NEAR(nfaScore(n, k, p, 5.0), want, 1e-6 * want);
  // Below the mean with an underflowing term: the tail is practically 1.
  EXPECT_EQ(nfaScore(20000, 10, 0.125, 5.0), -5.0);
}

TEST(Nfa, ConcurrentFirstUseGivesTheSameScores) {
  // The reciprocal cache is filled under a thread-safe static initialiser; many threads using
  // it at once read the same values a single thread does.
  std::vector<double> results(8, 0.0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&results, t] { results[t] = nfaScore(5000, 900, 0.125, 10.0); });
  for (auto& th : threads) th.join();
  for (double r : results) EXPECT_EQ(r, results[0]);
  EXPECT_EQ(results[0], nfaScore(5000, 900, 0.125, 10.0));
}

}  // namespace
}  // namespace ced
