// How often each chain keeps a draw: chosen so that a chain running at the measured speed
// until the time limit keeps about kTargetDraws draws. The engine writes its draws in blocks of
// kEngineBlockBytes, so for narrow data more draws are kept (up to kMostDraws) to let a block
// fill within a twentieth of the limit; for wide data fewer, so that one draws file stays near
// kDrawsBytes and the summary reads files of bounded size.
#pragma once

namespace fit {

constexpr long kTargetDraws = 10000;
constexpr long kMostDraws = 20000;
constexpr long kFewestTargetDraws = 2000;
constexpr long kEngineBlockBytes = 1L << 16;
constexpr double kDrawsBytes = 40e6;

// Draws wanted at the limit for n observations (a draws line takes about 2n + 30 bytes).
long targetDraws(long observations);

// THIN for -d and -e: at least 1, and iterationsPerSecond * seconds / THIN about targetDraws.
long chooseThin(double iterationsPerSecond, double seconds, long observations);

}  // namespace fit
