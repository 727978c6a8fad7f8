// The settings of one chain, built once from the command line (or R) and handed to every
// chain of a run: the cold chain and each heated copy build their scorer, moves and
// parameter draws from this one value, so a setting that reaches it reaches every chain.
#pragma once
#include <string>
#include <utility>

#include "models/Observable.h"
struct Heuristic;  // sampler/heuristics.h

struct ChainConfig {
  FitnessZType criterion = INTEGRATED;  // -c
  int k = 0;                            // -k; <= 0: an open number of clusters
  double logalpha = 0;                  // -a: alpha's start when -A draws it
  ScoringMode scoring = ScoringMode::Exact;
  std::string heuristicName;             // -h as given
  const Heuristic* heuristic = nullptr;  // null: not a heuristic of the table
  // The model's catalog row leaves the criterion out: the line its first score is refused
  // with; "" when listed.
  std::string criterionRefusal;
  double columnP = 0;  // -V P in (0, 1): column selection; 0: none
  // -A SHAPE,RATE: the Gamma prior on alpha, drawn after every iteration; 0: alpha fixed.
  double alphaShape = 0, alphaRate = 0;
  // -W A,B: the Beta prior on P, drawn after every iteration; (0, 0): P fixed.
  std::pair<double, double> columnPrior{0, 0};

  bool infmix() const { return k <= 0; }
  bool selectsColumns() const { return columnP > 0; }
  bool drawsAlpha() const { return alphaShape > 0 && infmix(); }
  bool drawsP() const { return columnPrior.first > 0 && selectsColumns(); }
};
