#include "partitions/SetPartitions.h"

#include <cstddef>

#include "stats/Arrays.h"
#include "stats/MathPlus.h"
#include "partitions/partitions.h"

std::vector<int> SetPartitions::partitions(int n, int k, double& ways, bool returnPartitions,
                                          bool include0) {
  ways = 0;
  if (n < 1 || k < 1 || (k > n && !include0)) return {};

  // The size multisets: integer partitions of n into k parts, smallest part first.
  std::vector<int> first(k, include0 ? 0 : 1);
  first[k - 1] = include0 ? n : n - k + 1;
  std::vector<int> scratch = first;
  const int count = numbrestrictedparts(scratch.data(), k);
  std::vector<int> parts(static_cast<std::size_t>(count) * k);
  int len = static_cast<int>(parts.size());
  int inc = include0 ? 1 : 0;
  allrestrictedparts(&k, &n, &len, &inc, parts.data());

  // N(x) = n! / prod x_i! / prod_s (multiplicity of size s)!. Empty blocks are not told
  // apart, so zero parts take no share of the multiplicity division.
  std::vector<double> divisions(count);
  std::vector<int> multiplicity(n + 1);
  const double nFactorial = MathPlus::factorial(n);
  for (int p = 0; p < count; p++) {
    const int* x = &parts[static_cast<std::size_t>(p) * k];
    double N = nFactorial;
    for (int i = 0; i < k; i++) N /= MathPlus::factorial(x[i]);
    Arrays::table(x, k, multiplicity.data(), n + 1);
    for (int s = 1; s <= n; s++) N /= MathPlus::factorial(multiplicity[s]);
    divisions[p] = N;
    ways += N;
  }
  if (!returnPartitions) return {};

  const std::size_t rowLength = static_cast<std::size_t>(n);
  std::vector<int> out(static_cast<std::size_t>(ways) * rowLength);
  double row = 0;
  for (int p = 0; p < count; p++) {
    const int* x = &parts[static_cast<std::size_t>(p) * k];
    // Block sizes largest first; empty blocks are left out (the enumerator yields nothing
    // for two of them), so such a row simply uses fewer labels.
    int nonEmpty = 0;
    for (int i = 0; i < k; i++)
      if (x[i] > 0) nonEmpty++;
    prt::Tuple shape(static_cast<std::size_t>(nonEmpty));
    for (int i = 0; i < nonEmpty; i++) shape[i] = x[k - 1 - i];
    prt::Partitions fill(shape, n, out.data() + static_cast<std::size_t>(row) * rowLength);
    row = static_cast<double>(static_cast<std::size_t>(row + divisions[p]));
  }
  for (int& label : out) label--;
  return out;
}
