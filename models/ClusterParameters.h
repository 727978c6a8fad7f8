// Instantiated cluster parameters, for the parallel sweep (sampler/moves/ParallelSweep.h):
// given a partition, each cluster's parameters are drawn from their posterior given its
// members, after which every observation's log density under each cluster can be read
// independently of the others. A model offers this when its integrated score is the log
// marginal of a conjugate prior: HDBern and HDGBern with a Dirichlet-mixture prior per
// column (Beta/Dirichlet, the component drawn first), mclust2 with a normal-gamma prior per
// column. A missing cell is left out, as the models' scores leave it out.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "models/Observable.h"

class ClusterParameters {
 public:
  virtual ~ClusterParameters() = default;
  // Values of one column's statistics per cluster.
  virtual int width() const = 0;
  // Adds columns from..to-1 of every row, row by row, to the statistics of the row's label
  // in z (labels 0..k-1). stats holds T blocks of k x width() values, column t's block at
  // t * k * width(): calls for different columns write apart and may run at once.
  virtual void addColumns(int from, int to, const int* z, int k, double* stats) const = 0;
  // Sizes the parameter tables for labels 0..k-1 (drawn ones keep nothing across calls).
  virtual void resize(int k) = 0;
  // Draws label c's parameters from their posterior given its statistics in stats (the
  // layout of addColumn), every uniform through myunif_rand, in a fixed order.
  virtual void draw(int c, const double* stats, int k) = 0;
  // out[j] = log density of row i under the parameters of label labels[j], j < count.
  // Reads only what draw wrote: threads may ask at once.
  virtual void logDensities(int i, const int* labels, int count, double* out) const = 0;
};

// The parameters of model's clusters, or null when the model offers none (another model, a
// "levels" or "shared" prior, a scale other than 1).
std::unique_ptr<ClusterParameters> makeClusterParameters(const Observable& model);

// Whether makeClusterParameters gives parameters for the model and prior so named: the run
// plan refuses the parallel sweep before reading any data otherwise.
bool drawsClusterParameters(const std::string& model, const std::string& prior);
// "HDBern and HDGBern (priors flat, point5, point05, point005) and mclust2", for messages.
std::string clusterParameterModels();

// The two model families' parameters (models/CategoricalParameters.cpp,
// models/NormalGammaParameters.cpp); null for a model of another family.
std::unique_ptr<ClusterParameters> makeCategoricalParameters(const Observable& model);
std::unique_ptr<ClusterParameters> makeNormalGammaParameters(const Observable& model);
