#include <cstddef>
#include <fstream>
#include <vector>

#include "sampler/Enumeration.h"
#include "io/Console.h"
#include "io/Interrupt.h"
#include "io/Failure.h"
#include "io/Files.h"
#include "io/Text.h"
#include "partitions/SetPartitions.h"

namespace {
// Largest list of one cluster count held in memory at once.
const double kMaxListBytes = 2147483648.0;  // 2 GiB
const double kMaxRows = 2147483647.0;
}  // namespace

void enumZ(const Scorer& scorer, const std::string& fileStem, std::ostream& logFile) {
  const int n = scorer.n();
  const bool infmix = scorer.infmix();
  const int kFirst = infmix ? 1 : scorer.prior().fixedK();
  const int kLast = infmix ? n : scorer.prior().fixedK();

  // Refuse a listing that cannot be held before any file is created.
  for (int k = kFirst; k <= kLast; k++) {
    double ways = 0;
    SetPartitions::partitions(n, k, ways, false, false);
    if (ways > kMaxRows || ways * n * sizeof(int) > kMaxListBytes)
      Files::fail(logFile, "PartitionSampler::enumZ(). too many partitions to list: " + Text::n2s(ways));
  }

  std::ofstream save;
  Files::openWrite(save, fileStem + ".save", vout(), false);
  save.precision(10);
  long long listed = 0;
  try {
    for (int k = kFirst; k <= kLast; k++) {
      double ways = 0;
      const std::vector<int> out = SetPartitions::partitions(n, k, ways, true, false);
      const int rows = static_cast<int>(ways);
      Text::print2Dmatrix(out.data(), rows, n, logFile);
      if (!logFile) Files::fail(logFile, "Fail to write " + fileStem + ".log");
      for (int i = 0; i < rows; i++) {
        Text::writeNumber(save, scorer.getTotalLik(out.data() + static_cast<std::size_t>(i) * n, k),
                       '\n');
        listed++;
        // A full disk shows as soon as a buffer cannot be written.
        if (!save) Files::fail(logFile, "Fail to write " + fileStem + ".save");
        checkInterrupt();
      }
    }
  } catch (const Interruption& interruption) {
    // Listing or scoring: the scores so far stay, one per listed partition.
    save.close();
    if (save.fail()) Files::fail(logFile, "Fail to write " + fileStem + ".save");
    failRun(logFile, Failure::Interrupted,
            "Enumeration interrupted by signal " + Text::n2s(interruption.signal) +
                " after partition " + Text::n2s(listed),
            128 + interruption.signal, fileStem + ".log");
  }
  save.close();
  if (save.fail()) Files::fail(logFile, "Fail to write " + fileStem + ".save");
}
