// CleanOutcome is small enough to live in its header; this file keeps the
// one-source-per-type layout of the folder.
#include "ScourletCore/rules/CleanOutcome.h"
