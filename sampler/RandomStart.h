// The random start with a fixed number of clusters: uniform labels conditioned on every
// cluster being used. The plain way redraws all labels until none is empty; when that
// would take too long on average, the same distribution is drawn directly.
#pragma once

// Above this many expected rounds of the redraw loop the labels are drawn directly.
constexpr double kMaxRedrawRounds = 1e6;

// The expected number of rounds of the redraw loop for n labels onto 1 <= k <= n clusters,
// k^n / (k! S(n,k)) with S the Stirling number of the second kind: exact to rounding when
// n k <= 4e6 or the number is at most cap; otherwise a number above cap that is a lower
// bound or an estimate (within about 1%) of it. Costs at most 4e6 steps.
double expectedRedrawRounds(int n, int k, double cap);

// Draws labels[0..n-1] from 0..k-1 (1 <= k <= n) uniformly among the labellings that use
// every label, without redrawing everything: cluster sizes are drawn as zero-truncated
// Poisson variates until they add up to n (about sqrt(k) tries), then the observations are
// put in a random order. Every draw goes through myunif_rand.
void drawLabelsUsingEveryCluster(int n, int k, int* labels);
