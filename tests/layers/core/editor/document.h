// Allowed.
#include "patchtools/macrolist.h"
#include "source/record.h"
