#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>

#include "sampler/InitialPartition.h"
#include "sampler/RandomStart.h"
#include "stats/MathPlus.h"
#include "stats/RandomPlus.h"
#include "io/Interrupt.h"
#include "io/Files.h"
#include "io/Text.h"
#include "stats/Arrays.h"
#include "stats/rvgs.h"

InitialPartition::InitialPartition(ChainState& state, const PartitionPrior& prior,
                                   std::ostream& logFile)
    : n(state.n),
      infmix(state.infmix),
      zold(state.zold),
      kold(state.kold),
      clusterSizes0(state.clusterSizes0),
      prior(prior),
      logFile(logFile) {}

void InitialPartition::initZ(const std::string& initialZ) {
  if (initialZ.empty())
    randomZ0();
  else
    setZ0(initialZ);
}

void InitialPartition::setZ0(const std::string& zFileName) {
  std::ifstream file;
  Files::openRead(file, zFileName, logFile);
  const std::string what = "Bad start partition file " + zFileName + ": ";
  // Words are read by hand to know their line, to see NUL bytes (which would end a number
  // early) and to keep a word of any length from filling the memory.
  std::streambuf* in = file.rdbuf();
  const int kEnd = std::char_traits<char>::eof();
  long lineNo = 1;
  long wordLine = 1;
  auto nextWord = [&](std::string& word) {
    const std::string::size_type kept = 40;
    word.clear();
    int c = in->sbumpc();
    for (; c != kEnd && (c == ' ' || (c >= '\t' && c <= '\r')); c = in->sbumpc())
      if (c == '\n') lineNo++;
    wordLine = lineNo;
    for (; c != kEnd && c != ' ' && !(c >= '\t' && c <= '\r'); c = in->sbumpc()) {
      if (c == '\0')
        Files::fail(logFile, "Bad start partition file " + zFileName + ", line " + Text::n2s(lineNo) +
                             ": holds a NUL byte");
      if (word.size() < kept) word.push_back(static_cast<char>(c));
      else if (word.size() == kept) word += "...";
    }
    if (c == '\n') lineNo++;
    return !word.empty();
  };
  kold = 0;
  std::string word;
  for (int i = 0; i < n; i++) {
    checkInterrupt();
    if (!nextWord(word))
      Files::fail(logFile, what + "holds " + Text::n2s(i) + " labels for " + Text::n2s(n) + " observations");
    char* end = nullptr;
    errno = 0;
    long label = std::strtol(word.c_str(), &end, 10);
    if (end == word.c_str() || *end != '\0' || errno != 0)
      Files::fail(logFile, what + "label of observation " + Text::n2s(i + 1) + " is not a number: " + word);
    // Labels index the cluster tables, so they must lie in 0..n-1.
    if (label < 0 || label >= n)
      Files::fail(logFile, what + "label of observation " + Text::n2s(i + 1) + " is not in 0.." +
                           Text::n2s(n - 1) + ": " + word);
    zold[i] = static_cast<int>(label);
    if (zold[i] > kold) kold = zold[i];
  }
  if (nextWord(word))
    Files::fail(logFile, "Bad start partition file " + zFileName + ", line " + Text::n2s(wordLine) +
                         ": text after the labels of the " + Text::n2s(n) + " observations: " + word);
  kold += 1;
  file.close();
  const int used = Arrays::table(zold.data(), n, clusterSizes0.data(), kold);
  // A fixed k needs k non-empty clusters: labels 0..k-1 with a gap hold fewer.
  const int k = prior.fixedK();
  if (!infmix && (kold != k || used != k)) {
    if (used < kold)
      Files::fail(logFile, what + "it has " + Text::n2s(used) + " clusters with gaps in their labels 0.." +
                           Text::n2s(kold - 1) + " but -k is " + Text::n2s(k));
    Files::fail(logFile, what + "it has " + Text::n2s(kold) + " clusters but -k is " + Text::n2s(k));
  }
}

void InitialPartition::randomZ0() {
  if (!infmix) {
    const double rounds = expectedRedrawRounds(n, kold, kMaxRedrawRounds);
    if (rounds > kMaxRedrawRounds) {
      logFile << "Random start: redrawing all labels until no cluster is empty would take more "
                 "than "
              << rounds << " rounds on average (the bound is " << kMaxRedrawRounds
              << "), so the labels are drawn directly, uniformly among those that use all "
              << kold << " clusters\n";
      drawLabelsUsingEveryCluster(n, kold, zold.data());
      Arrays::table(zold.data(), n, clusterSizes0.data(), kold);
      return;
    }
    bool anyEmpty;
    do {
      checkInterrupt();
      for (int i = 0; i < n; i++) zold[i] = rUniform(0, kold - 1);
      anyEmpty = Arrays::table(zold.data(), n, clusterSizes0.data(), kold) < kold;
    } while (anyEmpty);
    return;
  }

  // Chinese-restaurant draws of a label sequence, then a random order of the observations:
  // each observation's label is drawn by the prior of the partition it completes.
  std::vector<int> t(n, 0);
  std::vector<int> sizes(n + 1, 0);
  std::vector<double> w(n + 1);
  kold = 1;
  sizes[0] = 1;
  for (int i = 1; i < n; i++) {
    const int K = kold + 1;
    for (int j = 0; j < K; j++) {
      sizes[j]++;
      w[j] = prior.logPrior(sizes.data(), K);
      sizes[j]--;
    }
    t[i] = RandomPlus::drawGeneralizedBern(w.data(), K);
    sizes[t[i]]++;
    if (t[i] == kold) kold++;
  }
  std::vector<int> r(n);
  RandomPlus::SampleWithoutReplacement<int>(n, n, r.data(), true);
  for (int i = 0; i < n; i++) zold[i] = t[r[i]];
  Arrays::table(zold.data(), n, clusterSizes0.data(), kold);
}
