// Cases of data and prior texts a model must refuse, each with a part of the one line it
// ends the run with; shared by the model tests that read a matrix and a prior text.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "io/RunError.h"
#include "support/TempDir.h"

struct Refusal {
  const char* rows;
  const char* prior;
  const char* line;
};

// build(file, prior) must throw RunError naming the case's line, for every case.
template <class Build>
void expectRefusals(const std::vector<Refusal>& cases, Build build) {
  TempDir dir;
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.rows);
    dir.write("r.dat", c.rows);
    try {
      build(dir.file("r.dat"), c.prior);
      ADD_FAILURE() << "accepted";
    } catch (const RunError& error) {
      EXPECT_NE(std::string(error.what()).find(c.line), std::string::npos) << error.what();
    }
  }
}
