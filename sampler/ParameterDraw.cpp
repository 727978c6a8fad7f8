#include "sampler/ParameterDraw.h"

#include <cmath>

#include "stats/rvgs.h"

namespace {
DirichletProcessPrior& process(Scorer& scorer) {
  return dynamic_cast<DirichletProcessPrior&>(scorer.prior());
}
const DirichletProcessPrior& process(const Scorer& scorer) {
  return dynamic_cast<const DirichletProcessPrior&>(scorer.prior());
}
}  // namespace

std::unique_ptr<ParameterDraw> AlphaDraw::clone() const {
  return std::make_unique<AlphaDraw>(prior_);
}

void AlphaDraw::draw(const ChainState& state, Scorer& scorer) {
  int clusters = 0;
  for (int j = 0; j < state.kold; j++) clusters += state.clusterSizes0[j] > 0;
  prior_.step(process(scorer), clusters, state.n);
}

double AlphaDraw::value(const Scorer& scorer) const { return process(scorer).logalpha(); }

void AlphaDraw::set(Scorer& scorer, double logalpha) const {
  process(scorer).setLogAlpha(logalpha);
}

std::unique_ptr<ParameterDraw> ColumnPDraw::clone() const {
  return std::make_unique<ColumnPDraw>(a_, b_);
}

void ColumnPDraw::draw(const ChainState& state, Scorer& scorer) { prior_.step(scorer, state); }

double ColumnPDraw::value(const Scorer& scorer) const { return scorer.columns()->p(); }

void ColumnPDraw::set(Scorer& scorer, double p) const { scorer.columns()->setP(p); }

ParameterDraws::ParameterDraws(const ChainConfig& config) {
  if (config.drawsAlpha())
    draws_.push_back(std::make_unique<AlphaDraw>(GammaAlphaPrior(config.alphaShape, config.alphaRate)));
  if (config.drawsP())
    draws_.push_back(std::make_unique<ColumnPDraw>(config.columnPrior.first, config.columnPrior.second));
}

ParameterDraws::ParameterDraws(const ParameterDraws& other) {
  for (const auto& draw : other.draws_) draws_.push_back(draw->clone());
}

ParameterDraws& ParameterDraws::operator=(const ParameterDraws& other) {
  if (this != &other) *this = ParameterDraws(other);
  return *this;
}

bool ParameterDraws::drawsAlpha() const {
  for (const auto& draw : draws_)
    if (dynamic_cast<const AlphaDraw*>(draw.get())) return true;
  return false;
}

bool ParameterDraws::drawsP() const {
  for (const auto& draw : draws_)
    if (dynamic_cast<const ColumnPDraw*>(draw.get())) return true;
  return false;
}

void ParameterDraws::step(ParameterDraw::When when, const ChainState& state, Scorer& scorer) {
  for (const auto& draw : draws_)
    if (draw->when() == when) {
      if (scorer.inverseTemperature() == 1.0)
        draw->draw(state, scorer);
      else
        temperedStep(*draw, state, scorer);
    }
}

void ParameterDraws::stepAll(const ChainState& state, Scorer& scorer) {
  step(ParameterDraw::When::BeforeOutputs, state, scorer);
  step(ParameterDraw::When::AfterOutputs, state, scorer);
}

void ParameterDraws::temperedStep(ParameterDraw& draw, const ChainState& state, Scorer& scorer) {
  const double before = draw.value(scorer);
  const double scoreBefore = scorer.getTotalLik(state.zold.data(), state.kold);
  draw.draw(state, scorer);
  const double scoreAfter = scorer.getTotalLik(state.zold.data(), state.kold);
  const double logRatio = (scorer.inverseTemperature() - 1.0) * (scoreAfter - scoreBefore);
  if (logRatio >= 0 || myunif_rand() < std::exp(logRatio)) return;
  draw.set(scorer, before);
}

void ParameterDraws::exchange(Scorer& a, Scorer& b) const {
  for (const auto& draw : draws_) {
    const double valueA = draw->value(a);
    draw->set(a, draw->value(b));
    draw->set(b, valueA);
  }
}
