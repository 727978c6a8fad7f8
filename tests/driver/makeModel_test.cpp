// Model construction by name: the class built, its scale, and that it read its data and the
// prior text run setup writes for it.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "driver/common_main.h"
#include "models/HDBern.h"
#include "models/ProteinSequence.h"
#include "models/kmeans2.h"
#include "models/mclust2.h"
#include "tests/models/model_test_util.h"

namespace {

using modeltest::CaptureStdout;
using modeltest::TempDir;

template <class Model>
bool is(const Observable* model) {
  return dynamic_cast<const Model*>(model) != nullptr;
}

TEST(MakeModel, BuildsTheNamedModel) {
  TempDir dir;
  std::string fasta = dir.write("p.fasta", ">a\nAC\n>b\nAD\n>c\nWW\n");
  std::string binary = dir.write("b.txt", "0 1\n1 1\n0 0\n");
  std::string real = dir.write("r.txt", "0 0\n2 0\n0.5 1\n");
  struct Case {
    std::string model, prior, file;
    bool (*isRightClass)(const Observable*);
    double scale;
  };
  const Case cases[] = {
      {"ProteinSequence", "", fasta, is<ProteinSequence>, 1.0},
      {"ProteinSequence", "cloud9", fasta, is<ProteinSequence>, 1.0},
      {"mclust2", "", real, is<mclust2>, 1.0},
      {"HDBern", "point05", binary, is<HDBern>, 1.0},
      {"HDGBern", "point5", binary, is<HDGBern>, 1.0},
      {"kmeans2", "anything", real, is<kmeans2>, 1000.0},
  };
  int run = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model + " " + c.prior);
    Settings settings;
    settings.model = c.model;
    settings.prior = c.prior;
    std::stringstream priorStream;
    writePriorText(settings, priorStream);
    std::ofstream log(dir.path("run" + std::to_string(run++) + ".log"));
    CaptureStdout quiet;
    std::unique_ptr<Observable> model = makeModel(c.model, c.file, priorStream, log);
    ASSERT_TRUE(model);
    EXPECT_TRUE(c.isRightClass(model.get()));
    EXPECT_EQ(model->n, 3);
    EXPECT_EQ(model->T, 2);
    EXPECT_EQ(model->scale, c.scale);
  }

  // kmeans2 through makeModel: rows (0,0) and (2,0) score -2 * 1000.
  std::stringstream none;
  std::ofstream log(dir.path("k.log"));
  CaptureStdout quiet;
  auto k = makeModel("kmeans2", real, none, log);
  const int z[3] = {0, 0, 1};
  EXPECT_DOUBLE_EQ(k->getClusterFit(z, 0), -2000.0);
}

TEST(MakeModel, UnknownName) {
  TempDir dir;
  std::stringstream none;
  std::ofstream log(dir.path("x.log"));
  std::string out = modeltest::expectRunError([&] { makeModel("kmeans", "x.txt", none, log); },
                                              "main(). model not recognized: kmeans");
  EXPECT_EQ(out, "main(). model not recognized: kmeans\n");
}

}  // namespace
