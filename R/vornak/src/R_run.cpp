// The package's own .Call entries: a run from command-line words, parsed and set up exactly
// as the console does, and the posterior summary engine. Both hand back their status, their
// standard output and their failure line as values: the R side turns them into messages,
// conditions and errors once no C++ frame is left to jump over.
#define R_NO_REMAP
#include <R.h>
#include <Rinternals.h>

#include <exception>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "R_console.h"
#include "io/Interrupt.h"
#include "io/RunError.h"
#include "driver/common_main.h"

#if __has_include("summary/summary.h")
#include "summary/summary.h"
#define VORNAK_HAVE_SUMMARY 1
#endif

namespace {

std::vector<std::string> wordsOf(SEXP words) {
  std::vector<std::string> out;
  // The R side hands native-encoded text; CHAR cannot jump, translation could.
  for (R_xlen_t i = 0; i < XLENGTH(words); i++) out.emplace_back(CHAR(STRING_ELT(words, i)));
  return out;
}

// list(status = , output = , error = ); built after every C++ object of the call is gone
// from the caller's view, so an allocation failure here jumps over nothing of ours.
SEXP result(int status, const std::string& output, const std::string& error) {
  const char* names[] = {"status", "output", "error", ""};
  SEXP list = PROTECT(Rf_mkNamed(VECSXP, names));
  SET_VECTOR_ELT(list, 0, Rf_ScalarInteger(status));
  SET_VECTOR_ELT(list, 1, Rf_mkString(output.c_str()));
  SET_VECTOR_ELT(list, 2, Rf_mkString(error.c_str()));
  UNPROTECT(1);
  return list;
}

struct Outcome {
  int status = 0;
  std::string output;
  std::string error;
};

Outcome runWords(const std::vector<std::string>& words, bool draw, const std::string& title,
                 long long iterations) {
  Outcome outcome;
  std::vector<std::string> argvText;
  argvText.push_back("vornak");
  argvText.insert(argvText.end(), words.begin(), words.end());
  std::vector<char*> argv;
  for (auto& word : argvText) argv.push_back(&word[0]);
  argv.push_back(nullptr);

  rconsole::setCapture(&outcome.output);
  clearInterrupt();
  try {
    Settings settings;
    if (!parseCommandLine(static_cast<int>(argvText.size()), argv.data(), settings)) {
      outcome.status = 255;
      outcome.error = "vornak: the settings are incomplete (model, data, k, heuristic and a length)";
    } else {
      rconsole::startProgress(draw, iterations, settings.minuteAllowed, title);
      common_main(settings);
    }
  } catch (const RunError& error) {
    outcome.status = error.status < 0 ? 256 + error.status : error.status;
    outcome.error = error.what();
  } catch (const std::bad_alloc&) {
    outcome.status = 255;
    outcome.error =
        "Out of memory: the data or the chosen heuristic need more memory than is available";
  } catch (const std::exception& error) {
    outcome.status = 255;
    outcome.error = error.what();
  } catch (...) {
    outcome.status = 255;
    outcome.error = "vornak stopped on an unknown failure";
  }
  rconsole::setCapture(nullptr);
  clearInterrupt();
  return outcome;
}

}  // namespace

// words: the command-line words after the program name; progress: draw a bar, headed by
// title, towards total iterations (0 when only minutes bound the run).
extern "C" SEXP vornak_R_run(SEXP words, SEXP progress, SEXP title, SEXP total) {
  if (!Rf_isString(words) || !Rf_isLogical(progress) || XLENGTH(progress) != 1 ||
      !Rf_isString(title) || XLENGTH(title) != 1 || !Rf_isReal(total) || XLENGTH(total) != 1)
    Rf_error("vornak_R_run: needs text words, one flag, one title and one number");
  const bool draw = LOGICAL(progress)[0] == TRUE;
  const long long iterations = static_cast<long long>(REAL(total)[0]);
  Outcome outcome = runWords(wordsOf(words), draw, CHAR(STRING_ELT(title, 0)), iterations);
  return result(outcome.status, outcome.output, outcome.error);
}

// args: the words of vornak-summary after its name.
extern "C" SEXP vornak_R_summary(SEXP args) {
  if (!Rf_isString(args)) Rf_error("vornak_R_summary: args must be text");
  Outcome outcome;
#ifdef VORNAK_HAVE_SUMMARY
  {
    std::vector<std::string> list = wordsOf(args);
    std::ostringstream out, err;
    try {
      outcome.status = runSummary(list, out, err);
    } catch (const std::bad_alloc&) {
      outcome.status = 255;
      err << "Out of memory while summarising the draws\n";
    } catch (const std::exception& error) {
      outcome.status = 255;
      err << error.what() << '\n';
    }
    outcome.output = out.str();
    outcome.error = err.str();
  }
#else
  outcome.status = 255;
  outcome.error = "this build of vornak has no summary engine (summary/summary.h was not found)";
#endif
  return result(outcome.status, outcome.output, outcome.error);
}
