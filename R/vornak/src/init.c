/* Registers the one native routine, so R finds it by name without a dynamic symbol search. */
#include <R.h>
#include <R_ext/Rdynload.h>
#include <Rinternals.h>

#include "driver/R_entry.h"

static R_NativePrimitiveArgType vornakArgTypes[VORNAK_R_MAIN_ARGUMENT_COUNT] = {
    VORNAK_R_MAIN_ARGUMENT_TYPES};

/* The detour through void (*)(void), the generic function pointer, keeps -Wextra quiet. */
static const R_CMethodDef cMethods[] = {
    {"vornak_R_main", (DL_FUNC)(void (*)(void))&vornak_R_main, VORNAK_R_MAIN_ARGUMENT_COUNT,
     vornakArgTypes},
    {NULL, NULL, 0, NULL}};

void R_init_vornak(DllInfo* dll) {
  R_registerRoutines(dll, cMethods, NULL, NULL, NULL);
  R_useDynamicSymbols(dll, FALSE);
}
