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

namespace {

// Copies a string setting into text, reading only the bytes R handed over: the given length
// bounded by the string's own terminator. False, with the reason in why, on a null pointer,
// a negative length or a length beyond the terminator.
bool textOf(char** ch, const int* len, const char* name, std::string& text, std::string& why) {
  if (ch == nullptr || ch[0] == nullptr) {
    why = std::string("vornak_R_main: no text for ") + name + " (an empty vector?)";
    return false;
  }
  if (len == nullptr) {
    why = std::string("vornak_R_main: no length for ") + name;
    return false;
  }
  if (len[0] < 0) {
    why = std::string("vornak_R_main: negative length for ") + name + ": " +
          std::to_string(len[0]);
    return false;
  }
  const size_t wanted = static_cast<size_t>(len[0]);
  const size_t present = strnlen(ch[0], wanted);
  if (present < wanted) {
    why = std::string("vornak_R_main: length for ") + name + " beyond its text of " +
          std::to_string(present) + " bytes: " + std::to_string(len[0]);
    return false;
  }
  text.assign(ch[0], wanted);
  return true;
}

bool numberOf(const int* ptr, const char* name, int& value, std::string& why) {
  if (ptr == nullptr) {
    why = std::string("vornak_R_main: no value for ") + name + " (an empty vector?)";
    return false;
  }
  value = ptr[0];
  return true;
}

}  // namespace

void vornak_R_main(VORNAK_R_MAIN_PARAMETERS) {
#ifdef VORNAK_R_PACKAGE
  // Rf_error longjmps out of this frame, so it is raised only once every C++ object of the
  // run (and the exception itself) is gone; until then the failure is kept as plain text.
  bool failed = false;
  char failure[kFailureSize] = {0};
#endif
  try {
    // Nothing is read beyond what R handed over; a mismatch is refused before the run.
    std::string dataFile, label, initialZ, heuristics, prior, model, why;
    int k = 0, B = 0, minuteAllowed = 0;
    const bool complete = textOf(dataFileCh, dataFileLen, "dataFile", dataFile, why) &&
                          textOf(labelCh, labelLen, "label", label, why) &&
                          textOf(initialZCh, initialZLen, "initialZ", initialZ, why) &&
                          textOf(heuristicsCh, heuristicsLen, "heuristics", heuristics, why) &&
                          textOf(priorCh, priorLen, "prior", prior, why) &&
                          textOf(modelCh, modelLen, "model", model, why) &&
                          numberOf(kPtr, "k", k, why) && numberOf(BPtr, "B", B, why) &&
                          numberOf(minuteAllowedPtr, "minuteAllowed", minuteAllowed, why);
    if (!complete) {
      vout() << why << '\n';
      throw RunError(why);
    }
    // R passes no criterion; integrated is the one every model supports.
    common_main(dataFile, label, initialZ, heuristics, prior, model, k, B, minuteAllowed, 0.0,
                "integrated");
    vout().flush();
  } catch (const RunError& error) {
    // The message has been printed where the run stopped.
    vout().flush();
#ifdef VORNAK_R_PACKAGE
    failed = true;
    keepMessage(failure, error.what());
#endif
  } catch (const std::exception& error) {
    // No C++ exception may cross into R's C frames, in the package or out of it.
    vout() << "vornak stopped: " << error.what() << '\n';
    vout().flush();
#ifdef VORNAK_R_PACKAGE
    failed = true;
    keepMessage(failure, error.what());
#endif
  } catch (...) {
    vout() << "vornak stopped on an unknown failure" << '\n';
    vout().flush();
#ifdef VORNAK_R_PACKAGE
    failed = true;
    keepMessage(failure, "vornak stopped on an unknown failure");
#endif
  }
#ifdef VORNAK_R_PACKAGE
  if (failed) Rf_error("%s", failure);
#endif
}
