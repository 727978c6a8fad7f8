// The starts of -Z sample, sample-boot and sample-average: the trees of -Z tree, boot and
// average built over a seeded sample of the observations rather than all of them, so that
// time and memory grow with the sample (its m(m-1)/2 distances) and n times a bounded number
// of distances, never n^2. Each observation outside the sample joins the cluster of the cut
// whose representatives lie nearest on average.
#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "sampler/ChainState.h"
#include "sampler/Scorer.h"

// Observations the tree is built over (a fixed k above it takes k).
constexpr int kStartSample = 2000;
// Distances from an observation outside the sample to the cut's clusters: a cluster's
// representatives are max(1, kPlacementDistances / clusters) of its members, evenly spread.
constexpr int kPlacementDistances = 64;

// The -Z words of these starts and the start each builds over its sample, or "" for another.
std::string sampledBase(const std::string& word);

// m observations of 0..n-1 drawn without replacement (m uniforms), ascending.
std::vector<int> sampleRows(int n, int m);

// word: "sample", "sample-boot" or "sample-average". With n <= the sample size the start is
// exactly -Z tree's, boot's or average's (and draws what it draws); otherwise it draws the
// sample (m uniforms), then boot's positions, cuts the tree where the sample's integrated
// score is best (open k, at most kMaxTreeCut clusters) or into k clusters, places the others,
// and logs what it did and the score.
void sampledStart(ChainState& state, const Scorer& scorer, std::ostream& log, const std::string& word,
                  int sampleSize = kStartSample);
