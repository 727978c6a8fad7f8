#include "sampler/RandomStart.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "stats/MathPlus.h"
#include "stats/RandomPlus.h"
#include "stats/rvgs.h"

double expectedRedrawRounds(int n, int k, double cap) {
  if (k <= 1) return 1;
  if (static_cast<double>(n) * k <= 4e6) {
    // p[d]: the chance that d labels are in use after m draws. Every term is positive, so
    // the result is exact to rounding; long double holds it down to 1e-4951, far below the
    // smallest chance here (about e^-2000).
    std::vector<long double> p(k + 1, 0);
    p[0] = 1;
    for (int m = 1; m <= n; m++) {
      for (int d = std::min(m, k); d >= 1; d--)
        p[d] = p[d] * d / k + p[d - 1] * (k - d + 1) / k;
      p[0] = 0;
    }
    return static_cast<double>(1 / p[k]);
  }
  // q: the chance that one given label stays empty. Every label is used with probability
  // P = sum_j (-1)^j C(k,j) (1 - j/k)^n, and P <= (1 - q)^k because the labels' counts are
  // negatively associated.
  const long double q = std::exp(static_cast<long double>(n) * std::log1p(-1.0L / k));
  const long double logUpper = k * std::log1p(-q);
  if (-logUpper > std::log(static_cast<long double>(cap)))
    return static_cast<double>(std::exp(-logUpper));
  // Here k q <= log(cap), so the terms' absolute values add up to at most e^(k q) = cap: near
  // the bound the alternating sum keeps about 19 - 2 log10(cap) correct digits in long
  // double, fewer far above it (an estimate there).
  const long double expectedLarge = 2 * k * q + 2;
  // Term j is C(k,j) (1 - j/k)^n; each follows from the one before by a factor that carries
  // only a few roundings.
  long double term = 1, sum = 0;
  for (int j = 0; j < k; j++) {
    sum += (j % 2 == 0) ? term : -term;
    // Past 2kq the terms shrink by half or more at each step.
    if (j > expectedLarge && term < 1e-22L * sum) break;
    term *= static_cast<long double>(k - j) / (j + 1) *
            std::exp(n * std::log1p(-1.0L / (k - j)));
  }
  return sum > 0 ? static_cast<double>(1 / sum) : cap * 2;
}

void drawLabelsUsingEveryCluster(int n, int k, int* labels) {
  std::vector<int> sizes(k, 1);
  if (n > k) {
    // Sizes that are independent zero-truncated Poisson(mu) variates, conditioned on adding up
    // to n, have the law of the cluster sizes of a uniform labelling that uses every label:
    // both are proportional to 1 / (n_1! ... n_k!). mu is chosen so that the mean size is
    // n / k, which makes the sum hit n in about one try in sqrt(2 pi k var).
    const double target = static_cast<double>(n) / k;
    double low = 0, high = target;
    for (int step = 0; step < 200; step++) {
      const double mu = (low + high) / 2;
      (mu / -std::expm1(-mu) < target ? low : high) = mu;
    }
    const double mu = (low + high) / 2;
    // Cumulative probabilities of the sizes 1..n-k+1, the largest a cluster can have.
    const int largest = n - k + 1;
    std::vector<double> cumulative;
    double logTop = -INFINITY;
    std::vector<double> logWeight;
    for (int s = 1; s <= largest; s++) {
      const double w = s * std::log(mu) - MathPlus::mylgamma(s + 1.0);
      logTop = std::max(logTop, w);
      // Beyond 745 below the top a weight is 0 in double precision.
      if (w < logTop - 745) break;
      logWeight.push_back(w);
    }
    double total = 0;
    for (double w : logWeight) {
      total += std::exp(w - logTop);
      cumulative.push_back(total);
    }
    for (double& c : cumulative) c /= total;
    for (;;) {
      long sum = 0;
      int j = 0;
      for (; j < k; j++) {
        const double u = myunif_rand();
        const auto at = std::upper_bound(cumulative.begin(), cumulative.end(), u);
        sizes[j] = 1 + static_cast<int>(std::min<std::ptrdiff_t>(
                           at - cumulative.begin(), static_cast<std::ptrdiff_t>(cumulative.size()) - 1));
        sum += sizes[j];
        // The labels still to draw need one observation each.
        if (sum + (k - 1 - j) > n) break;
      }
      if (j == k && sum == n) break;
    }
  }
  std::vector<int> ordered;
  ordered.reserve(n);
  for (int j = 0; j < k; j++) ordered.insert(ordered.end(), sizes[j], j);
  std::vector<int> order(n);
  RandomPlus::SampleWithoutReplacement<int>(n, n, order.data(), true);
  for (int i = 0; i < n; i++) labels[i] = ordered[order[i]];
}
