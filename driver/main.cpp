// The console entry point: parse the options, run, write the completion report.
#include <ctime>
#include <iostream>
#include <new>
#include <string>

#include "io/Console.h"
#include "io/Interrupt.h"
#include "io/RunError.h"
#include "driver/RunReport.h"
#include "io/VisibleText.h"
#include "driver/common_main.h"
#include "driver/help.h"

namespace {
// Where the completion report of a long run is mailed; empty sends no mail.
const char* const kDefaultMailRecipient = "";
}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  if (helpAsked(argc, argv)) {
    vout() << helpText();
    vout().flush();
    return 0;
  }
  Settings settings;
  try {
    std::string refusal;
    if (!parseCommandLine(argc, argv, settings, &refusal)) {
      vout() << kUsageText;
      vout().flush();
      // The usage text keeps its bytes; a value that reads as absent is named beside it.
      if (!refusal.empty()) verr() << refusal << '\n';
      return -1;
    }
  } catch (const RunError& error) {
    return error.status;
  }
  time_t t0 = time(nullptr);
  installInterruptHandlers();
  try {
    common_main(settings);
  } catch (const RunError& error) {
    vout().flush();
    return error.status;
  } catch (const std::bad_alloc&) {
    // The run's objects are released by now; say why instead of aborting.
    vout() << "Out of memory: the data or the chosen heuristic need more memory than is available"
           << '\n';
    vout().flush();
    return -1;
  } catch (const std::exception& error) {
    // A failure no reader foresaw (a read error of the disk) still ends with one line.
    vout() << "vornak stopped: " << visibleText(error.what()) << '\n';
    vout().flush();
    return -1;
  }
  return RunReport::finishUp(argc, argv, "", t0, vout(), kDefaultMailRecipient);
}
