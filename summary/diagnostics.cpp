#include "summary/diagnostics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace summary {
namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

template <size_t N>
double polynomial(const double (&coefficients)[N], double x) {
  double value = 0;
  for (size_t i = N; i-- > 0;) value = value * x + coefficients[i];
  return value;
}

double mean(const std::vector<double>& values) {
  return std::accumulate(values.begin(), values.end(), 0.0) / values.size();
}

// Sample variance with divisor size - 1.
double variance(const std::vector<double>& values) {
  double centre = mean(values), sum = 0;
  for (double v : values) sum += (v - centre) * (v - centre);
  return sum / (values.size() - 1);
}

// Constant within double precision, as the reference implementation decides it.
bool constant(const Chains& chains) {
  double low = std::numeric_limits<double>::infinity(), high = -low;
  for (const auto& chain : chains)
    for (double v : chain) {
      low = std::min(low, v);
      high = std::max(high, v);
    }
  return !(std::fabs(high - low) >= std::numeric_limits<double>::epsilon());
}

// Biased autocovariance at one lag (divisor: the length), as Geyer (1992) recommends.
double autocovariance(const std::vector<double>& chain, double centre, size_t lag) {
  double sum = 0;
  for (size_t i = 0; i + lag < chain.size(); i++) sum += (chain[i] - centre) * (chain[i + lag] - centre);
  return sum / chain.size();
}

double median(std::vector<double> values) {
  size_t half = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + half, values.end());
  double upper = values[half];
  if (values.size() % 2 == 1) return upper;
  return (upper + *std::max_element(values.begin(), values.begin() + half)) / 2;
}

}  // namespace

double normalQuantile(double p) {
  static const double a[] = {3.3871328727963666080e0,  1.3314166789178437745e+2,
                             1.9715909503065514427e+3, 1.3731693765509461125e+4,
                             4.5921953931549871457e+4, 6.7265770927008700853e+4,
                             3.3430575583588128105e+4, 2.5090809287301226727e+3};
  static const double b[] = {1.0,
                             4.2313330701600911252e+1, 6.8718700749205790830e+2,
                             5.3941960214247511077e+3, 2.1213794301586595867e+4,
                             3.9307895800092710610e+4, 2.8729085735721942674e+4,
                             5.2264952788528545610e+3};
  static const double c[] = {1.42343711074968357734e0,  4.63033784615654529590e0,
                             5.76949722146069140550e0,  3.64784832476320460504e0,
                             1.27045825245236838258e0,  2.41780725177450611770e-1,
                             2.27238449892691845833e-2, 7.74545014278341407640e-4};
  static const double d[] = {1.0,
                             2.05319162663775882187e0,  1.67638483018380384940e0,
                             6.89767334985100004550e-1, 1.48103976427480074590e-1,
                             1.51986665636164571966e-2, 5.47593808499534494600e-4,
                             1.05075007164441684324e-9};
  static const double e[] = {6.65790464350110377720e0,  5.46378491116411436990e0,
                             1.78482653991729133580e0,  2.96560571828504891230e-1,
                             2.65321895265761230930e-2, 1.24266094738807843860e-3,
                             2.71155556874348757815e-5, 2.01033439929228813265e-7};
  static const double f[] = {1.0,
                             5.99832206555887937690e-1, 1.36929880922735805310e-1,
                             1.48753612908506148525e-2, 7.86869131145613259100e-4,
                             1.84631831751005468180e-5, 1.42151175831644588870e-7,
                             2.04426310338993978564e-15};
  if (!(p > 0 && p < 1)) {
    if (p == 0) return -std::numeric_limits<double>::infinity();
    if (p == 1) return std::numeric_limits<double>::infinity();
    return kNaN;
  }
  double q = p - 0.5;
  if (std::fabs(q) <= 0.425) {
    double r = 0.180625 - q * q;
    return q * polynomial(a, r) / polynomial(b, r);
  }
  double r = std::sqrt(-std::log(q < 0 ? p : 1 - p));
  double value = r <= 5 ? polynomial(c, r - 1.6) / polynomial(d, r - 1.6)
                        : polynomial(e, r - 5) / polynomial(f, r - 5);
  return q < 0 ? -value : value;
}

Chains rankNormalise(const Chains& chains) {
  std::vector<std::pair<double, size_t>> values;  // value, position in chain-major order
  for (const auto& chain : chains)
    for (double v : chain) values.emplace_back(v, values.size());
  std::sort(values.begin(), values.end());
  const double total = static_cast<double>(values.size());
  std::vector<double> scaled(values.size());
  for (size_t first = 0; first < values.size();) {
    size_t last = first;
    while (last + 1 < values.size() && values[last + 1].first == values[first].first) last++;
    double rank = (first + last) / 2.0 + 1;  // average of the 1-based ranks first+1..last+1
    double z = normalQuantile((rank - 0.375) / (total + 0.25));
    for (size_t i = first; i <= last; i++) scaled[values[i].second] = z;
    first = last + 1;
  }
  Chains out(chains.size());
  size_t position = 0;
  for (size_t c = 0; c < chains.size(); c++)
    for (size_t i = 0; i < chains[c].size(); i++) out[c].push_back(scaled[position++]);
  return out;
}

Chains splitChains(const Chains& chains) {
  Chains out;
  for (const auto& chain : chains) {
    size_t half = chain.size() / 2;
    out.emplace_back(chain.begin(), chain.begin() + half);
    out.emplace_back(chain.end() - half, chain.end());
  }
  return out;
}

double basicRhat(const Chains& chains) {
  if (chains.empty() || chains[0].size() < 2 || constant(chains)) return kNaN;
  std::vector<double> means, variances;
  for (const auto& chain : chains) {
    means.push_back(mean(chain));
    variances.push_back(variance(chain));
  }
  const double length = static_cast<double>(chains[0].size());
  double between = chains.size() > 1 ? length * variance(means) : 0;
  double within = mean(variances);
  return std::sqrt((between / within + length - 1) / length);
}

double basicEss(const Chains& chains) {
  if (chains.empty() || chains[0].size() < 3 || constant(chains)) return kNaN;
  const size_t length = chains[0].size();
  const double m = static_cast<double>(chains.size()), len = static_cast<double>(length);
  std::vector<double> centres;
  std::vector<bool> moves;
  for (const auto& chain : chains) {
    centres.push_back(mean(chain));
    moves.push_back(std::any_of(chain.begin(), chain.end(), [&](double v) { return v != chain[0]; }));
  }
  // Mean over chains of the autocovariance at a lag; a constant chain contributes zeros.
  auto meanAutocovariance = [&](size_t lag) {
    double sum = 0;
    for (size_t c = 0; c < chains.size(); c++)
      if (moves[c]) sum += autocovariance(chains[c], centres[c], lag);
    return sum / m;
  };
  const double meanVar = meanAutocovariance(0) * len / (len - 1);
  double varPlus = meanVar * (len - 1) / len;
  if (chains.size() > 1) varPlus += variance(centres);
  auto rho = [&](size_t lag) { return 1 - (meanVar - meanAutocovariance(lag)) / varPlus; };

  // Geyer's initial positive sequence of pair sums, then made monotone.
  std::vector<double> rhoHat(length, 0.0);
  size_t t = 0;
  double even = 1, odd = rho(1);
  rhoHat[0] = even;
  rhoHat[1] = odd;
  while (t + 5 < length && !std::isnan(even + odd) && even + odd > 0) {
    t += 2;
    even = rho(t);
    odd = rho(t + 1);
    if (even + odd >= 0) {
      rhoHat[t] = even;
      rhoHat[t + 1] = odd;
    }
  }
  const size_t maxT = t;
  if (even > 0) rhoHat[maxT] = even;
  for (t = 2; t + 2 <= maxT; t += 2)
    if (rhoHat[t] + rhoHat[t + 1] > rhoHat[t - 2] + rhoHat[t - 1])
      rhoHat[t] = rhoHat[t + 1] = (rhoHat[t - 2] + rhoHat[t - 1]) / 2;

  const double draws = m * len;
  double tau = -1 + rhoHat[maxT];
  // With no pair of lags kept the reference still counts lag 0 (its sum over 1:0).
  for (size_t i = 0; i < std::max<size_t>(maxT, 1); i++) tau += 2 * rhoHat[i];
  // The bound keeps antithetic chains from claiming more than about draws * log10(draws).
  tau = std::max(tau, 1 / std::log10(draws));
  return draws / tau;
}

double splitRhat(const Chains& chains) {
  Chains folded = chains;
  std::vector<double> all;
  for (const auto& chain : chains) all.insert(all.end(), chain.begin(), chain.end());
  if (all.empty()) return kNaN;
  double centre = median(all);
  for (auto& chain : folded)
    for (double& v : chain) v = std::fabs(v - centre);
  double bulk = basicRhat(rankNormalise(splitChains(chains)));
  double tail = basicRhat(rankNormalise(splitChains(folded)));
  // Chains stuck at different values have a constant folded trace: the bulk figure alone
  // must still flag them (the reference would give NA).
  if (std::isnan(tail)) return bulk;
  if (std::isnan(bulk)) return tail;
  return std::max(bulk, tail);
}

double bulkEss(const std::vector<double>& chain) {
  return basicEss(rankNormalise(splitChains(Chains{chain})));
}

namespace {
bool nearlyEqual(double a, double b) {
  return std::fabs(a - b) <= kScoreTolerance * std::max(std::fabs(a), std::fabs(b));
}
}  // namespace

Chains mergeNearlyEqual(const Chains& chains) {
  std::vector<std::pair<double, std::pair<size_t, size_t>>> all;
  for (size_t c = 0; c < chains.size(); c++)
    for (size_t i = 0; i < chains[c].size(); i++) all.push_back({chains[c][i], {c, i}});
  std::sort(all.begin(), all.end());
  Chains merged = chains;
  double group = 0;
  for (size_t a = 0; a < all.size(); a++) {
    // Measured from the group's first value, so that a slow drift does not chain far.
    if (a == 0 || !nearlyEqual(all[a].first, group)) group = all[a].first;
    merged[all[a].second.first][all[a].second.second] = group;
  }
  return merged;
}

bool nearlyConstant(const std::vector<double>& values) {
  for (double v : values)
    if (!nearlyEqual(v, values[0])) return false;
  return true;
}

}  // namespace summary
