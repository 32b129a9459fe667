// Leaves its folder with "..".
#include "../driver/library.h"
#include "sysex/qt.h"
