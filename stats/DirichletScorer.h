// Fast evaluation of the log Dirichlet-multinomial marginal of a count vector, giving the very
// same double as MixtureDirichletRV::logIntegratedLik (or DirichletRV::logIntegratedLik): each
// component's own log beta is computed once, lgamma(alpha_dm + c) is read from a table for
// counts up to a bound, and lgamma of the posterior total is memoised by exact value. Every sum
// is still accumulated in the order the plain code uses.
// The tables are read-only once built and may be shared by the scorers of several threads;
// the memo and the scratch are each scorer's own.
#pragma once
#include <memory>
#include <vector>

#include "stats/DirichletRV.h"
#include "stats/MixtureDirichletRV.h"

class DirichletTables {
 public:
  static constexpr long kTableBudget = 1L << 22;  // doubles (32 MB)
  static constexpr long kMemoBudget = 1L << 20;   // doubles (8 MB); larger totals are not memoised
  static constexpr int kWays = 4;  // memo entries per component and count total, a power of 2

  // Copies the prior and tabulates counts 0..maxCount, fewer when the table would exceed
  // budget doubles; a scorer's memo keeps within budget and kMemoBudget doubles. Counts and
  // totals beyond them are computed directly, to the same bits. Later changes to the prior
  // object are not seen. Cost: about K * D * (maxCount + 1) lgamma calls.
  DirichletTables(const MixtureDirichletRV& prior, int maxCount, long budget = kTableBudget);
  DirichletTables(const DirichletRV& prior, int maxCount, long budget = kTableBudget);

 private:
  friend class DirichletScorer;
  DirichletTables(int dimension, int components, const double* alpha, const double* weights,
                  bool mixture, int maxCount, long budget);

  int D_ = 0;
  int K_ = 0;
  bool mixture_ = false;        // combine components by MathPlus::logSumExp, as the mixture prior does
  double logWeight0_ = 0;       // log w_1, what MathPlus::logSumExp adds when K = 1
  std::vector<double> alpha_;   // D x K
  std::vector<double> weights_;  // K
  std::vector<double> priorLbeta_;  // K: lbeta(alpha_d)
  int tableLimit_ = 0;
  std::vector<double> table_;  // D x tableLimit_ x K: mylgamma(alpha_dm + c)
  int memoLimit_ = 0;          // totals 0..memoLimit_ - 1 are memoised
};

// Doubles that start at +0.0, from calloc: the system backs a page of them only when it is
// first written, so a large memo costs memory for the totals it sees only.
class ZeroDoubles {
 public:
  ZeroDoubles() = default;
  explicit ZeroDoubles(size_t size);
  double& operator[](size_t i) { return values_.get()[i]; }
  size_t size() const { return size_; }

 private:
  struct Free {
    void operator()(double* p) const;
  };
  std::unique_ptr<double[], Free> values_;
  size_t size_ = 0;
};

class DirichletScorer {
 public:
  static constexpr long kTableBudget = DirichletTables::kTableBudget;
  static constexpr long kMemoBudget = DirichletTables::kMemoBudget;
  static constexpr int kWays = DirichletTables::kWays;

  DirichletScorer() = default;
  // A scorer on shared tables, with an empty memo of its own.
  explicit DirichletScorer(std::shared_ptr<const DirichletTables> tables);

  // Builds tables of its own (see DirichletTables) and empties the memo.
  void reset(const MixtureDirichletRV& prior, int maxCount, long budget = kTableBudget);
  void reset(const DirichletRV& prior, int maxCount, long budget = kTableBudget);

  // y holds D non-negative counts; allocates nothing.
  double logIntegratedLik(const int* y) const;

  // Counts with a table entry: 0..tabulated() - 1.
  int tabulated() const { return tables_->tableLimit_; }
  const std::shared_ptr<const DirichletTables>& tables() const { return tables_; }
  // The doubles this scorer holds besides the shared tables (the memo's whether written or
  // not).
  size_t scratchSize() const;

 private:
  // mylgamma(alphaSum) of component d, remembered per count total.
  double lgammaOfSum(int d, int total, double alphaSum) const;

  std::shared_ptr<const DirichletTables> tables_;
  // memoLimit_ x K x kWays: alphaSums seen per total, and their mylgamma. An unused slot
  // holds 0 and 0, which is right for a sum of 0 too: mylgamma(0) is 0.
  mutable ZeroDoubles memoKey_;
  mutable ZeroDoubles memoValue_;
  mutable std::vector<double> out_;         // K: sum of the lgamma terms
  mutable std::vector<double> alphaSum_;    // K: sum of the posterior parameters
  mutable std::vector<double> components_;  // K
};
