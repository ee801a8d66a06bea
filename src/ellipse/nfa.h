#pragma once

// Number of false alarms of "k of n sampled points are aligned" under the a-contrario model:
// each point is aligned by chance with probability p, independently.

namespace ced {

// Natural logarithm of Γ(x) for x > 0: Windschitl's approximation above 15, Lanczos' below.
// Accurate to about 1e-10 relative over the range the detector uses (x = 1 .. a few 10000).
double logGamma(double x);

// 1/i for 1 <= i < kReciprocalCacheSize, read from a process-wide table; computed directly
// otherwise. The value is the same either way; the table only saves the division.
constexpr int kReciprocalCacheSize = 100000;
double reciprocal(int i);

// The meaningfulness score of k aligned points out of n:
//   −log10( Σ_{i=k..n} C(n,i)·pⁱ·(1−p)ⁿ⁻ⁱ ) − logNT,
// so the pair is meaningful (NFA <= 1) when the score is >= 0. logNT is log10 of the number
// of tests. Returns −1 for n < 0, k < 0, k > n, p <= 0 or p >= 1. The binomial tail is summed
// until the remaining terms cannot change the score by more than about 10 %.
double nfaScore(int n, int k, double p, double logNT);

}  // namespace ced
