// Brings Qt into the core.
#include <QString>

#include "framework/bytes.h"
