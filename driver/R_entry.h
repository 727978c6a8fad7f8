/* The native entry point of R's .C interface, declared once: the C++ definition
   (driver/R_entry.cpp) and the R package's registration (R/vornak/src/init.c) include this.
   Strings come as char** with their byte lengths (not necessarily terminated), numbers as
   int*: data file, label, start partition, heuristic, prior, model, then k, B, minutes. */
#ifndef VORNAK_R_ENTRY_H
#define VORNAK_R_ENTRY_H

#define VORNAK_R_MAIN_PARAMETERS                                                            \
  char **dataFileCh, int *dataFileLen, char **labelCh, int *labelLen, char **initialZCh,    \
      int *initialZLen, char **heuristicsCh, int *heuristicsLen, char **priorCh,            \
      int *priorLen, char **modelCh, int *modelLen, int *kPtr, int *BPtr,                   \
      int *minuteAllowedPtr

/* For R_registerRoutines: the count and the R types of the parameters above. */
#define VORNAK_R_MAIN_ARGUMENT_COUNT 15
#define VORNAK_R_MAIN_ARGUMENT_TYPES                                                         \
  STRSXP, INTSXP, STRSXP, INTSXP, STRSXP, INTSXP, STRSXP, INTSXP, STRSXP, INTSXP, STRSXP,   \
      INTSXP, INTSXP, INTSXP, INTSXP

#ifdef __cplusplus
extern "C" {
#endif
__attribute__((visibility("default"))) void vornak_R_main(VORNAK_R_MAIN_PARAMETERS);
#ifdef __cplusplus
}
#endif

#endif
