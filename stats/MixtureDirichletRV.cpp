#include "stats/MixtureDirichletRV.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>

#include "io/Console.h"
#include "stats/MathPlus.h"
#include "stats/RandomPlus.h"
#include "io/Files.h"
#include "io/Text.h"

namespace {

// The next whitespace-separated token of source, or the run ends naming what is missing.
std::string nextToken(std::istream& source, std::ostream& logFile, const std::string& what) {
  std::string token;
  if (!(source >> token)) Files::fail(logFile, "Bad prior text: " + what + " missing");
  return token;
}

int readCount(std::istream& source, std::ostream& logFile, const std::string& what) {
  std::string token = nextToken(source, logFile, what);
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(token.c_str(), &end, 10);
  if (end == token.c_str() || *end != '\0' || errno != 0 ||
      value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
    Files::fail(logFile, "Bad prior text: " + what + " not a whole number: " + token);
  if (value <= 0) Files::fail(logFile, "Bad prior text: " + what + " not positive: " + token);
  return static_cast<int>(value);
}

double readReal(std::istream& source, std::ostream& logFile, const std::string& what) {
  std::string token = nextToken(source, logFile, what);
  char* end = nullptr;
  double value = std::strtod(token.c_str(), &end);
  if (end == token.c_str() || *end != '\0' || !std::isfinite(value))
    Files::fail(logFile, "Bad prior text: " + what + " not a number: " + token);
  return value;
}

}  // namespace

MixtureDirichletRV::MixtureDirichletRV(std::istream& priorStream, std::ostream& logFile) {
  readFromPriorStream(priorStream, logFile);
}

MixtureDirichletRV::MixtureDirichletRV(std::istream& priorStream) {
  readFromPriorStream(priorStream, vout());
}

MixtureDirichletRV::MixtureDirichletRV(const std::string& aaPriorFileName) {
  std::ifstream file;
  Files::openRead(file, aaPriorFileName, vout());
  readFromPriorStream(file, vout());
}

void MixtureDirichletRV::readFromPriorStream(std::istream& source, std::ostream& logFile) {
  int K = readCount(source, logFile, "number of components");
  int D = readCount(source, logFile, "number of categories");
  // Values are collected before the shape is allocated, so a text that promises more
  // numbers than it holds is refused before any large allocation.
  std::vector<double> weights;
  std::vector<double> parameters;
  for (int d = 0; d < K; d++) {
    std::string component = "component " + Text::n2s(d + 1);
    weights.push_back(readReal(source, logFile, "weight of " + component));
    for (int m = 0; m < D; m++)
      parameters.push_back(
          readReal(source, logFile, "parameter " + Text::n2s(m + 1) + " of " + component));
  }
  allocateMemory(D, K);
  mixtureCoef = weights;
  for (int d = 0; d < K; d++)
    for (int m = 0; m < D; m++) alpha[d][m] = parameters[static_cast<size_t>(d) * D + m];
}

void MixtureDirichletRV::allocateMemory(int _dimension, int _mixtureOrder) {
  dimension = _dimension;
  mixtureOrder = _mixtureOrder;
  mixtureCoef.assign(mixtureOrder, 0.0);
  alpha = Matrix<double>(mixtureOrder, dimension);
  posterior_.assign(dimension, 0.0);
  components_.assign(mixtureOrder, 0.0);
}

void MixtureDirichletRV::dispose() { allocateMemory(0, 0); }

void MixtureDirichletRV::copy(const MixtureDirichletRV& rv) {
  for (int d = 0; d < mixtureOrder; d++) {
    mixtureCoef[d] = rv.mixtureCoef[d];
    for (int m = 0; m < dimension; m++) alpha[d][m] = rv.alpha[d][m];
  }
}

double MixtureDirichletRV::logIntegratedLik(const int* y) const {
  for (int d = 0; d < mixtureOrder; d++) {
    const double* a = alpha[d];
    for (int m = 0; m < dimension; m++) posterior_[m] = a[m] + y[m];
    components_[d] =
        MathPlus::lbeta(posterior_.data(), dimension, true) - MathPlus::lbeta(a, dimension, true);
  }
  return MathPlus::logSumExp(components_.data(), mixtureOrder, mixtureCoef.data());
}

double MixtureDirichletRV::logDensity(const double* input, bool logInput) const {
  const short D = static_cast<short>(dimension);
  for (int d = 0; d < mixtureOrder; d++)
    components_[d] = logInput ? StatPlus::ddirichlet_log(input, alpha[d], D, true)
                              : StatPlus::ddirichlet(input, alpha[d], D, true);
  return MathPlus::logSumExp(components_.data(), mixtureOrder, mixtureCoef.data());
}

void MixtureDirichletRV::draw(double* mu, bool Log) const {
  int c = RandomPlus::rGeneralizedBern(mixtureCoef.data(), mixtureOrder);
  RandomPlus::rdirichlet(alpha[c], static_cast<short>(dimension), mu, Log);
}

double MixtureDirichletRV::setWithCountsPrior(const int* counts,
                                              const MixtureDirichletRV& prior) {
  for (int d = 0; d < mixtureOrder; d++) {
    for (int m = 0; m < dimension; m++) alpha[d][m] = prior.alpha[d][m] + counts[m];
    mixtureCoef[d] = std::exp(MathPlus::lbeta(alpha[d], dimension, true) +
                              std::log(prior.mixtureCoef[d]) -
                              MathPlus::lbeta(prior.alpha[d], dimension, true));
  }
  double marginalLik = 0;
  for (int d = 0; d < mixtureOrder; d++) marginalLik += mixtureCoef[d];
  for (int d = 0; d < mixtureOrder; d++) mixtureCoef[d] /= marginalLik;
  return marginalLik;
}

double MixtureDirichletRV::getSignature() const {
  double signature = mixtureCoef[0];
  for (int d = 0; d < mixtureOrder; d++)
    for (int m = 0; m < dimension; m++) signature += (m % 2 == 0 ? 1 : -1) * alpha[d][m];
  return signature;
}

void MixtureDirichletRV::show(std::ostream& out) const {
  out << "showing MixtureDirichletRV ...\n";
  for (int d = 0; d < mixtureOrder; d++) {
    out << mixtureCoef[d] << '\n';
    for (int m = 0; m < dimension; m++) out << alpha[d][m] << " ";
    out << '\n';
  }
}

void MixtureDirichletRV::sanityCheck() const {
  std::vector<double> centre(dimension, std::log(1.0 / dimension));
  vout() << "log density of the diagnoal vector is: " << logDensity(centre.data(), true);
}
