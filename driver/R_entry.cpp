// The entry point for R's .C interface: the same run as the console, settings passed as
// pointers, strings given with their byte lengths (not necessarily terminated).
#include <cstring>
#include <exception>
#include <string>

#include "io/Console.h"
#include "io/RunError.h"
#include "driver/R_entry.h"
#include "driver/common_main.h"

#ifdef VORNAK_R_PACKAGE
// Without this R's header turns every "error" below into Rf_error.
#define R_NO_REMAP
#include <R_ext/Error.h>

namespace {
// Room for the longest line worth showing; R cuts its own error text at 8192 bytes.
constexpr size_t kFailureSize = 4096;

void keepMessage(char (&failure)[kFailureSize], const char* message) {
  std::strncpy(failure, message, kFailureSize - 1);
  failure[kFailureSize - 1] = '\0';
}
}  // namespace
#endif

void vornak_R_main(VORNAK_R_MAIN_PARAMETERS) {
  auto text = [](char** ch, int* len) { return std::string(ch[0], static_cast<size_t>(len[0])); };
#ifdef VORNAK_R_PACKAGE
  // Rf_error longjmps out of this frame, so it is raised only once every C++ object of the
  // run (and the exception itself) is gone; until then the failure is kept as plain text.
  bool failed = false;
  char failure[kFailureSize] = {0};
#endif
  try {
    // R passes no criterion; integrated is the one every model supports.
    common_main(text(dataFileCh, dataFileLen), text(labelCh, labelLen),
                text(initialZCh, initialZLen), text(heuristicsCh, heuristicsLen),
                text(priorCh, priorLen), text(modelCh, modelLen), kPtr[0], BPtr[0],
                minuteAllowedPtr[0], 0.0, "integrated");
    vout().flush();
  } catch (const RunError& error) {
    // The message has been printed where the run stopped.
    vout().flush();
#ifdef VORNAK_R_PACKAGE
    failed = true;
    keepMessage(failure, error.what());
  } catch (const std::exception& error) {
    // No C++ exception may cross into R's C frames.
    vout().flush();
    failed = true;
    keepMessage(failure, error.what());
  } catch (...) {
    vout().flush();
    failed = true;
    keepMessage(failure, "vornak stopped on an unknown failure");
#endif
  }
#ifdef VORNAK_R_PACKAGE
  if (failed) Rf_error("%s", failure);
#endif
}
