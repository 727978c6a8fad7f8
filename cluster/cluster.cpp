#include "cluster/cluster.h"

#include <memory>
#include <new>

#include "io/Interrupt.h"

namespace {

enum class Linkage { Complete, Single, Average };

// Distance from the merged cluster to another one, given a (from the cluster at P) and b
// (from the cluster at Q).
template <Linkage L>
inline double linkRule(double a, double b, int sizeP, int sizeQ) {
  if constexpr (L == Linkage::Complete) {
    return a > b ? a : b;
  } else if constexpr (L == Linkage::Single) {
    return b > a ? a : b;
  } else {
    const double weighted = a * sizeP + b * sizeQ;
    return weighted / (sizeP + sizeQ);
  }
}

// Per active row r >= 1, the smallest entry of its columns 0..r-1 and its first column: the
// closest pair is then the first row whose minimum is strictly below every earlier row's,
// the very pair a scan of the whole triangle in row order finds, in O(m) per merge.
struct RowMinima {
  std::unique_ptr<double[]> value;
  std::unique_ptr<int[]> column;

  bool allocate(int n) {
    value.reset(new (std::nothrow) double[n]);
    column.reset(new (std::nothrow) int[n]);
    return value && column;
  }
  void rescan(double** d, int r) {
    const double* row = d[r];
    double best = row[0];
    int at = 0;
    for (int c = 1; c < r; c++)
      if (row[c] < best) {
        best = row[c];
        at = c;
      }
    value[r] = best;
    column[r] = at;
  }
  // Entry c of row r changed while the row's minimum lay elsewhere.
  void offer(double** d, int r, int c) {
    const double v = d[r][c];
    if (v < value[r] || (v == value[r] && c < column[r])) {
      value[r] = v;
      column[r] = c;
    }
  }
  double closest(int m, int* P, int* Q) const {
    double best = value[1];
    int r0 = 1;
    for (int r = 2; r < m; r++)
      if (value[r] < best) {
        best = value[r];
        r0 = r;
      }
    *P = r0;
    *Q = column[r0];
    return best;
  }
};

// The one agglomeration engine: merge the closest pair into the lower position Q, move the
// last cluster into the freed position P, shrink by one.
template <Linkage L>
Node* agglomerate(int n, double** d) {
  if (n < 2 || d == nullptr) return nullptr;
  constexpr bool kSized = L == Linkage::Average;
  std::unique_ptr<int[]> id(new (std::nothrow) int[n]);
  std::unique_ptr<int[]> size(kSized ? new (std::nothrow) int[n] : nullptr);
  std::unique_ptr<Node[]> result(new (std::nothrow) Node[n - 1]);
  RowMinima minima;
  if (!id || (kSized && !size) || !result || !minima.allocate(n)) return nullptr;
  for (int i = 0; i < n; i++) {
    id[i] = i;
    if constexpr (kSized) size[i] = 1;
  }
  for (int r = 1; r < n; r++) minima.rescan(d, r);

  for (int m = n; m > 1; m--) {
    checkInterrupt();
    const int s = n - m;
    int P = 1, Q = 0;
    result[s].distance = minima.closest(m, &P, &Q);
    const int sizeP = kSized ? size[P] : 1;
    const int sizeQ = kSized ? size[Q] : 1;

    for (int k = 0; k < Q; k++) d[Q][k] = linkRule<L>(d[P][k], d[Q][k], sizeP, sizeQ);
    for (int k = Q + 1; k < P; k++) d[k][Q] = linkRule<L>(d[P][k], d[k][Q], sizeP, sizeQ);
    for (int k = P + 1; k < m; k++) d[k][Q] = linkRule<L>(d[k][P], d[k][Q], sizeP, sizeQ);

    for (int k = 0; k < P; k++) d[P][k] = d[m - 1][k];
    for (int k = P + 1; k < m - 1; k++) d[k][P] = d[m - 1][k];

    // Rows Q and P were rewritten; every later row changed in column Q, and those between
    // P and the last in column P too.
    if (m > 2) {
      if (Q >= 1) minima.rescan(d, Q);
      if (P < m - 1) minima.rescan(d, P);
      for (int k = Q + 1; k < m - 1; k++) {
        if (k == P) continue;
        const bool columnP = k > P;
        if (minima.column[k] == Q || (columnP && minima.column[k] == P)) {
          minima.rescan(d, k);
        } else {
          minima.offer(d, k, Q);
          if (columnP) minima.offer(d, k, P);
        }
      }
    }

    result[s].left = id[P];
    result[s].right = id[Q];
    id[Q] = -(s + 1);
    id[P] = id[m - 1];
    if constexpr (kSized) {
      size[Q] = sizeP + sizeQ;
      size[P] = size[m - 1];
    }
  }
  return result.release();
}

}  // namespace

double find_closest_pair(int n, double** distmatrix, int* ip, int* jp) {
  double best = distmatrix[1][0];
  *ip = 1;
  *jp = 0;
  for (int r = 1; r < n; r++) {
    const double* row = distmatrix[r];
    for (int c = 0; c < r; c++)
      if (row[c] < best) {
        best = row[c];
        *ip = r;
        *jp = c;
      }
  }
  return best;
}

Node* completeLinkage(int nelements, double** distmatrix) {
  return agglomerate<Linkage::Complete>(nelements, distmatrix);
}
Node* singleLinkage(int nelements, double** distmatrix) {
  return agglomerate<Linkage::Single>(nelements, distmatrix);
}
Node* averageLinkage(int nelements, double** distmatrix) {
  return agglomerate<Linkage::Average>(nelements, distmatrix);
}
