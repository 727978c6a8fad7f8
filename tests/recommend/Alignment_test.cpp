// Unaligned sequences are told apart from broken alignments: only unequal lengths without any
// gap get the hint to align; the engine's own message covers the rest.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "recommend/Alignment.h"

namespace {

TEST(UnalignedRefusal, OnlyUnequalLengthsWithoutGapsAreRefused) {
  struct Case {
    const char* what;
    const char* fasta;
    const char* refusal;  // nullptr: accepted
  };
  const Case cases[] = {
      {"aligned", ">a\nACDE\n>b\nKLMN\n", nullptr},
      {"unequal, no gap", ">a\nACDEFG\n>b\nACD\n",
       "the sequences are not aligned (sequence 2 has 3 characters where the first has 6, and none has a "
       "gap): align them first, e.g. mafft --auto in.fa > aligned.fa (Debian package mafft)"},
      {"the third differs", ">a\nACD\n>b\nKLM\n>c\nAC\n", "(sequence 3 has 2 characters where the first has 3"},
      {"unequal with a gap: broken, not unaligned", ">a\nAC-E\n>b\nACD\n", nullptr},
      {"a dot is a gap too", ">a\nAC.E\n>b\nACD\n", nullptr},
      {"a star is a gap too", ">a\nAC*E\n>b\nACD\n", nullptr},
      {"an empty sequence is the engine's to name", ">a\nACDE\n>b\n>c\nAC\n", nullptr},
      {"lines joined, CR and blank lines add nothing", ">a\r\nAC\r\nDE\r\n\r\n>b\r\nACDE\r\n", nullptr},
      {"joined lines counted together", ">a\nAC\nDEF\n>b\nACDE\n", "sequence 2 has 4 characters where the first has 5"},
      {"blank lines and a byte-order mark before the header", "\xEF\xBB\xBF\n \n>a\nACDE\n>b\nAC\n",
       "sequence 2 has 2 characters where the first has 4"},
      {"one sequence", ">a\nACDE\n", nullptr},
      {"empty file", "", nullptr},
  };
  for (const Case& c : cases) {
    std::istringstream in(c.fasta);
    const std::string refusal = recommend::unalignedRefusal(in);
    if (!c.refusal) {
      EXPECT_EQ(refusal, "") << c.what;
      continue;
    }
    EXPECT_NE(refusal.find(c.refusal), std::string::npos) << c.what << ": " << refusal;
    EXPECT_EQ(refusal.find('\n'), std::string::npos) << c.what;
  }
}

}  // namespace
