// The entry point for R's .C interface: the same run as the console, settings passed as
// pointers, strings given with their byte lengths (not necessarily terminated).
#include <string>

#include "U/Console.h"
#include "U/RunError.h"
#include "driver/common_main.h"

extern "C" __attribute__((visibility("default"))) void vornak_R_main(
    char** dataFileCh, int* dataFileLen, char** labelCh, int* labelLen, char** initialZCh,
    int* initialZLen, char** heuristicsCh, int* heuristicsLen, char** priorCh, int* priorLen,
    char** modelCh, int* modelLen, int* kPtr, int* BPtr, int* minuteAllowedPtr) {
  auto text = [](char** ch, int* len) { return std::string(ch[0], static_cast<size_t>(len[0])); };
  try {
    // R passes no criterion; integrated is the one every model supports.
    common_main(text(dataFileCh, dataFileLen), text(labelCh, labelLen),
                text(initialZCh, initialZLen), text(heuristicsCh, heuristicsLen),
                text(priorCh, priorLen), text(modelCh, modelLen), kPtr[0], BPtr[0],
                minuteAllowedPtr[0], 0.0, "integrated");
  } catch (const RunError&) {
    // The message has been printed; the caller's process goes on.
    vout().flush();
  }
}
