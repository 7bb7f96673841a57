// Compiled as part of the core layer by the layering test only: it must not find this header.
#include "engine/player.h"
