// Allowed: its own folder and the layers below.
#include "driver/library.h"
#include "source/record.h"
