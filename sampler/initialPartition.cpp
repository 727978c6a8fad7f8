#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include <fstream>

#include "sampler/InitialPartition.h"
#include "stats/MathPlus.h"
#include "stats/RandomPlus.h"
#include "io/Interrupt.h"
#include "io/U.h"
#include "stats/rvgs.h"

InitialPartition::InitialPartition(ChainState& state, const DirichletRV& piPrior,
                                   double logalpha, std::ostream& logFile)
    : n(state.n),
      infmix(state.infmix),
      zold(state.zold),
      kold(state.kold),
      clusterSizes0(state.clusterSizes0),
      piPrior(piPrior),
      logalpha(logalpha),
      logFile(logFile) {}

void InitialPartition::initZ(const std::string& initialZ) {
  if (initialZ.empty())
    randomZ0();
  else
    setZ0(initialZ);
}

void InitialPartition::setZ0(const std::string& zFileName) {
  std::ifstream file;
  U::openRead(file, zFileName, logFile);
  const std::string what = "Bad start partition file " + zFileName + ": ";
  kold = 0;
  std::string word;
  for (int i = 0; i < n; i++) {
    checkInterrupt();
    if (!(file >> word))
      U::fail(logFile, what + "holds " + U::n2s(i) + " labels for " + U::n2s(n) + " observations");
    char* end = nullptr;
    errno = 0;
    long label = std::strtol(word.c_str(), &end, 10);
    if (end == word.c_str() || *end != '\0' || errno != 0)
      U::fail(logFile, what + "label of observation " + U::n2s(i + 1) + " is not a number: " + word);
    // Labels index the cluster tables, so they must lie in 0..n-1.
    if (label < 0 || label >= n)
      U::fail(logFile, what + "label of observation " + U::n2s(i + 1) + " is not in 0.." +
                           U::n2s(n - 1) + ": " + word);
    zold[i] = static_cast<int>(label);
    if (zold[i] > kold) kold = zold[i];
  }
  kold += 1;
  file.close();
  if (!infmix && kold != piPrior.dimension)
    U::fail(logFile, what + "it has " + U::n2s(kold) + " clusters but -k is " +
                         U::n2s(piPrior.dimension));
  U::table(zold.data(), n, clusterSizes0.data(), kold);
}

void InitialPartition::randomZ0() {
  if (!infmix) {
    bool anyEmpty;
    do {
      checkInterrupt();
      for (int i = 0; i < n; i++) zold[i] = rUniform(0, kold - 1);
      anyEmpty = U::table(zold.data(), n, clusterSizes0.data(), kold) < kold;
    } while (anyEmpty);
    return;
  }

  // Chinese-restaurant draws of a label sequence, then a random order of the observations.
  // Sizes and the normaliser are kept incrementally; every sum is taken in the same order as
  // a recount from scratch would take it.
  std::vector<int> t(n, 0);
  std::vector<int> sizes(n + 1, 0);
  std::vector<double> w(n + 1);
  const double alpha = std::exp(logalpha);
  double normaliser = std::log(alpha + 1 - 1);  // first observation
  kold = 1;
  sizes[0] = 1;
  for (int i = 1; i < n; i++) {
    const int K = kold + 1;
    normaliser += std::log(alpha + (i + 1) - 1);
    for (int j = 0; j < K; j++) {
      sizes[j]++;
      int nonEmpty = 0;
      double lgammaSum = 0;
      for (int c = 0; c < K; c++) {
        if (sizes[c] != 0) nonEmpty++;
        lgammaSum += MathPlus::mylgamma(sizes[c]);
      }
      w[j] = nonEmpty * logalpha + lgammaSum - normaliser;
      sizes[j]--;
    }
    t[i] = RandomPlus::drawGeneralizedBern(w.data(), K);
    sizes[t[i]]++;
    if (t[i] == kold) kold++;
  }
  std::vector<int> r(n);
  RandomPlus::SampleWithoutReplacement<int>(n, n, r.data(), true);
  for (int i = 0; i < n; i++) zold[i] = t[r[i]];
  U::table(zold.data(), n, clusterSizes0.data(), kold);
}
