// Time of one cluster score, reference code against the fast path, on generated data:
//   HDBern n=1000 T=50 cluster of 200; HDGBern (prior 0.5) n=500 T=50 cluster of 100;
//   ProteinSequence (bg and cloud9) n=200 T=150 cluster of 50; mclust2 and kmeans2 n=500
//   T=4 cluster of 100.
// Each timing cycles through 64 random clusters of that size. Run: build/vornak_bench_models
#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "models/PriorStrings.h"
#include "models/HDBern.h"
#include "models/ProteinSequence.h"
#include "models/kmeans2.h"
#include "models/mclust2.h"

namespace {

std::mt19937 rng(20261210);
double uniform() { return (rng() >> 5) * (1.0 / 134217728.0); }

// A data file in the temp folder, named after the workload.
std::string writeFile(const std::string& name, const std::string& content) {
  std::string path = "/tmp/vornak_bench_" + name;
  std::ofstream(path) << content;
  return path;
}

// Values 0..width-1 in five planted groups, one in ten values redrawn.
std::string categoricalData(int n, int T, int width) {
  std::vector<std::vector<int>> protos(5, std::vector<int>(T));
  for (auto& p : protos)
    for (int& v : p) v = static_cast<int>(rng() % width);
  std::ostringstream out;
  for (int i = 0; i < n; i++) {
    for (int t = 0; t < T; t++)
      out << (uniform() < 0.1 ? static_cast<int>(rng() % width) : protos[i % 5][t]) << ' ';
    out << '\n';
  }
  return out.str();
}

// Four families, one in five residues replaced by any residue or a gap.
std::string proteinData(int n, int T) {
  const std::string codes = "ACDEFGHIKLMNPQRSTVWY-";
  std::vector<std::string> families(4, std::string(T, 'A'));
  for (auto& f : families)
    for (char& c : f) c = codes[rng() % 20];
  std::ostringstream out;
  for (int i = 0; i < n; i++) {
    std::string s = families[i % 4];
    for (char& c : s)
      if (uniform() < 0.2) c = codes[rng() % 21];
    out << ">s" << i + 1 << '\n' << s << '\n';
  }
  return out.str();
}

std::string realData(int n, int T) {
  std::ostringstream out;
  for (int i = 0; i < n; i++) {
    for (int t = 0; t < T; t++) out << (i % 4) * 3 + 2 * uniform() - 1 << ' ';
    out << '\n';
  }
  return out.str();
}

// 64 labellings of n with size observations labelled 0 and the rest 1.
std::vector<std::vector<int>> clusters(int n, int size) {
  std::vector<std::vector<int>> all;
  for (int c = 0; c < 64; c++) {
    std::vector<int> z(n, 1);
    for (int placed = 0; placed < size;) {
      int i = static_cast<int>(rng() % n);
      if (z[i] == 1) {
        z[i] = 0;
        placed++;
      }
    }
    all.push_back(z);
  }
  return all;
}

std::ostringstream quietLog;

template <class Model, bool fast>
void scoreLoop(benchmark::State& state, const Model& model,
               const std::vector<std::vector<int>>& zs) {
  size_t c = 0;
  for (auto _ : state) {
    const int* z = zs[c++ % zs.size()].data();
    benchmark::DoNotOptimize(fast ? model.clusterFitFast(z, 0) : model.clusterFitReference(z, 0));
  }
}

struct HDBernCase {
  std::unique_ptr<HDBern> model;
  std::vector<std::vector<int>> zs;
  HDBernCase() {
    std::string file = writeFile("hdbern.dat", categoricalData(1000, 50, 2));
    std::stringstream prior(HDBernPoint05PriorString);
    model = std::make_unique<HDBern>(file, prior, quietLog, 1.0);
    zs = clusters(1000, 200);
  }
};

struct HDGBernCase {
  std::unique_ptr<HDGBern> model;
  std::vector<std::vector<int>> zs;
  HDGBernCase() {
    std::string file = writeFile("hdgbern.dat", categoricalData(500, 50, 20));
    std::string text = "1 20 1 ";
    for (int m = 0; m < 20; m++) text += "0.5 ";
    std::stringstream prior(text);
    model = std::make_unique<HDGBern>(file, prior, quietLog, 1.0);
    zs = clusters(500, 100);
  }
};

struct ProteinCase {
  std::unique_ptr<ProteinSequence> model;
  std::vector<std::vector<int>> zs;
  explicit ProteinCase(const char* priorText) {
    std::string file = writeFile("protein.fasta", proteinData(200, 150));
    std::stringstream prior(priorText);
    model = std::make_unique<ProteinSequence>(file, prior, quietLog);
    zs = clusters(200, 50);
  }
};

template <class Model>
struct RealCase {
  std::unique_ptr<Model> model;
  std::vector<std::vector<int>> zs;
  RealCase() {
    std::string file = writeFile("real.dat", realData(500, 4));
    if constexpr (std::is_same_v<Model, mclust2>) {
      std::stringstream prior("1");
      model = std::make_unique<mclust2>(file, prior, quietLog, 1.0);
    } else {
      model = std::make_unique<kmeans2>(file, quietLog, 1.0);
    }
    zs = clusters(500, 100);
  }
};

// Each workload is built once and shared by its reference and fast timings.
const HDBernCase& hdbern() {
  static const HDBernCase data;
  return data;
}
const HDGBernCase& hdgbern() {
  static const HDGBernCase data;
  return data;
}
const ProteinCase& proteinBg() {
  static const ProteinCase data(ProteinSequenceBgPriorString);
  return data;
}
const ProteinCase& proteinCloud9() {
  static const ProteinCase data(ProteinSequenceCloud9PriorString);
  return data;
}
const RealCase<mclust2>& mclust() {
  static const RealCase<mclust2> data;
  return data;
}
const RealCase<kmeans2>& kmeans() {
  static const RealCase<kmeans2> data;
  return data;
}

template <bool fast>
void HDBern_n1000_T50_c200(benchmark::State& state) {
  scoreLoop<HDBern, fast>(state, *hdbern().model, hdbern().zs);
}

template <bool fast>
void HDGBern_n500_T50_c100(benchmark::State& state) {
  scoreLoop<HDGBern, fast>(state, *hdgbern().model, hdgbern().zs);
}

template <bool fast>
void ProteinBg_n200_T150_c50(benchmark::State& state) {
  scoreLoop<ProteinSequence, fast>(state, *proteinBg().model, proteinBg().zs);
}

template <bool fast>
void ProteinCloud9_n200_T150_c50(benchmark::State& state) {
  scoreLoop<ProteinSequence, fast>(state, *proteinCloud9().model, proteinCloud9().zs);
}

template <bool fast>
void mclust2_n500_T4_c100(benchmark::State& state) {
  scoreLoop<mclust2, fast>(state, *mclust().model, mclust().zs);
}

template <bool fast>
void kmeans2_n500_T4_c100(benchmark::State& state) {
  scoreLoop<kmeans2, fast>(state, *kmeans().model, kmeans().zs);
}

}  // namespace

BENCHMARK_TEMPLATE(HDBern_n1000_T50_c200, false)->Name("HDBern_n1000_T50_c200/reference");
BENCHMARK_TEMPLATE(HDBern_n1000_T50_c200, true)->Name("HDBern_n1000_T50_c200/fast");
BENCHMARK_TEMPLATE(HDGBern_n500_T50_c100, false)->Name("HDGBern_n500_T50_c100/reference");
BENCHMARK_TEMPLATE(HDGBern_n500_T50_c100, true)->Name("HDGBern_n500_T50_c100/fast");
BENCHMARK_TEMPLATE(ProteinBg_n200_T150_c50, false)->Name("ProteinBg_n200_T150_c50/reference");
BENCHMARK_TEMPLATE(ProteinBg_n200_T150_c50, true)->Name("ProteinBg_n200_T150_c50/fast");
BENCHMARK_TEMPLATE(ProteinCloud9_n200_T150_c50, false)
    ->Name("ProteinCloud9_n200_T150_c50/reference");
BENCHMARK_TEMPLATE(ProteinCloud9_n200_T150_c50, true)->Name("ProteinCloud9_n200_T150_c50/fast");
BENCHMARK_TEMPLATE(mclust2_n500_T4_c100, false)->Name("mclust2_n500_T4_c100/reference");
BENCHMARK_TEMPLATE(mclust2_n500_T4_c100, true)->Name("mclust2_n500_T4_c100/fast");
BENCHMARK_TEMPLATE(kmeans2_n500_T4_c100, false)->Name("kmeans2_n500_T4_c100/reference");
BENCHMARK_TEMPLATE(kmeans2_n500_T4_c100, true)->Name("kmeans2_n500_T4_c100/fast");

BENCHMARK_MAIN();
