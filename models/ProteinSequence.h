// Sequences of a protein multiple alignment, read from a FASTA file. A cluster is scored
// column by column by Dirichlet-multinomial marginals of its residue counts (prior from the
// prior text) and of its residue/gap transitions (two fixed priors).
#pragma once
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "models/ColumnProfilePrior.h"
#include "models/Observable.h"
#include "stats/DirichletRV.h"
#include "stats/DirichletScorer.h"
#include "io/Matrix.h"
#include "stats/MixtureDirichletRV.h"

// The read-only side: the alignment, its gap flags, the priors and their tables.
struct ProteinData {
  int n = 0;
  int T = 0;
  Matrix<uint8_t> sequence;  // n rows of T residue codes 0..20
  // The three priors as read.
  MixtureDirichletRV muPrior;  // residue probabilities of a column, D = 20
  DirichletRV taoPrior;        // transitions out of a residue: (to residue, to gap)
  DirichletRV nuPrior;         // transitions out of a gap
  // Their tables for counts up to n.
  std::shared_ptr<const DirichletTables> muTables, taoTables, nuTables;
  // Per observation, 1 + T flags: 0, then whether each column is a gap.
  Matrix<unsigned char> gapFlags;
  // With a prior text ending in "shared": the residue prior around each column's profile,
  // which then replaces muPrior's scoring.
  std::unique_ptr<const ColumnProfilePrior> profile;

  // Reads the prior text, then the alignment (see readFastaFile). A bad prior text or
  // alignment ends the run.
  ProteinData(const std::string& sequenceFileName, std::istream& priorStream,
              std::ostream& logFile);
  // Fills n, T and sequence. The first line is dropped; a sequence runs until the next line
  // starting with '>'; every sequence must have the length of the first (longer ones are
  // cut to it), otherwise the run ends with "Bad FASTA file ...".
  void readFastaFile(const std::string& fileName, std::ostream& logFile);
};

class ProteinSequence final : public Observable {
 public:
  static constexpr int AA_KINDS = 20;  // residue codes 0..19; 20 is the gap
  static const int GAP = 20;

  const Matrix<uint8_t>& sequence;  // the shared data's
  std::ostream& logFile;

  // Reads the prior text, then the alignment (ProteinData).
  ProteinSequence(const std::string& sequenceFileName, std::istream& priorStream,
                  std::ostream& _logFile);
  // A model on data read before, with scratch of its own.
  ProteinSequence(std::shared_ptr<const ProteinData> data, std::ostream& _logFile);

  std::unique_ptr<Observable> copyForChain() const override;
  const ProteinData& shared() const { return *data_; }
  size_t workspaceBytes() const override;

  // Residue code of one alignment character: A..Y as in AA order, '-' and '*' the gap,
  // lower case as upper case, anything else 0.
  static int residueCode(char c);

  // Appends each header's name (after '>', up to the first blank).
  void readSeqNamesFromFasta(const char* fileName, std::vector<std::string>& seqNames) const;
  // count: T rows of 20 residue counts of cluster j; returns the member count.
  int getAAcount(const int* z, short int j, int* count) const;
  // taoCount, nuCount: T rows of (into residue, into gap) out of a residue / out of a gap.
  void getTranCount(const int* z, short int j, int* taoCount, int* nuCount) const;

  // The fast version unless the model's scoring mode asks for the reference.
  double getClusterFit(const int* z, int j) const override;
  // The plain scoring, kept as the reference of the fast one, which gives the same double.
  double clusterFitReference(const int* z, int j) const;
  double clusterFitFast(const int* z, int j) const;
  // Additive statistics for searches: per column the 21 code counts (gap last) and the
  // four transition counts (residue to residue, residue to gap, gap to residue, gap to gap).
  int statsSize() const override;
  void addToStats(int i, int* stats, int sign) const override;
  double scoreStats(const int* stats, int members) const override;
  int columnStatsSize() const override;
  void columnTerms(const int* stats, int members, double* terms) const override;
  // Share of differing columns among those where not both are gaps; 1.0 (and a message on
  // standard output) when every compared column is a gap in both.
  double pairwiseDistance(int i1, int i2) const override;
  double pairwiseDistance(int i1, int i2, int length, const int* positions) const override;

 private:
  // The residue term of column t for its 20 counts (the fast paths' prior).
  double residueFit(const int* aa, int t) const;
  // Over positions[0..length-1], or over columns 0..length-1 when positions is null.
  double distanceOver(int i1, int i2, int length, const int* positions) const;

  // What a chain writes while it scores: T rows of 21 counts (the gap last; the reference's
  // 20 residue counts use them too); T rows of 4 transition counts (residue->residue,
  // residue->gap, gap->residue, gap->gap; the reference's residue and gap rows of 2 use
  // them too); the member indices; per column the members with a gap, and with a gap in
  // this and the previous column; the tables' memos; copies of the priors for the plain
  // evaluation (whose scratch is the object's own).
  struct Workspace {
    explicit Workspace(const ProteinData& data);
    std::vector<int> codeCount;
    std::vector<int> tranCount;
    std::vector<int> memberList;
    std::vector<int> gapSum;
    std::vector<int> bothGapSum;
    DirichletScorer muScorer, taoScorer, nuScorer;
    MixtureDirichletRV muPrior;
    DirichletRV taoPrior, nuPrior;
  };

  std::shared_ptr<const ProteinData> data_;
  mutable Workspace work_;
};
