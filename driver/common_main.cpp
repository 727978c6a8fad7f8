#include "driver/common_main.h"

#include <cmath>
#include <ctime>
#include <vector>

#include "PartitionSampler/PartitionSampler.h"
#include "U/Console.h"
#include "U/PriorStrings.h"
#include "U/RunError.h"
#include "U/U.h"
#include "U/rvgs.h"

namespace {

[[noreturn]] void failOnStdout(const std::string& line) {
  vout() << line << '\n';
  vout().flush();
  throw RunError(line);
}

}  // namespace

void writePriorText(Settings& s, std::stringstream& priorStream) {
  const std::string& prior = s.prior;
  if (s.model == "ProteinSequence") {
    if (prior == "flat") priorStream << ProteinSequenceFlatPriorString;
    else if (prior == "bg" || prior.empty()) priorStream << ProteinSequenceBgPriorString;
    else if (prior == "cloud9") priorStream << ProteinSequenceCloud9PriorString;
    else failOnStdout("main(). prior not recognized: " + prior);
  } else if (s.model == "HDBern") {
    if (prior == "flat" || prior.empty()) priorStream << HDBernFlatPriorString;
    else if (prior == "point5") priorStream << HDBernPoint5PriorString;
    else if (prior == "point05") priorStream << HDBernPoint05PriorString;
    else if (prior == "point005") priorStream << HDBernPoint005PriorString;
    else failOnStdout("main(). prior not recognized: " + prior);
  } else if (s.model == "HDGBern") {
    std::string token;
    if (prior == "flat" || prior.empty()) token = "1 ";
    else if (prior == "point5") token = "0.5 ";
    else if (prior == "point05") token = "0.05 ";
    else if (prior == "point005") token = "0.005 ";
    else failOnStdout("main(). prior not recognized: " + prior);
    priorStream << "1 " << 20 << '\n' << "1" << '\n';
    for (int i = 0; i < 20; i++) priorStream << token;
  } else if (s.model == "mclust2") {
    if (s.prior.empty()) s.prior = "1";
    priorStream << s.prior;
  } else if (s.model == "kmeans2") {
    // kmeans2 has no prior
  } else {
    failOnStdout("main(). model not recognized: " + s.model);
  }
}

std::string buildFileStem(const Settings& s) {
  std::string stem = s.dataFile.substr(0, s.dataFile.find('.'));
  stem += "_k" + U::n2s(s.k) + "_" + s.heuristics + "_p" + s.prior + "_a" + U::n2s(s.logalpha);
  if (s.heuristics != "EN") {
    if (s.B != -1) stem += "_B" + U::n2s(s.B);
    if (s.minuteAllowed != -1) stem += "_t" + U::n2s(s.minuteAllowed);
    if (!s.label.empty()) {
      stem += "_";
      if (s.criterionType != "integrated") stem += s.criterionType;
      stem += s.label;
    }
  }
  return stem;
}

long long iterationCount(int B) {
  // 10^18 is the largest power of ten a signed 64-bit count holds.
  if (B > 18) failOnStdout("main(). B too large, 10 to its power does not fit in 64 bits: " + U::n2s(B));
  if (B < 0) return 0;
  long long count = 1;
  for (int i = 0; i < B; i++) count *= 10;
  return count;
}

void common_main(Settings s) {
  // Checks that need no file: nothing is written before they pass.
  // Cluster labels are compared as 16-bit values by some models: k stays below 32768.
  if (s.k < -1 || s.k > 32767)
    failOnStdout("main(). k must be 0 or a number of clusters from 1 to 32767: " + U::n2s(s.k));
  if (!std::isfinite(s.logalpha))
    failOnStdout("main(). logalpha is not a finite number: " + U::n2s(s.logalpha));
  // An open k scores with alpha = exp(logalpha): 0 or infinity makes every prior term
  // infinite or NaN. A fixed k does not use alpha.
  const double alpha = std::exp(s.logalpha);
  if (s.k == 0 && !(alpha > 0 && std::isfinite(alpha)))
    failOnStdout("main(). logalpha out of range, exp(logalpha) is " + U::n2s(alpha) +
                 " and the partition prior cannot be finite: " + U::n2s(s.logalpha));
  // The label is part of file names and must not lead them into another folder.
  if (s.label.find('/') != std::string::npos)
    failOnStdout("main(). label must not contain '/': " + s.label);
  // These moves change the number of clusters, which a fixed k forbids.
  if (s.k > 0 && (s.heuristics == "JN" || s.heuristics == "JN2" || s.heuristics == "DA" ||
                  s.heuristics == "DA2"))
    failOnStdout("main(). heuristics " + s.heuristics +
                 " change the number of clusters and need -k 0: " + U::n2s(s.k));

  std::stringstream priorStream;
  writePriorText(s, priorStream);

  std::string fileStem = buildFileStem(s);
  vout() << "\nfileStem: " << fileStem << '\n';

  if (s.B == -1) s.B = 9;
  if (s.minuteAllowed == -1) s.minuteAllowed = 14400;
  const bool enumerate = s.heuristics == "EN";
  long long iterations = enumerate ? 0 : iterationCount(s.B);

  // The log takes n + k numbers per visited observation: write it in large blocks.
  std::vector<char> logBuffer(1 << 20);
  std::ofstream logFile;
  logFile.rdbuf()->pubsetbuf(logBuffer.data(), static_cast<std::streamsize>(logBuffer.size()));
  U::openWrite(logFile, fileStem + ".log", enumerate ? vout() : logFile, false);
  if (!enumerate) {
    logFile << "Started at " << U::localTimeText(time(nullptr)) << '\n';
    logFile << "That was also the number used to initialize rng. \n";
  }

  _rng.initialize(2);

  FitnessZType fitnessZType;
  if (s.criterionType == "classi") fitnessZType = CLASSIFICATION;
  else if (s.criterionType == "mixture") fitnessZType = MIXTURE;
  else if (s.criterionType == "integrated") fitnessZType = INTEGRATED;
  else failOnStdout("main(). criterionType not recognized: " + s.criterionType);

  std::unique_ptr<Observable> ptrModel = makeModel(s.model, s.dataFile, priorStream, logFile);
  if (s.k > ptrModel->n)
    U::fail(logFile, "main(). k is larger than the number of observations " +
                         U::n2s(ptrModel->n) + ": " + U::n2s(s.k));

  PartitionSampler sampler(s.k, ptrModel->n, fitnessZType, ptrModel.get(), s.logalpha, logFile,
                           s.heuristics);
  if (enumerate) {
    sampler.enumZ(fileStem);
    logFile.close();
    if (logFile.fail()) failOnStdout("Fail to write " + fileStem + ".log");
    return;
  }
  sampler.initZ(s.initialZ);
  sampler.run(iterations, s.minuteAllowed, fileStem);
  logFile.close();
  if (logFile.fail()) failOnStdout("Fail to write " + fileStem + ".log");
}

void common_main(std::string dataFile, std::string label, std::string initialZ,
                 std::string heuristics, std::string prior, std::string model, int k, int B,
                 int minuteAllowed, double logalpha, std::string criterionType) {
  Settings s;
  s.dataFile = dataFile;
  s.label = label;
  s.initialZ = initialZ;
  s.heuristics = heuristics;
  s.prior = prior;
  s.model = model;
  s.k = k;
  s.B = B;
  s.minuteAllowed = minuteAllowed;
  s.logalpha = logalpha;
  s.criterionType = criterionType;
  common_main(s);
}
