// Sideways between the top siblings.
#include "driver/library.h"
#include "editor/document.h"
#include "tools/sideways.h"
