// A folder without a layer.
#include "framework/bytes.h"
