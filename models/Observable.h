// The observation-model interface. A model answers the sampler's questions about the n
// observations of one data file (each with T positions): how well one cluster fits, how far
// apart two observations are, and, for the models whose catalog row lists them, the
// classification and mixture criteria. The data, read once, is read-only and shared by every
// copy of a model (one per chain); what a copy owns is its scratch, its workspace.
#pragma once
#include <cstddef>
#include <memory>
#include <vector>

enum FitnessZType { INTEGRATED = 0, CLASSIFICATION = 1, MIXTURE = 2 };

// How scores are computed. Exact: the fast paths (tables, memo, additive statistics), which
// give the reference's doubles bit for bit. Reference: every score from scratch by the plain
// code, the yardstick of the others (selected by VORNAK_SCORING=reference). Fast (-x): as
// Exact, but the real-valued models score from running per-cluster moments, agreeing with
// Exact to about 1e-12 relative instead of bit for bit.
enum class ScoringMode { Reference, Exact, Fast };

class Observable {
 public:
  int n = 0;          // number of observations
  int T = 0;          // positions per observation
  double scale = 1.0; // multiplier of the log fitness (models that take one)
  ScoringMode scoring = ScoringMode::Exact;

  Observable() = default;
  Observable(const Observable&) = delete;
  Observable& operator=(const Observable&) = delete;
  virtual ~Observable() = default;

  // A model over the same data, shared, with a workspace of its own: what one more chain
  // (one more thread) needs. Reads no file and writes no message; keeps scale and scoring.
  virtual std::unique_ptr<Observable> copyForChain() const = 0;
  // The bytes a copy adds: the model object and its workspace as they stand (buffers that
  // grow with k included), the shared data not.
  virtual size_t workspaceBytes() const { return 0; }

  // Integrated log-likelihood of the observations labelled j in z; 0 for an empty label.
  virtual double getClusterFit(const int* z, int j) const = 0;
  // The optional criteria. Only the models whose catalog row lists them override these (the
  // row is the one declaration, models/catalog.cpp), and only they are asked: a run planned
  // with a criterion its model's row leaves out is refused at its first score. The base
  // versions only catch a caller that bypassed that check (an internal error).
  // Classification log-likelihood of cluster j.
  virtual double getClassificationLik(const int* z, int j) const;
  // Mixture log-likelihood of the whole partition with labels 0..k-1.
  virtual double getMixtureLik(const int* z, int k) const;
  virtual double pairwiseDistance(int i1, int i2) const = 0;
  // Distance over the length positions listed (0-based).
  virtual double pairwiseDistance(int i1, int i2, int length, const int* positions) const = 0;

  // Optional exact shortcut for searches: additive per-cluster statistics of statsSize()
  // ints, from which scoreStats gives bit for bit what getClusterFit gives for the same
  // members. Models that cannot offer it, and every model in the reference mode, give 0.
  virtual int statsSize() const { return 0; }
  // Adds (sign +1) or removes (sign -1) observation i to or from the statistics.
  virtual void addToStats(int /*i*/, int* /*stats*/, int /*sign*/) const {}
  virtual double scoreStats(const int* /*stats*/, int /*members*/) const { return 0; }

  // Optional exact shortcut for models without additive statistics: the integrated score of
  // the members listed in ascending order, bit for bit what getClusterFit gives for them.
  virtual bool scoresMemberLists() const { return false; }
  virtual double scoreMembers(const int* /*sorted*/, int /*members*/) const { return 0; }

  // Fast arithmetic (ScoringMode::Fast only): per-cluster sufficient statistics of
  // momentsSize() doubles (their layout is the model's: diagonal or full moments) that
  // observations join and leave in O(momentsSize()), and the score from them. 0 elsewhere.
  virtual int momentsSize() const { return 0; }
  virtual void addToMoments(int /*i*/, double* /*moments*/, int /*sign*/) const {}
  virtual double scoreMoments(const double* /*moments*/, int /*members*/) const { return 0; }

  // Column selection (-V): the T per-column terms whose sum is a cluster's integrated score,
  // from additive statistics of columnStatsSize() ints (addToStats's layout, in every scoring
  // mode); 0 for a model whose score is not a sum over columns. An empty cluster's are 0.
  virtual int columnStatsSize() const { return 0; }
  virtual void columnTerms(const int* /*stats*/, int /*members*/, double* /*terms*/) const {}

  // Draws max(1, T/4) distinct positions (T/4 uniforms consumed), those the tree moves
  // measure distances over.
  void drawDistancePositions(std::vector<int>& positions) const;
};
