// Scoring is the inner loop of every move: once a model is built (and its mixture tables have
// seen the largest k), no score or distance may allocate. Global operator new is replaced in
// this test binary to count allocations while a check is running.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <sstream>

#include "models/PriorStrings.h"
#include "models/HDBern.h"
#include "models/ProteinSequence.h"
#include "models/kmeans2.h"
#include "models/mclust2.h"
#include "tests/models/model_test_util.h"

namespace {
bool counting = false;
long allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
  if (counting) allocations++;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
// The nothrow forms too (std::stable_sort's buffer uses them): every form allocates with
// malloc, so that the replaced delete may free whatever any of them returned.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (counting) allocations++;
  return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

using modeltest::CaptureStdout;
using modeltest::TempDir;

// Allocations made by action.
template <class Action>
long allocationsOf(Action action) {
  allocations = 0;
  counting = true;
  action();
  counting = false;
  return allocations;
}

TEST(Scoring, AllocatesNothing) {
  TempDir dir;
  std::string fasta = dir.write("p.fasta", ">a\nAC-D\n>b\nACED\n>c\n--WD\n");
  std::string binary = dir.write("b.txt", "0 1 1\n1 1 0\n0 0 0\n1 0 1\n");
  std::string real = dir.write("r.txt", "0 0\n2 0\n0.5 1\n3 3\n");
  std::ostringstream log;
  std::stringstream cloud9(ProteinSequenceCloud9PriorString), flat(HDBernFlatPriorString),
      one("1");
  CaptureStdout quiet;
  ProteinSequence protein(fasta, cloud9, log);
  HDBern hdbern(binary, flat, log, 1.0);
  kmeans2 kmeans(real, log, 1000.0);
  mclust2 mclust(real, one, log, 1.0);

  const int z[4] = {0, 1, 0, 2};
  const int positions[2] = {1, 0};
  hdbern.getMixtureLik(z, 3);  // sizes the mixture tables for k = 3
  const Observable* models[] = {&protein, &hdbern, &kmeans, &mclust};
  for (const Observable* model : models) {
    EXPECT_EQ(allocationsOf([&] {
                for (int j = 0; j < 4; j++) model->getClusterFit(z, j);
                model->pairwiseDistance(0, 2);
                model->pairwiseDistance(0, 2, 2, positions);
              }),
              0);
  }
  EXPECT_EQ(allocationsOf([&] {
              hdbern.getClassificationLik(z, 0);
              hdbern.getMixtureLik(z, 3);
              hdbern.getMixtureLik(z, 2);
            }),
            0);
  // Growing to a larger k allocates, once.
  const int wide[4] = {0, 1, 2, 3};
  EXPECT_GT(allocationsOf([&] { hdbern.getMixtureLik(wide, 4); }), 0);
  EXPECT_EQ(allocationsOf([&] { hdbern.getMixtureLik(wide, 4); }), 0);
}

}  // namespace
