#include "PartitionSampler/PartitionSampler.h"

#include <cmath>

#include "U/MathPlus.h"
#include "U/RunError.h"
#include "U/U.h"

PartitionSampler::PartitionSampler(int k, int n, FitnessZType fitnessZType, Observable* ob,
                                   double logalpha, std::ostream& logFile,
                                   const std::string& heuristics)
    : n(n),
      kold(k),
      zold(n),
      znew(n),
      clusterSizes0(n + 1),
      infmix(k <= 0),
      piPrior(static_cast<short>(k > 0 ? k : 1)),
      logalpha(logalpha),
      ob(ob),
      fitnessZType(fitnessZType),
      heuristics(heuristics),
      logFile(logFile),
      sizes_(n + 2),
      logMean_(n + 2) {
  if (infmix) kold = 1;
  // Only the tree-guided moves read distances; other searches never pay for n x n.
  if (usesDistances(heuristics)) distanceMatrix = Matrix<double>(n, n);
  // The Dirichlet-process normaliser depends on n and alpha only.
  double alpha = std::exp(logalpha);
  for (int i = 1; i <= n; i++) dpNormaliser_ += std::log(alpha + i - 1);
}

bool PartitionSampler::usesDistances(const std::string& heuristics) {
  return heuristics == "UX" || heuristics == "UX2" || heuristics == "UXf" ||
         heuristics == "UXf2" || heuristics == "rBHS2" || heuristics == "SR" ||
         heuristics == "SR2";
}

double PartitionSampler::partitionLogPrior(const int* sizes, int k) const {
  if (!infmix) {
    if (k != piPrior.dimension)
      U::fail(logFile, "PartitionSampler::getTotalLik(). number of clusters " + U::n2s(k) +
                           " differs from the fixed k " + U::n2s(piPrior.dimension));
    return piPrior.logIntegratedLik(sizes);
  }
  int nonEmpty = 0;
  double lgammaSum = 0;
  for (int j = 0; j < k; j++) {
    if (sizes[j] != 0) nonEmpty++;
    lgammaSum += MathPlus::mylgamma(sizes[j]);
  }
  return nonEmpty * logalpha + lgammaSum - dpNormaliser_;
}

double PartitionSampler::getTotalLik(const int* z, int k) const {
  switch (fitnessZType) {
    case INTEGRATED: {
      double lik = 0;
      for (int j = 0; j < k; j++) lik += getClusterFit(z, j);
      if (static_cast<int>(sizes_.size()) < k) sizes_.resize(k);
      U::table(z, n, sizes_.data(), k);
      return lik + partitionLogPrior(sizes_.data(), k);
    }
    case CLASSIFICATION: {
      double lik = 0;
      for (int j = 0; j < k; j++) lik += ob->getClassificationLik(z, j);
      return lik;
    }
    case MIXTURE:
      return ob->getMixtureLik(z, k);
  }
  std::string line = "fitnessZType not yet implemented for: " + U::n2s(static_cast<int>(fitnessZType));
  logFile << line << '\n';
  logFile.flush();
  throw RunError(line);
}

void PartitionSampler::accept(int kchange) {
  acceptanceCnt += 1;
  U::copyArray(znew.data(), zold.data(), n);
  kold += kchange;
  U::table(zold.data(), n, clusterSizes0.data(), kold);
}
