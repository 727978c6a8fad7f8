// The built-in component-prior texts, selected by prior name at run setup. Format: K, D,
// then per component its weight and D Dirichlet parameters (residue order A C D E F G H I K L
// M N P Q R S T V W Y for the protein priors).
#pragma once

extern const char* const ProteinSequenceBgPriorString;
extern const char* const ProteinSequenceFlatPriorString;
extern const char* const ProteinSequenceCloud9PriorString;
extern const char* const HDBernPoint5PriorString;
extern const char* const HDBernPoint05PriorString;
extern const char* const HDBernPoint005PriorString;
extern const char* const HDBernFlatPriorString;
// Dirichlet(1) spread per column over the levels that occur in it (the closing word says so).
extern const char* const HDBernLevelsPriorString;
// Around each column's own profile (ColumnProfilePrior): the parameters give concentrations.
extern const char* const ProteinSequenceSharedPriorString;
extern const char* const HDBernSharedPriorString;
