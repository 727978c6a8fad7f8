// Parameters of the target drawn after every iteration: alpha of the Dirichlet process (-A)
// and the column selection's P (-W). Each draw is the cold chain's Gibbs step, which leaves
// the joint posterior of partition and parameter invariant; a heated chain at beta < 1
// takes it as a proposal and accepts it with probability min(1, exp((beta - 1) (S' - S))),
// S and S' the chain's scores before and after, which leaves its own target
// p(parameter) exp(beta S) invariant (the Gibbs kernels are reversible for beta = 1).
// Exchanges between heated chains carry the parameters with the partitions.
#pragma once
#include <memory>
#include <vector>

#include "sampler/ChainConfig.h"
#include "sampler/ChainState.h"
#include "sampler/ColumnPrior.h"
#include "sampler/PartitionPrior.h"
#include "sampler/Scorer.h"

class ParameterDraw {
 public:
  // Where the run loop draws it: before the outputs see the iteration (they record the new
  // value) or after (they record the value the moves used).
  enum class When { BeforeOutputs, AfterOutputs };
  virtual ~ParameterDraw() = default;
  // An independent copy for another chain (scratch included).
  virtual std::unique_ptr<ParameterDraw> clone() const = 0;
  virtual When when() const = 0;
  // Draws the parameter from its conditional under the posterior given the chain's
  // partition and sets it in the scorer.
  virtual void draw(const ChainState& state, Scorer& scorer) = 0;
  // The parameter's current value in a scorer, and setting it (exactly restores a value).
  virtual double value(const Scorer& scorer) const = 0;
  virtual void set(Scorer& scorer, double value) const = 0;
};

// -A: alpha from its conditional given the number of clusters (Escobar and West).
class AlphaDraw final : public ParameterDraw {
 public:
  explicit AlphaDraw(const GammaAlphaPrior& prior) : prior_(prior) {}
  std::unique_ptr<ParameterDraw> clone() const override;
  When when() const override { return When::BeforeOutputs; }
  void draw(const ChainState& state, Scorer& scorer) override;
  double value(const Scorer& scorer) const override;  // log alpha
  void set(Scorer& scorer, double logalpha) const override;
  const GammaAlphaPrior& prior() const { return prior_; }

 private:
  GammaAlphaPrior prior_;
};

// -W: the column states, then P from its Beta posterior (sampler/ColumnPrior.h).
class ColumnPDraw final : public ParameterDraw {
 public:
  ColumnPDraw(double a, double b) : a_(a), b_(b), prior_(a, b) {}
  std::unique_ptr<ParameterDraw> clone() const override;
  When when() const override { return When::AfterOutputs; }
  void draw(const ChainState& state, Scorer& scorer) override;
  double value(const Scorer& scorer) const override;  // P
  void set(Scorer& scorer, double p) const override;

 private:
  double a_, b_;
  ColumnPrior prior_;
};

// The parameter draws of one chain, in the order they are drawn. Copies clone every draw.
class ParameterDraws {
 public:
  ParameterDraws() = default;
  // The draws the configuration asks for: alpha (-A), then P (-W).
  explicit ParameterDraws(const ChainConfig& config);
  ParameterDraws(const ParameterDraws& other);
  ParameterDraws& operator=(const ParameterDraws& other);
  ParameterDraws(ParameterDraws&&) = default;
  ParameterDraws& operator=(ParameterDraws&&) = default;

  bool empty() const { return draws_.empty(); }
  bool drawsAlpha() const;
  bool drawsP() const;
  // The draws of one phase for a chain whose scorer gives its inverse temperature; at
  // beta = 1 exactly the Gibbs steps, with no further uniform.
  void step(ParameterDraw::When when, const ChainState& state, Scorer& scorer);
  // Both phases, in order.
  void stepAll(const ChainState& state, Scorer& scorer);
  // Exchanges every parameter between the scorers of two chains.
  void exchange(Scorer& a, Scorer& b) const;

 private:
  void temperedStep(ParameterDraw& draw, const ChainState& state, Scorer& scorer);
  std::vector<std::unique_ptr<ParameterDraw>> draws_;
};
