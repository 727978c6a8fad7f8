// The package's own .Call entries: a run from command-line words, parsed and set up exactly
// as the console does, the names of its files, and the posterior summary engine. All hand
// back their status, their standard output and their failure line as values: the R side turns
// them into messages, conditions and errors once no C++ frame is left to jump over.
#define R_NO_REMAP
#include <R.h>
#include <Rinternals.h>

#include <unistd.h>

#include <exception>
#include <limits>
#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "R_console.h"
#include "io/Interrupt.h"
#include "io/RunError.h"
#include "driver/common_main.h"
#include "recommend/Alignment.h"
#include "io/DelimitedReader.h"
#include "recommend/Recommend.h"
#include "recommend/Starts.h"
#include "summary/agreement.h"
#include "summary/summary.h"

namespace {

std::vector<std::string> wordsOf(SEXP words) {
  std::vector<std::string> out;
  // The R side hands native-encoded text; CHAR cannot jump, translation could.
  for (R_xlen_t i = 0; i < XLENGTH(words); i++) out.emplace_back(CHAR(STRING_ELT(words, i)));
  return out;
}

struct Outcome {
  int status = 0;
  std::string output;
  std::string error;
  std::string messages;  // standard error: warnings, hints, failure lines
  // The run's files by kind ("log", "save", ...), as the plan names them.
  std::vector<std::pair<std::string, std::string>> files;
};

// list(status = , output = , error = , files = , messages = ); built after every C++ object
// of the call is gone from the caller's view, so an allocation failure here jumps over nothing of ours.
SEXP result(const Outcome& outcome) {
  const char* names[] = {"status", "output", "error", "files", "messages", ""};
  SEXP list = PROTECT(Rf_mkNamed(VECSXP, names));
  SET_VECTOR_ELT(list, 0, Rf_ScalarInteger(outcome.status));
  SET_VECTOR_ELT(list, 1, Rf_mkString(outcome.output.c_str()));
  SET_VECTOR_ELT(list, 2, Rf_mkString(outcome.error.c_str()));
  const R_xlen_t count = static_cast<R_xlen_t>(outcome.files.size());
  SEXP files = PROTECT(Rf_allocVector(STRSXP, count));
  SEXP kinds = PROTECT(Rf_allocVector(STRSXP, count));
  for (R_xlen_t i = 0; i < count; i++) {
    SET_STRING_ELT(kinds, i, Rf_mkChar(outcome.files[i].first.c_str()));
    SET_STRING_ELT(files, i, Rf_mkChar(outcome.files[i].second.c_str()));
  }
  Rf_setAttrib(files, R_NamesSymbol, kinds);
  SET_VECTOR_ELT(list, 3, files);
  SET_VECTOR_ELT(list, 4, Rf_mkString(outcome.messages.c_str()));
  UNPROTECT(3);
  return list;
}

// Inside a catch block of a data file's reading: the outcome takes the failure's one line.
void dataFileFailed(Outcome& outcome) {
  outcome.status = 255;
  try {
    throw;
  } catch (const std::bad_alloc&) {
    outcome.error = "Out of memory while reading the data file";
  } catch (const std::exception& error) {
    outcome.error = error.what();
  }
}

// Parses the words as the console does and, unless planOnly, runs them; either way the
// outcome names the files of the run, from the plan that the run itself makes.
Outcome runWords(const std::vector<std::string>& words, bool planOnly, bool draw,
                 const std::string& title, long long iterations, long parent = 0) {
  Outcome outcome;
  std::vector<std::string> argvText;
  argvText.push_back("vornak");
  argvText.insert(argvText.end(), words.begin(), words.end());
  std::vector<char*> argv;
  for (auto& word : argvText) argv.push_back(&word[0]);
  argv.push_back(nullptr);

  rconsole::setCapture(&outcome.output, &outcome.messages);
  clearInterrupt();
  try {
    Settings settings;
    std::string refusal;
    if (!parseCommandLine(static_cast<int>(argvText.size()), argv.data(), settings, &refusal)) {
      outcome.status = 255;
      outcome.error = !refusal.empty() ? refusal
                      : "vornak: the settings are incomplete (model, data, k, heuristic and a length)";
    } else {
      outcome.files = makePlan(settings).files();
      if (!planOnly) {
        rconsole::startProgress(draw, iterations, settings.minuteAllowed, title, parent);
        common_main(settings);
      }
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
  rconsole::finishProgress();
  rconsole::setCapture(nullptr, nullptr);
  clearInterrupt();
  return outcome;
}

}  // namespace

// words: the command-line words after the program name; progress: draw a bar, headed by
// title, towards total iterations (0 when only minutes bound the run); parent: the process
// id of the R session that forked this chain, or 0.
extern "C" SEXP vornak_R_run(SEXP words, SEXP progress, SEXP title, SEXP total, SEXP parent) {
  if (!Rf_isString(words) || !Rf_isLogical(progress) || XLENGTH(progress) != 1 ||
      !Rf_isString(title) || XLENGTH(title) != 1 || !Rf_isReal(total) || XLENGTH(total) != 1 ||
      !Rf_isReal(parent) || XLENGTH(parent) != 1)
    Rf_error("vornak_R_run: needs text words, one flag, one title and two numbers");
  const bool draw = LOGICAL(progress)[0] == TRUE;
  const long long iterations = static_cast<long long>(REAL(total)[0]);
  return result(runWords(wordsOf(words), false, draw, CHAR(STRING_ELT(title, 0)), iterations,
                         static_cast<long>(REAL(parent)[0])));
}

// The files a run of these words would write, named by kind, without running it; settings
// the native side refuses before a run starts are refused here too.
extern "C" SEXP vornak_R_plan(SEXP words) {
  if (!Rf_isString(words)) Rf_error("vornak_R_plan: words must be text");
  return result(runWords(wordsOf(words), true, false, "", 0));
}

// The process id of this process's parent: a forked chain compares it with its session's.
extern "C" SEXP vornak_R_parent(void) { return Rf_ScalarReal(static_cast<double>(getppid())); }

// args: the words of vornak-summary after its name.
extern "C" SEXP vornak_R_summary(SEXP args) {
  if (!Rf_isString(args)) Rf_error("vornak_R_summary: args must be text");
  Outcome outcome;
  {  // gone before result() allocates, which may jump
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
  return result(outcome);
}

// files: draws files of chains that may still be written; burn: share of each chain's complete
// lines left out. Gives list(status, error, values): R-hat and summed bulk ESS of score and k
// (NaN until every chain has kept enough lines), the fewest iterations any chain reached and
// the best score so far.
extern "C" SEXP vornak_R_agreement(SEXP files, SEXP burn) {
  if (!Rf_isString(files) || !Rf_isReal(burn) || XLENGTH(burn) != 1)
    Rf_error("vornak_R_agreement: needs the files as text and one burn-in fraction");
  Outcome outcome;
  summary::Agreement agreement;
  {  // gone before anything is allocated in R, which may jump
    std::vector<std::string> list = wordsOf(files);
    try {
      agreement = summary::checkAgreement(list, REAL(burn)[0]);
    } catch (const std::exception& error) {
      outcome.status = 255;
      outcome.error = error.what();
    }
  }
  // conditions: 1 when everything but R's own R-hat and ESS limits holds (one mode reached from
  // two starts, no chain stuck, every chain's ESS at least 100): vornak-fit's rule; 2 when every
  // chain sits on one partition reached from two starts (agreed; R-hat and ESS do not apply).
  const char* names[] = {"chains", "kept", "iterations", "best_score", "rhat_score", "rhat_k",
                         "ess_score", "ess_k", "conditions", "modes", ""};
  SEXP values = PROTECT(Rf_mkNamed(REALSXP, names));
  const double fields[] = {static_cast<double>(agreement.chains),
                           static_cast<double>(agreement.keptPerChain),
                           static_cast<double>(agreement.iterations), agreement.bestScore,
                           agreement.rhatScore, agreement.rhatK, agreement.essScore,
                           agreement.essK,
                           agreement.onePartition ? 2.0
                           : agreement.agreed(std::numeric_limits<double>::infinity(), 0) ? 1.0 : 0.0,
                           static_cast<double>(agreement.modes.size())};
  for (int i = 0; i < 10; i++) REAL(values)[i] = fields[i];
  std::string verdict;
  if (agreement.chains >= 2) {
    verdict = agreement.modes.size() > 1 ? summary::modesPhrase(agreement) : summary::startsPhrase(agreement);
    if (!verdict.empty()) verdict = "did not agree: " + verdict;
  }
  const char* listNames[] = {"status", "error", "values", "verdict", ""};
  SEXP list = PROTECT(Rf_mkNamed(VECSXP, listNames));
  SET_VECTOR_ELT(list, 0, Rf_ScalarInteger(outcome.status));
  SET_VECTOR_ELT(list, 1, Rf_mkString(outcome.error.c_str()));
  SET_VECTOR_ELT(list, 2, values);
  SET_VECTOR_ELT(list, 3, Rf_mkString(verdict.c_str()));
  UNPROTECT(2);
  return list;
}

// file: the data file the chains will read; given: the settings' engine words; without:
// letters withdrawn; recommend: start from the recommended settings (else from given alone);
// chains: runs at once (0: the default number). Gives list(status, error, kind, words, threads,
// chains): the kind the chosen model reads as the package names it, every chain's settings
// words, the threads of a run and the number of chains.
extern "C" SEXP vornak_R_recommend(SEXP file, SEXP given, SEXP without, SEXP recommend, SEXP chains) {
  if (!Rf_isString(file) || XLENGTH(file) != 1 || !Rf_isString(given) || !Rf_isString(without) ||
      !Rf_isLogical(recommend) || XLENGTH(recommend) != 1 || !Rf_isReal(chains) || XLENGTH(chains) != 1)
    Rf_error("vornak_R_recommend: needs a file, two word lists, one flag and a number");
  Outcome outcome;
  recommend::Choice choice;
  int chainCount = 0;
  std::vector<std::string> givenWords;
  long rows = 0;
  {  // gone before anything is allocated in R, which may jump
    const std::string path = CHAR(STRING_ELT(file, 0));
    recommend::Request request;
    request.given = wordsOf(given);
    request.without = wordsOf(without);
    request.recommend = LOGICAL(recommend)[0] == TRUE;
    request.chains = REAL(chains)[0] > 0 ? static_cast<int>(REAL(chains)[0]) : recommend::defaultChains();
    chainCount = request.chains;
    try {
      std::ifstream in(path, std::ios::binary);
      if (!in) throw std::runtime_error("cannot read the data file: " + path);
      const recommend::DataShape shape = recommend::detectData(in);
      if (shape.kind == recommend::DataKind::Sequences) {
        std::ifstream again(path, std::ios::binary);
        const std::string refusal = recommend::unalignedRefusal(again);
        if (!refusal.empty()) throw std::runtime_error(refusal);
      }
      choice = recommend::choose(shape, request);
      givenWords = request.given;
      rows = shape.rows;
    } catch (...) {
      dataFileFailed(outcome);
    }
  }
  const char* kinds[] = {"sequences", "binary", "levels", "real"};
  // Each chain's -Z word ("" for none), the recommender's; a model given keeps the words it
  // documents, the console's run's.
  std::vector<std::string> starts;
  for (int c = 0; c < chainCount && outcome.status == 0 && LOGICAL(recommend)[0] == TRUE; c++)
    starts.push_back(recommend::wordValue(recommend::chainWords(choice.words, givenWords, c, rows), "-Z"));
  const char* names[] = {"status", "error", "kind", "words", "threads", "chains", "starts", ""};
  SEXP list = PROTECT(Rf_mkNamed(VECSXP, names));
  SET_VECTOR_ELT(list, 0, Rf_ScalarInteger(outcome.status));
  SET_VECTOR_ELT(list, 1, Rf_mkString(outcome.error.c_str()));
  SET_VECTOR_ELT(list, 2, Rf_mkString(kinds[static_cast<int>(choice.reads)]));
  SEXP words = PROTECT(Rf_allocVector(STRSXP, static_cast<R_xlen_t>(choice.words.size())));
  for (size_t i = 0; i < choice.words.size(); i++)
    SET_STRING_ELT(words, static_cast<R_xlen_t>(i), Rf_mkChar(choice.words[i].c_str()));
  SET_VECTOR_ELT(list, 3, words);
  SET_VECTOR_ELT(list, 4, Rf_ScalarInteger(choice.threads));
  SET_VECTOR_ELT(list, 5, Rf_ScalarInteger(chainCount));
  SEXP startWords = PROTECT(Rf_allocVector(STRSXP, static_cast<R_xlen_t>(starts.size())));
  for (size_t i = 0; i < starts.size(); i++)
    SET_STRING_ELT(startWords, static_cast<R_xlen_t>(i), Rf_mkChar(starts[i].c_str()));
  SET_VECTOR_ELT(list, 6, startWords);
  UNPROTECT(3);
  return list;
}


namespace {

SEXP stringsOf(const std::vector<std::string>& values) {
  SEXP out = PROTECT(Rf_allocVector(STRSXP, static_cast<R_xlen_t>(values.size())));
  for (size_t i = 0; i < values.size(); i++)
    SET_STRING_ELT(out, static_cast<R_xlen_t>(i), Rf_mkCharCE(values[i].c_str(), CE_NATIVE));
  UNPROTECT(1);
  return out;
}

}  // namespace

// A data file read as vornak-fit reads it: when it is a delimited table (not an alignment, not
// the engine's matrix format, or a table option given), its matrix in the engine's format,
// row and column names, its text columns (class columns first) and the notes on them.
extern "C" SEXP vornak_R_table(SEXP file, SEXP id, SEXP separator, SEXP decimalComma) {
  if (!Rf_isString(file) || XLENGTH(file) != 1 || !Rf_isString(id) || XLENGTH(id) != 1 ||
      !Rf_isString(separator) || XLENGTH(separator) != 1 || !Rf_isLogical(decimalComma) ||
      XLENGTH(decimalComma) != 1)
    Rf_error("vornak_R_table: needs a file, an identifier column, a separator and one flag");
  Outcome outcome;
  bool table = false;
  delimited::DataTable data;
  std::string matrix;
  std::vector<std::string> notes, textNames;
  std::vector<std::vector<std::string>> textValues;
  int classColumns = 0;
  {  // gone before anything is allocated in R, which may jump
    const std::string path = CHAR(STRING_ELT(file, 0));
    delimited::TableOptions options;
    options.idColumn = CHAR(STRING_ELT(id, 0));
    const std::string separatorWord = CHAR(STRING_ELT(separator, 0));
    options.decimalComma = LOGICAL(decimalComma)[0] == TRUE;
    try {
      if (!separatorWord.empty()) {
        options.separator = delimited::parseSeparator(separatorWord);
        if (!options.separator)
          throw std::runtime_error("'separator' must be \"comma\", \"tab\", \"semicolon\" or \"blanks\": " +
                                   separatorWord);
      }
      std::ifstream in(path, std::ios::binary);
      if (!in) throw std::runtime_error("cannot read the data file: " + path);
      std::ostringstream text;
      text << in.rdbuf();
      const std::string content = text.str();
      const size_t first = content.find_first_not_of(" \t\r\n", content.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0);
      const bool fasta = first != std::string::npos && content[first] == '>';
      const bool asked = options.separator || !options.idColumn.empty() || options.decimalComma;
      if (!fasta && (asked || !delimited::isPlainMatrix(content))) {
        data = delimited::readTable(content, path, options);
        table = true;
        matrix = delimited::matrixText(data);
        notes = delimited::tableNotes(data);
        for (const auto* list : {&data.classColumns, &data.leftOut})
          for (const delimited::TextColumn& column : *list) {
            textNames.push_back(column.name);
            textValues.push_back(column.values);
          }
        classColumns = static_cast<int>(data.classColumns.size());
      }
    } catch (...) {
      dataFileFailed(outcome);
    }
  }
  const char* names[] = {"status", "error", "table", "matrix", "row_names", "column_names",
                         "text_columns", "class_columns", "notes", ""};
  SEXP list = PROTECT(Rf_mkNamed(VECSXP, names));
  SET_VECTOR_ELT(list, 0, Rf_ScalarInteger(outcome.status));
  SET_VECTOR_ELT(list, 1, Rf_mkString(outcome.error.c_str()));
  SET_VECTOR_ELT(list, 2, Rf_ScalarLogical(table ? TRUE : FALSE));
  SET_VECTOR_ELT(list, 3, Rf_mkString(matrix.c_str()));
  SET_VECTOR_ELT(list, 4, stringsOf(data.rowNames));
  SET_VECTOR_ELT(list, 5, stringsOf(data.columnNames));
  SEXP text = PROTECT(Rf_allocVector(VECSXP, static_cast<R_xlen_t>(textValues.size())));
  for (size_t c = 0; c < textValues.size(); c++) SET_VECTOR_ELT(text, static_cast<R_xlen_t>(c), stringsOf(textValues[c]));
  Rf_setAttrib(text, R_NamesSymbol, stringsOf(textNames));
  SET_VECTOR_ELT(list, 6, text);
  SET_VECTOR_ELT(list, 7, Rf_ScalarInteger(classColumns));
  SET_VECTOR_ELT(list, 8, stringsOf(notes));
  UNPROTECT(2);
  return list;
}
