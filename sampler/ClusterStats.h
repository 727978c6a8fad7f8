// The model's two kinds of additive cluster statistics -- integer counts and, for fast
// arithmetic, running moments -- behind one set of names, for the code that keeps them per
// cluster (the scorer, the one-at-a-time scores, the tree move's pieces).
#pragma once
#include "models/Observable.h"

namespace clusterstats {

inline void add(const Observable& m, int i, int* s, int sign) { m.addToStats(i, s, sign); }
inline void add(const Observable& m, int i, double* s, int sign) { m.addToMoments(i, s, sign); }
inline double score(const Observable& m, const int* s, int members) {
  return m.scoreStats(s, members);
}
inline double score(const Observable& m, const double* s, int members) {
  return m.scoreMoments(s, members);
}

}  // namespace clusterstats
