// Points up: the lowest layer uses the source model.
#include <vector>

#include "framework/bytes.h"
#include "source/record.h"
