#include "driver/help.h"

const char* const kHelpText = R"(vornak: clusters observations (aligned protein sequences, rows of a 0/1 or categorical
matrix, rows of a real matrix) by Markov-chain Monte Carlo over their partitions, or lists
and scores every partition of tiny data.

Usage:
  vornak -m MODEL -f DATA -k K -h HEURISTIC (-B B | -t MINUTES | -i N) -c CRITERION [options]
  vornak --help

Required:
  -m MODEL       ProteinSequence  aligned protein sequences (FASTA)
                 HDBern           a 0/1 matrix
                 HDGBern          a matrix of whole numbers 0..19 (categorical columns)
                 kmeans2          a real matrix, sum of squares within clusters
                 mclust2          a real matrix, Gaussian clusters with independent columns
                 mvn              a real matrix, Gaussian clusters with full covariances
  -f DATA        data file: FASTA for ProteinSequence; otherwise one observation per line,
                 values separated by blanks or tabs, NA a missing cell (not for mvn). The
                 output files go beside it.
  -k K           number of clusters, 1 to 32767; 0 leaves it open (Dirichlet-process prior)
  -h HEURISTIC   the move of each iteration:
                 OA     one-at-a-time Gibbs sweep over every observation (start here)
                 JN     split-merge with restricted Gibbs scans (needs -k 0)
                 DA     sequentially allocated split-merge (needs -k 0)
                 SR     random split-merge
                 UX     tree-guided split-merge, the tree's steps weighed by their scores
                 UXf    as UX, the steps weighed equally
                 rBHS2  as UX2, the steps weighed equally every tenth iteration
                 JN2, DA2, SR2, UX2, UXf2: the move plus two OA sweeps per iteration
                 EN     list and score every partition instead of a search (tiny data only)
  -B B           run 10^B iterations, B at most 18 (without -B: 9)
  -t MINUTES     stop after this many minutes (without -t: 14400, ten days)
                 A search needs -B, -t or -i and stops at the first limit it reaches; EN
                 needs none of them.
  -c CRITERION   integrated (log posterior of the partition), classi (classification
                 likelihood) or mixture (mixture likelihood); classi and mixture for HDBern
                 and HDGBern only. Without -c the run is refused.

Optional:
  -l LABEL       added to the output file names (no '/'); runs that differ only in -c share
                 their names unless labelled
  -p PRIOR       component prior: ProteinSequence bg (default), flat or cloud9;
                 HDBern and HDGBern flat (default), point5, point05, point005 or levels;
                 mclust2 and mvn a positive number c (default 1), larger c tighter clusters;
                 kmeans2 none (the word only goes into the file names)
  -a LOGALPHA    natural log of the concentration alpha of the partition prior (default 0)
  -z FILE        start from this partition: one 0-based label per observation, as .finalz
                 and .best hold it (default: a random start)

Further options (without them every file and line is as without them):
  -s SEED        seed of the random numbers, 1 to 4294967295 (default 2); the same seed
                 repeats a chain, another gives an independent chain
  -q             quiet log: no per-iteration and per-move lines
  -d THIN        keep the partition of every THIN-th iteration in STEM.draws (THIN 1 or
                 more), the input of vornak-summary
  -i N           run exactly N iterations (0 or more) in place of 10^B
  -e THIN        thinned score trace: .save keeps one point every THIN iterations (1 or more)
  -V P           column selection for ProteinSequence, HDBern and HDGBern under integrated:
                 each column is clustered with prior probability P (0 < P < 1), else
                 background; with -d, STEM.columns ranks the columns
  -W A,B         with -V: a Beta(A, B) prior on P, drawn after every iteration (two positive
                 numbers; with -d, STEM.pdraws keeps P)
  -x             fast arithmetic for kmeans2, mclust2 and mvn: running sums, agreeing with
                 exact scores to about 1e-12 relative; other models score as without it
  -A SHAPE,RATE  Gamma prior on alpha (two positive numbers), alpha drawn after every
                 iteration; needs -k 0, not with EN; with -d, STEM.alpha keeps alpha
  -S             standardise every column of a real matrix (kmeans2, mclust2, mvn)
  -Z tree        start from the best cut of the complete-linkage tree over the data, not a
                 random start (not with -z)
  -T N           heated chains: N chains in all, 1 to 64 (default 1, the plain run); only
                 the cold chain is written; not with -A or -V
  -j THREADS     at most this many threads for the chains of -T, 1 to 1024 (default one per
                 processor); changes no file

Every word is examined, values included, and the last occurrence of an option wins. An
unknown word is ignored; one that looks like an option (--seed, -s5) is named in a warning on
standard error. A number that is not plain is read as C's atoi and atof read it, with a
warning; a further option's value outside its range is refused.

Recommended settings (two or more chains, each its own seed -s 1, -s 2, ..., then
vornak-summary on their .draws): -k 0 -c integrated -q -d THIN, and
  FASTA alignment            -m ProteinSequence -p bg -h OA -Z tree
  0/1 matrix                 -m HDBern -p flat -h OA -T 4
  whole numbers 0..19        -m HDGBern -p levels -h OA
  real matrix                -m mvn -p 1 -h OA -x

Files (STEM: the data file's name up to its first dot and the settings, shown as
"fileStem: STEM"): STEM.log (the log), STEM.save (the score trace), STEM.finalz (the final
partition) and STEM.best (the best one), both valid -z starts; with -d STEM.draws, with -A
and -d STEM.alpha, with -V and -d STEM.columns, with -V, -W and -d STEM.pdraws. An existing
.log, .save or .draws stops the run before any file is written; a run refused before its
search keeps its log as STEM.failed.log.

Exit status:
  1      the run completed and every file was written (1, not 0, by design)
  0      --help
  255    the required options are missing (the usage text is printed on standard output), or
         a setting, the data, a start file or a write was refused or failed (one line names it)
  128+N  interrupted by signal N (130 Ctrl-C, 143 SIGTERM, 129 SIGHUP): the files are kept
         and STEM.finalz is a start for -z

Example: two chains and their summary
  vornak -m HDBern -f votes.dat -k 0 -h OA -B 4 -c integrated -s 1 -q -d 10
  vornak -m HDBern -f votes.dat -k 0 -h OA -B 4 -c integrated -s 2 -q -d 10
  vornak-summary votes_k0_OA_p_a0_B4_s1.draws votes_k0_OA_p_a0_B4_s2.draws

More in README.md: Usage, Further options, Output files, Getting answers.
)";
